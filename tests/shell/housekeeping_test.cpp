// Deleting the rendered page and the working folder.
#include "housekeeping.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <unistd.h>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

struct Workspace {
    TempDir dir;
    platform::Prefix prefix{q(dir / "prefix")};
    std::string app = dir / "prefix/workspace";
    QString appText = prefix.applicationFolder();
    Workspace() { EXPECT_TRUE(prefix.ensure()); }
};

}  // namespace

TEST(Housekeeping, DeleteFileIfExists) {
    Workspace w;
    testsupport::writeFile(w.app + "/temp.html", "x");
    EXPECT_TRUE(shell::deleteFileIfExists(w.appText + "\\temp.html", w.prefix));
    EXPECT_FALSE(testsupport::exists(w.app + "/temp.html"));
    EXPECT_TRUE(shell::deleteFileIfExists(w.appText + "\\temp.html", w.prefix));
}

TEST(Housekeeping, DeleteFolderTreeRemovesEverythingBelowAndNothingBeyond) {
    Workspace w;
    testsupport::writeFile(w.app + "/data/form.xml", "x");
    testsupport::writeFile(w.app + "/data/.hidden", "x");
    testsupport::writeFile(w.app + "/data/a/b/c/deep.txt", "x");
    QDir().mkpath(q(w.app + "/data/empty"));
    testsupport::writeFile(w.dir / "outside/keep.txt", "x");
    ASSERT_EQ(::symlink((w.dir / "outside").c_str(), (w.app + "/data/a/link").c_str()), 0);
    ASSERT_EQ(::symlink((w.dir / "outside/keep.txt").c_str(), (w.app + "/data/file-link").c_str()), 0);
    for (const QString& text : {w.appText + "\\data", w.appText + "\\data\\"}) {
        EXPECT_TRUE(shell::deleteFolderTree(text, w.prefix));
        EXPECT_FALSE(testsupport::exists(w.app + "/data"));
        EXPECT_TRUE(testsupport::exists(w.dir / "outside/keep.txt"));
        EXPECT_TRUE(testsupport::exists(w.app));
        // A missing folder is nothing to do.
        EXPECT_TRUE(shell::deleteFolderTree(text, w.prefix));
        QDir().mkpath(q(w.app + "/data"));
    }
}
