// Archive extraction through the zip binding: real archives made by the zip
// tool and by libzip, questions answered through the scripted prompt.
#include "modunzip32.h"
#include "scriptedprompt.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <zip.h>

#include <unistd.h>

using platform::Answer;
using testsupport::ScriptedPrompt;
using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

struct Member {
    std::string name;  // raw bytes as stored
    std::string data;
    zip_uint16_t encryption = ZIP_EM_NONE;
    const char* password = nullptr;
};

// An archive written by libzip, which stores names as given.
void writeZip(const std::string& path, const std::vector<Member>& members) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr);
    for (const Member& m : members) {
        zip_source_t* src = zip_source_buffer(za, m.data.data(), m.data.size(), 0);
        zip_int64_t index = zip_file_add(za, m.name.c_str(), src, ZIP_FL_ENC_RAW);
        ASSERT_GE(index, 0) << m.name;
        if (m.encryption != ZIP_EM_NONE) {
            ASSERT_EQ(zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), m.encryption,
                                              m.password),
                      0);
        }
    }
    ASSERT_EQ(zip_close(za), 0);
}

// A workspace with the binding as the pipeline uses it.
struct Workspace {
    TempDir dir;
    platform::Prefix prefix{q(dir / "prefix")};
    ScriptedPrompt prompt;
    modUnzip32 binding{prompt, prefix};
    std::string data = dir / "prefix/workspace/data";

    Workspace() { EXPECT_TRUE(prefix.ensure()); }
    int32_t extract(const std::string& archive) {
        binding.setUnzipOptions(q(archive), prefix.applicationFolder() + "\\data", {""}, {""}, 1,
                                0, 1, 1);
        binding.runUnzip();
        return binding.lastResult();
    }
    std::string file(const std::string& name) const { return testsupport::readFile(data + "/" + name); }
};

}  // namespace

