// Windows path texts on the host prefix.
#include "hostpaths.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cstdlib>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

void touch(const std::string& path) { testsupport::writeFile(path, "x"); }

int modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

// A prefix in a temporary folder, with HOME pointing beside it.
struct PrefixFixture {
    TempDir dir;
    std::string home = dir / "home";
    platform::Prefix prefix{q(dir / "prefix")};
    PrefixFixture() {
        QDir().mkpath(q(home));
        ::setenv("HOME", home.c_str(), 1);
    }
};

}  // namespace

TEST(Prefix, IsCreatedPrivateWithDriveCAndTheUsersNpkiFolder) {
    PrefixFixture f;
    touch(f.home + "/NPKI/yessign/USER/cn=1/signCert.der");
    ASSERT_TRUE(f.prefix.ensure());
    EXPECT_EQ(modeOf(f.dir / "prefix"), 0700);
    EXPECT_EQ(modeOf(f.dir / "prefix/workspace"), 0700);
    EXPECT_TRUE(QFileInfo(q(f.dir / "prefix/dosdevices/c:")).isSymLink());
    EXPECT_EQ(f.prefix.applicationFolder(), q(f.dir / "prefix/workspace"));
    // The disk scan's folder finds the user's certificate, whatever the case.
    QString found = f.prefix.hostPath("c:\\Program Files\\NPKI\\yessign\\user\\cn=1\\SignCert.der");
    EXPECT_TRUE(QFileInfo::exists(found)) << found.toStdString();
    EXPECT_TRUE(found.endsWith("/yessign/USER/cn=1/signCert.der")) << found.toStdString();
    // A second call changes nothing and succeeds.
    EXPECT_TRUE(f.prefix.ensure());
}

TEST(Prefix, MapsPathTexts) {
    PrefixFixture f;
    ASSERT_TRUE(f.prefix.ensure());
    touch(f.dir / "prefix/drive_c/kvx/cn=1/SignCert.der");
    touch(f.dir / "prefix/drive_c/Both/a");
    touch(f.dir / "prefix/drive_c/Both/A");
    const QString c = q(f.dir / "prefix/dosdevices/c:");
    const QString root = q(f.dir.path());
    struct {
        QString text, host;
    } cases[] = {
        {"c:\\kvx\\", c + "/kvx"},
        {"c:\\kvx\\cn=1\\\\SignCert.der", c + "/kvx/cn=1/SignCert.der"},
        {"C:\\KVX\\CN=1\\signcert.DER", c + "/kvx/cn=1/SignCert.der"},
        {"c:/kvx//cn=1/SignCert.der", c + "/kvx/cn=1/SignCert.der"},
        {"c:\\Both\\a", c + "/Both/a"},
        {"c:\\Both\\A", c + "/Both/A"},
        {"c:\\kvx\\New Folder\\Sign.key", c + "/kvx/New Folder/Sign.key"},
        {"a:\\NPKI\\", q(f.dir / "prefix/dosdevices/a:/NPKI")},
        {root + "/prefix/workspace\\data\\", root + "/prefix/workspace/data"},
        {root + "/prefix/workspace\\temp.html", root + "/prefix/workspace/temp.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(f.prefix.hostPath(c.text), c.host) << c.text.toStdString();
    }
}

TEST(Listing, FollowsTheWindowsOrderAndKinds) {
    TempDir dir;
    for (const char* name : {"b", "A", "_x", "a1", "Z", ".hidden"}) {
        touch(dir / name);
    }
    QDir().mkpath(q(dir / "Sub"));
    QDir().mkpath(q(dir / ".cache"));
    const QString folder = q(dir.path());
    EXPECT_EQ(platform::listDirectory(folder, false, true, false),
              (QStringList{"A", "a1", "b", "Z", "_x"}));
    EXPECT_EQ(platform::listDirectory(folder, false, true, true),
              (QStringList{".hidden", "A", "a1", "b", "Z", "_x"}));
    EXPECT_EQ(platform::listDirectory(folder, true, false, false), (QStringList{"Sub"}));
    EXPECT_EQ(platform::listDirectory(folder + "/missing", true, true, true), QStringList{});
}
