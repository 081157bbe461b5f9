// Each process's own workspace, path texts that try to leave their drive,
// and the wiping of password copies.
#include "hostpaths.h"
#include "privatefiles.h"
#include "registry.h"
#include "secrets.h"
#include "termination.h"
#include "testsupport.h"
#include "workspace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? static_cast<int>(st.st_mode & 0777)
                                                            : -1;
}

QStringList entries(const std::string& folder) {
    return QDir(q(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

struct PrefixFixture {
    TempDir dir;
    platform::Prefix prefix{q(dir / "prefix")};
    std::string root = dir / "prefix/workspace";
    PrefixFixture() {
        ::setenv("HOME", (dir / "home").c_str(), 1);
        EXPECT_TRUE(prefix.ensure());
    }
};

// A process that holds the lock of `folder` until it is killed, as a live
// paperlens would.
pid_t holdLock(const std::string& folder) {
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open((folder + "/.lock").c_str(), O_RDWR | O_CREAT, 0600);
        ::flock(fd, LOCK_EX);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return pid;
}

}  // namespace

TEST(ProcessWorkspace, IsPrivateLockedAndGoesWithItsOwner) {
    PrefixFixture f;
    QString first;
    {
        platform::ProcessWorkspace a(f.prefix);
        ASSERT_TRUE(a.ok());
        first = a.folder();
        EXPECT_TRUE(QFileInfo(first).fileName().startsWith("run-"));
        EXPECT_EQ(modeOf(first), 0700);
        EXPECT_EQ(f.prefix.applicationFolder(), first);
        // The certificates exported from the registry land in the folder.
        EXPECT_EQ(f.prefix.hostPath("c:\\KVX\\cn=1\\SignPri.key"), first + "/kvx/cn=1/SignPri.key");
        EXPECT_EQ(f.prefix.hostPath("c:\\kvxother"), q(f.dir / "prefix/dosdevices/c:/kvxother"));
        // A second workspace, as a second process would make it, is its own.
        platform::Prefix other(f.prefix.root());
        platform::ProcessWorkspace b(other);
        ASSERT_TRUE(b.ok());
        EXPECT_NE(b.folder(), first);
        EXPECT_TRUE(QFileInfo::exists(first));
        testsupport::writeFile(first.toStdString() + "/data/sig.dec", "secret");
    }
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(entries(f.root), QStringList{".lock"});
}

TEST(ProcessWorkspace, RemovesWhatDeadProcessesLeftAndKeepsLiveOnes) {
    PrefixFixture f;
    const std::string dead = f.root + "/run-dead01";
    const std::string unborn = f.root + "/run-nolock";
    const std::string live = f.root + "/run-live01";
    testsupport::writeFile(dead + "/.lock", "");
    testsupport::writeFile(dead + "/data/form.xml", "decrypted");
    testsupport::writeFile(unborn + "/temp.html", "page");
    testsupport::writeFile(live + "/temp.html", "page");
    testsupport::writeFile(f.root + "/gone-half01/temp.html", "page");
    // What an earlier version left, and what the user put there.
    testsupport::writeFile(f.root + "/temp.html", "page");
    testsupport::writeFile(f.root + "/data/sig.dec", "x");
    testsupport::writeFile(f.root + "/npkiconf.ini", "[trust]\n");
    testsupport::writeFile(f.root + "/pki/root.der", "x");
    const pid_t owner = holdLock(live);
    {
        platform::ProcessWorkspace w(f.prefix);
        ASSERT_TRUE(w.ok());
        QStringList left = entries(f.root);
        left.removeAll(QFileInfo(w.folder()).fileName());
        EXPECT_EQ(left, (QStringList{".lock", "npkiconf.ini", "pki", "run-live01"}));
    }
    ::kill(owner, SIGKILL);
    ::waitpid(owner, nullptr, 0);
    EXPECT_EQ(platform::sweepWorkspaces(q(f.root)), 1);
    EXPECT_EQ(entries(f.root), (QStringList{".lock", "npkiconf.ini", "pki"}));
}

TEST(PathTexts, NeverLeaveTheirDrive) {
    PrefixFixture f;
    const QString c = q(f.dir / "prefix/dosdevices/c:");
    struct {
        const char* text;
        QString host;
    } cases[] = {
        {"c:\\..\\..\\etc\\passwd", c + "/etc/passwd"},
        {"c:\\kvx\\..\\..\\x", c + "/x"},
        {"c:\\a\\.\\b\\..\\c", c + "/a/c"},
        {"a:\\cn=x\\..\\..\\..\\outside", q(f.dir / "prefix/dosdevices/a:/outside")},
    };
    for (const auto& t : cases) {
        EXPECT_EQ(f.prefix.hostPath(QString::fromUtf8(t.text)), t.host) << t.text;
    }
}

TEST(PathTexts, NamesHoldingABackslashAreNotListed) {
    TempDir dir;
    testsupport::writeFile(dir / "cn=x\\..\\..\\outside/SignCert.der", "x");
    testsupport::writeFile(dir / "cn=y/SignCert.der", "x");
    testsupport::writeFile(dir / "a\\b.txt", "x");
    EXPECT_EQ(platform::listDirectory(q(dir.path()), true, true, true), QStringList{"cn=y"});
    EXPECT_EQ(platform::readDirectory(q(dir.path()), true, true, true), QStringList{"cn=y"});
}

TEST(Registry, DeepKeysCostWhatTheFileCosts) {
    // 20,000 components of 3 characters: every ancestor stored under its
    // full path would take gigabytes.
    QByteArray path;
    for (int i = 0; i < 20000; ++i) {
        path += "k\\\\";
    }
    path += "leaf";
    const platform::Registry registry = platform::Registry::parse(
        "WINE REGISTRY Version 2\n\n[" + path + "] 1\n\"Sign\"=\"v\"\n");
    const QString key = QString::fromLatin1(path).replace(QLatin1String("\\\\"), QLatin1String("\\"));
    EXPECT_TRUE(registry.hasKey(key));
    EXPECT_EQ(registry.subkeys(QStringLiteral("k\\k")), QStringList{"k"});
    EXPECT_TRUE(registry.value(key, QStringLiteral("sign")).has_value());
}

TEST(Secrets, WipeWhatIsTheirsAndLeaveWhatIsShared) {
    QString box = QStringLiteral("pin-1234");
    box.detach();
    QString copy = box;  // shares box's characters
    platform::wipe(copy);
    EXPECT_EQ(box, "pin-1234");  // the box still needs them
    QString last = box;
    platform::wipeEverywhere(last);
    EXPECT_EQ(box, QString(8, QChar(u'\0')));  // wiped where the box holds them

    QByteArray bytes("secret");
    bytes.detach();
    QByteArray view = bytes;
    platform::wipe(view);
    EXPECT_EQ(bytes, "secret");
}

TEST(Hardening, NoCoreDumpsAndNoAttach) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "sanitizer builds keep core dumps and ptrace";
#else
    const pid_t pid = ::fork();
    if (pid == 0) {
        platform::hardenProcess();
        struct rlimit core {};
        ::getrlimit(RLIMIT_CORE, &core);
        ::_exit(::prctl(PR_GET_DUMPABLE) == 0 && core.rlim_cur == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
}

// A tree goes whole, hidden entries and odd names included; links in it
// are removed, never followed, and a link given as the tree is refused.
TEST(RemoveTree, RemovesEverythingAndFollowsNoLink) {
    TempDir dir;
    const std::string keep = dir / "keep";
    const std::string tree = dir / "tree";
    ASSERT_EQ(testsupport::run({"mkdir", "-p", keep, tree + "/data/sub", tree + "/empty"}), 0);
    for (const std::string& file : {keep + "/precious", tree + "/.lock", tree + "/temp.html",
                                    tree + "/data/a\\b.xml", tree + "/data/sub/x.xsl"}) {
        testsupport::writeFile(file, "x");
    }
    ASSERT_EQ(::symlink(keep.c_str(), (tree + "/data/link").c_str()), 0);
    ASSERT_EQ(::symlink(keep.c_str(), (dir / "alias").c_str()), 0);

    EXPECT_FALSE(platform::removeTree(QString::fromStdString(dir / "alias")));
    EXPECT_TRUE(platform::removeTree(QString::fromStdString(tree)));
    EXPECT_FALSE(testsupport::exists(tree));
    EXPECT_TRUE(testsupport::exists(keep + "/precious"));
    EXPECT_FALSE(platform::removeTree(QString::fromStdString(tree)));
}