TEST(Unzip, ExtractsEveryMemberWithItsFolders) {
    Workspace w;
    testsupport::writeFile(w.dir / "src/form.xml", "<a/>");
    testsupport::writeFile(w.dir / "src/style/form.xsl", "<xsl/>");
    ASSERT_EQ(testsupport::run({"sh", "-c", "cd " + (w.dir / "src") + " && zip -qr ../f.rcp ."}), 0);
    EXPECT_EQ(w.extract(w.dir / "f.rcp"), 0);
    EXPECT_EQ(w.file("form.xml"), "<a/>");
    EXPECT_EQ(w.file("style/form.xsl"), "<xsl/>");
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(Unzip, FailuresShowTheirNumberOnce) {
    Workspace w;
    testsupport::writeFile(w.dir / "not.kvx", "this is no zip archive");
    EXPECT_EQ(w.extract(w.dir / "not.kvx"), 9);
    EXPECT_EQ(w.extract(w.dir / "missing.kvx"), 9);
    ASSERT_EQ(w.prompt.shown.size(), 2u);
    EXPECT_TRUE(w.prompt.shown[0].text.startsWith("9\r\n")) << w.prompt.shown[0].text.toStdString();
    EXPECT_EQ(w.prompt.shown[0].caption, "Paperlens");
    EXPECT_TRUE(QDir(q(w.data)).isEmpty());
}

TEST(Unzip, ADamagedMemberLeavesNoHalfFile) {
    Workspace w;
    std::string noise(100000, '\0');
    unsigned state = 1;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    writeZip(w.dir / "f.kvx", {{"form.xml", noise}, {"form.xsl", "kept"}});
    std::string bytes = testsupport::readFile(w.dir / "f.kvx");
    bytes[5000] ^= 0x55;  // inside the first member's data
    testsupport::writeFile(w.dir / "f.kvx", bytes);
    EXPECT_EQ(w.extract(w.dir / "f.kvx"), 3);
    EXPECT_EQ(QDir(q(w.data)).entryList(QDir::Files | QDir::Hidden), QStringList{"form.xsl"});
}

// Two members of one name, as some archivers write them: made with two
// names of one length, the second renamed in both of its headers.
void writeZipWithDuplicate(const std::string& path) {
    writeZip(path, {{"form.xml", "first"}, {"form.xmm", "second"}});
    std::string bytes = testsupport::readFile(path);
    for (size_t at = bytes.find("form.xmm"); at != std::string::npos;
         at = bytes.find("form.xmm", at)) {
        bytes.replace(at, 8, "form.xml");
    }
    testsupport::writeFile(path, bytes);
}

TEST(Unzip, DuplicateNamesAskTheOverwriteQuestion) {
    struct {
        Answer answer;
        std::string content;
    } cases[] = {{Answer::Yes, "second"}, {Answer::No, "first"}, {Answer::Cancel, "first"}};
    for (const auto& c : cases) {
        Workspace w;
        writeZipWithDuplicate(w.dir / "f.kvx");
        w.prompt.answers = {c.answer};
        EXPECT_EQ(w.extract(w.dir / "f.kvx"), 0);
        ASSERT_EQ(w.prompt.shown.size(), 1u);
        EXPECT_EQ(w.file("form.xml"), c.content);
    }
}

TEST(Unzip, ATruncatedArchiveIsAFailure) {
    Workspace w;
    writeZip(w.dir / "f.kvx", {{"form.xml", std::string(5000, 'a')}, {"form.xsl", "b"}});
    std::string bytes = testsupport::readFile(w.dir / "f.kvx");
    testsupport::writeFile(w.dir / "f.kvx", bytes.substr(0, bytes.size() / 2));
    EXPECT_NE(w.extract(w.dir / "f.kvx"), 0);
    ASSERT_EQ(w.prompt.shown.size(), 1u);
}

TEST(Unzip, TheOverwriteQuestion) {
    struct {
        Answer answer;
        std::string first, second;
        size_t questions;
    } cases[] = {
        {Answer::Yes, "new1", "old2", 2},    // the second question is answered Cancel
        {Answer::No, "old1", "old2", 2},     // the second is Cancel as well
        {Answer::Cancel, "old1", "old2", 1}  // no file is overwritten from then on
    };
    for (const auto& c : cases) {
        Workspace w;
        writeZip(w.dir / "f.kvx", {{"a.xml", "new1"}, {"b.xsl", "new2"}});
        testsupport::writeFile(w.data + "/a.xml", "old1");
        testsupport::writeFile(w.data + "/b.xsl", "old2");
        w.prompt.answers = {c.answer, Answer::Cancel};
        EXPECT_EQ(w.extract(w.dir / "f.kvx"), 0);
        EXPECT_EQ(w.file("a.xml"), c.first);
        EXPECT_EQ(w.file("b.xsl"), c.second);
        ASSERT_EQ(w.prompt.shown.size(), c.questions);
        EXPECT_EQ(w.prompt.shown[0].text, q(w.data + "/a.xml") + "을(를) 덮어 쓰시겠습니까?");
        EXPECT_EQ(w.prompt.shown[0].caption, "VBUnZip32 - 기존 파일 있음");
        EXPECT_EQ(w.prompt.shown[0].icon, platform::Icon::Warning);
        EXPECT_EQ(w.prompt.shown[0].buttons, platform::Buttons::YesNoCancel);
    }
}

TEST(Unzip, EncryptedMembersAskForThePassword) {
    struct {
        const char* what;
        bool zipTool;  // ZipCrypto by the zip tool, else AES-256 by libzip
        std::deque<QString> inputs;
        int32_t result;
        int asked;
    } cases[] = {
        {"zipcrypto, right password", true, {"s3cret"}, 0, 1},
        {"aes, right password", false, {"s3cret"}, 0, 1},
        {"wrong, then right", false, {"nope", "s3cret"}, 0, 2},
        {"always wrong", false, {"a", "b", "c"}, 82, 3},
        {"declined", true, {""}, 82, 1},
    };
    for (const auto& c : cases) {
        Workspace w;
        if (c.zipTool) {
            testsupport::writeFile(w.dir / "src/form.xml", "<secret/>");
            ASSERT_EQ(testsupport::run({"sh", "-c", "cd " + (w.dir / "src") +
                                                        " && zip -q -P s3cret ../f.kvx form.xml"}),
                      0);
        } else {
            writeZip(w.dir / "f.kvx", {{"form.xml", "<secret/>", ZIP_EM_AES_256, "s3cret"}});
        }
        w.prompt.inputs = c.inputs;
        EXPECT_EQ(w.extract(w.dir / "f.kvx"), c.result) << c.what;
        EXPECT_EQ(w.prompt.asked.size(), c.asked) << c.what;
        EXPECT_EQ(w.prompt.asked.value(0), "압축 파일의 암호를 입력하십시오.") << c.what;
        EXPECT_EQ(testsupport::exists(w.data + "/form.xml"), c.result == 0) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(w.file("form.xml"), "<secret/>") << c.what;
        }
    }
}

TEST(Unzip, AnEmptyPasswordStopsLaterPromptsForTheRun) {
    Workspace w;
    writeZip(w.dir / "f.kvx", {{"a.xml", "1", ZIP_EM_AES_256, "pw"}, {"b.xsl", "2", ZIP_EM_AES_256, "pw"}});
    w.prompt.inputs = {""};
    EXPECT_EQ(w.extract(w.dir / "f.kvx"), 82);
    EXPECT_TRUE(w.binding.passwordDeclined());
    w.prompt.inputs = {"pw"};
    EXPECT_EQ(w.extract(w.dir / "f.kvx"), 82);
    EXPECT_EQ(w.prompt.asked.size(), 1);
}

TEST(Unzip, MembersThatWouldLeaveTheFolderAreRefused) {
    Workspace w;
    const std::string cp949Name = "\xb9\xdf\xb1\xde.xml";  // 발급.xml
    writeZip(w.dir / "f.kvx", {{"../escape.txt", "x"},
                               {"/tmp/paperlens-absolute.txt", "x"},
                               {"C:\\windows.txt", "x"},
                               {"dir/../../up.txt", "x"},
                               {cp949Name, "korean"},
                               {"form.xsl", "kept"}});
    EXPECT_EQ(w.extract(w.dir / "f.kvx"), 1);
    EXPECT_FALSE(testsupport::exists(w.dir / "prefix/workspace/escape.txt"));
    EXPECT_FALSE(testsupport::exists("/tmp/paperlens-absolute.txt"));
    EXPECT_FALSE(testsupport::exists(w.dir / "prefix/workspace/up.txt"));
    EXPECT_EQ(w.file("발급.xml"), "korean");
    EXPECT_EQ(w.file("form.xsl"), "kept");
    EXPECT_EQ(QDir(q(w.data)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"form.xsl", "발급.xml"}));
}

TEST(Unzip, SymbolicLinkMembersAreRefused) {
    Workspace w;
    ASSERT_EQ(::symlink("/etc/passwd", (w.dir / "link.xml").c_str()), 0);
    testsupport::writeFile(w.dir / "form.xsl", "kept");
    ASSERT_EQ(testsupport::run({"sh", "-c", "cd " + w.dir.path() + " && zip -qy f.kvx link.xml form.xsl"}),
              0);
    EXPECT_EQ(w.extract(w.dir / "f.kvx"), 1);
    EXPECT_FALSE(QFileInfo(q(w.data + "/link.xml")).exists());
    EXPECT_FALSE(QFileInfo(q(w.data + "/link.xml")).isSymLink());
    EXPECT_EQ(w.file("form.xsl"), "kept");
}

TEST(Unzip, ArchivesOverTheLimitsAreRefusedBeforeTheyFillTheDisk) {
    struct {
        const char* kind;
        const char* what;
    } cases[] = {
        {"overlap", "12 GiB declared by 30 entries over one member"},
        {"bzip2", "a bzip2 member 300,000 times its size"},
        {"many", "1001 members"},
    };
    for (const auto& c : cases) {
        Workspace w;
        const std::string archive = w.dir / "bomb.rcp";
        ASSERT_EQ(testsupport::run({"python3", PAPERLENS_SOURCE_DIR "/tests/support/zipbombs.py",
                                    c.kind, archive}),
                  0)
            << c.what;
        EXPECT_EQ(w.extract(archive), unzip::kOverLimit) << c.what;
        ASSERT_EQ(w.prompt.shown.size(), 1u) << c.what;
        EXPECT_TRUE(w.prompt.shown[0].text.startsWith("4\r\n압축을 풀면 너무 커지는 파일"))
            << w.prompt.shown[0].text.toStdString();
        // Nothing, not even a temporary file, was written.
        EXPECT_FALSE(testsupport::exists(w.data)) << c.what;
    }
}

TEST(Unzip, MemberNamesAreReadAsWindowsReadsThem) {
    Workspace w;
    // bsdtar and other tools store "./" before each name.
    testsupport::writeFile(w.dir / "src/form.xml", "<a/>");
    testsupport::writeFile(w.dir / "src/sub/form.xsl", "<xsl/>");
    ASSERT_EQ(testsupport::run({"bsdtar", "-C", w.dir / "src", "--format", "zip", "-cf",
                                w.dir / "dot.rcp", "./form.xml", "./sub/form.xsl"}),
              0);
    EXPECT_EQ(w.extract(w.dir / "dot.rcp"), 0);
    EXPECT_EQ(w.file("form.xml"), "<a/>");
    EXPECT_EQ(w.file("sub/form.xsl"), "<xsl/>");

    // Names that differ only in letter case are one file: the second asks
    // the overwrite question and lands under the first one's name.
    struct {
        std::deque<Answer> answers;
        std::string kept;
    } cases[] = {{{Answer::No}, "first"}, {{Answer::Yes}, "second"}};
    for (const auto& c : cases) {
        Workspace v;
        writeZip(v.dir / "case.rcp",
                 {{"Form.xml", "first"}, {"a//./DIR/x.xsl", "1"}, {"form.XML", "second"},
                  {"A/dir/y.xsl", "2"}});
        v.prompt.answers = c.answers;
        EXPECT_EQ(v.extract(v.dir / "case.rcp"), 0);
        ASSERT_EQ(v.prompt.shown.size(), 1u);
        EXPECT_EQ(v.prompt.shown[0].text, q(v.data + "/Form.xml") + "을(를) 덮어 쓰시겠습니까?");
        EXPECT_EQ(QDir(q(v.data)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  (QStringList{"a", "Form.xml"}));
        EXPECT_EQ(v.file("Form.xml"), c.kept);
        EXPECT_EQ(v.file("a/DIR/x.xsl"), "1");
        EXPECT_EQ(v.file("a/DIR/y.xsl"), "2");
    }
}
