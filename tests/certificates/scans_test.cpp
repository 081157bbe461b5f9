// The folder scans, the class-2 sweep and the registry export, each on its
// own prefix.
#include "certworld.h"
#include "registryexport.h"

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <cerrno>

using certtest::PrefixWorld;
using certtest::q;
using testsupport::writeFile;
using Rows = std::vector<std::string>;

namespace {

void listDisk(PrefixWorld& w) {
    w.list.clearCertification();
    w.scans.scanDiskCerts();
}

void listFloppy(PrefixWorld& w) {
    w.list.clearCertification();
    w.scans.scanFloppyCerts();
}

const char kNpki[] = "Program Files/NPKI/";

}  // namespace

TEST(DiskScan, ListsTheTenFoldersInTableOrder) {
    PrefixWorld w;
    w.certFolder(w.c("pkicert/cn=P"), "cn=P,o=x");
    w.certFolder(w.c("windows/yessign/cn=W"), "cn=W,o=x");
    w.certFolder(w.c("kvx/cn=1"), "cn=K,o=x");
    // Rows 4 and 7 of the table name this folder, in two spellings.
    w.certFolder(w.c(std::string(kNpki) + "ncasign/user/CN=N"), "cn=N,o=x");
    w.certFolder(w.c(std::string(kNpki) + "yessign/USER/cn=Y2"), "cn=Y2,o=x");
    w.certFolder(w.c(std::string(kNpki) + "yessign/USER/cn=Y1"), "cn=Y1,o=x");
    w.certFolder(w.c(std::string(kNpki) + "CrossCert/user/cn=X"), "cn=X,o=x");
    // Not certificate folders, or not complete ones.
    w.certFolder(w.c(std::string(kNpki) + "yessign/USER/xcn=Z"), "cn=Z,o=x");
    w.certFolder(w.c(std::string(kNpki) + "yessign/USER/cn=OnlyCert"), "cn=O,o=x", false);
    w.certFolder(w.c(std::string(kNpki) + "yessign/USER/.cn=dot"), "cn=D,o=x");
    writeFile(w.c(std::string(kNpki) + "yessign/USER/cn=file"), "x");
    // Only the first two files are needed; the key file's name ignores case.
    w.certFolder(w.c("pkicert/cn=Q"), "cn=Q,o=x", false);
    writeFile(w.c("pkicert/cn=Q/signpri.KEY"), "k");

    listDisk(w);
    const std::string npki = "c:\\Program Files\\NPKI\\";
    EXPECT_EQ(w.rows(), (Rows{
                            "W|금융결제원|c:\\windows\\yessign\\cn=W\\SignCert.der",
                            "P|금융결제원|c:\\pkicert\\cn=P\\SignCert.der",
                            "Q|금융결제원|c:\\pkicert\\cn=Q\\SignCert.der",
                            "N|금융결제원|" + npki + "NCASign\\USER\\CN=N\\SignCert.der",
                            "K|금융결제원|c:\\kvx\\cn=1\\SignCert.der",
                            "Y1|금융결제원|" + npki + "yessign\\user\\cn=Y1\\SignCert.der",
                            "Y2|금융결제원|" + npki + "yessign\\user\\cn=Y2\\SignCert.der",
                            "N|금융결제원|" + npki + "ncasign\\user\\CN=N\\SignCert.der",
                            "X|금융결제원|" + npki + "CrossCert\\user\\cn=X\\SignCert.der",
                        }));
    EXPECT_EQ(w.list.kmCertPath[1], QStringLiteral("c:\\windows\\yessign\\cn=W\\kmCert.der"));
    EXPECT_EQ(w.list.kmKeyPath[1], QStringLiteral("c:\\windows\\yessign\\cn=W\\kmPri.key"));
    EXPECT_EQ(w.grid.columnWidth(0), 2348);
}

TEST(DiskScan, SkipsFoldersMarkedHidden) {
    PrefixWorld w;
    const std::string folder = w.c("pkicert/cn=Hidden");
    w.certFolder(folder, "cn=H,o=x");
    w.certFolder(w.c("pkicert/cn=Shown"), "cn=S,o=x");
    const char hidden[] = "0x2";
    if (::setxattr(folder.c_str(), "user.DOSATTRIB", hidden, 3, 0) != 0) {
        GTEST_SKIP() << "no user extended attributes here: " << errno;
    }
    listDisk(w);
    EXPECT_EQ(w.rows(), (Rows{"S|금융결제원|c:\\pkicert\\cn=Shown\\SignCert.der"}));
}

TEST(FloppyScan, ListsFilesInYessignOnceAndItsFoldersTwice) {
    PrefixWorld w;
    const std::string a = w.drive('a');
    w.certFolder(a + "/yessign", "cn=Direct,o=x");
    w.certFolder(a + "/yessign/cn=Sub", "cn=Sub,o=x");
    listFloppy(w);
    EXPECT_EQ(w.rows(), (Rows{"Direct|금융결제원|a:\\yessign\\SignCert.der",
                              "Sub|금융결제원|a:\\yessign\\cn=Sub\\SignCert.der",
                              "Sub|금융결제원|a:\\yessign\\cn=Sub\\SignCert.der"}));
}

TEST(FloppyScan, FindsSignkoreaFoldersAndClass2SetsOnA) {
    PrefixWorld w;
    const std::string a = w.drive('a');
    w.certFolder(a + "/NPKI/SignKorea/User/cn=K", "cn=K,o=x");
    w.class2Set(a, "g", "cn=G,o=x", {"_sig.key"});
    listFloppy(w);
    EXPECT_EQ(w.rows(), (Rows{"K|금융결제원|a:\\NPKI\\signkorea\\user\\cn=K\\SignCert.der",
                              "G|Tessaran|A:\\OTRX\\certificate\\class2\\g_sig.cer"}));
    EXPECT_EQ(w.list.govCertFlag[2], 1);
}

TEST(FloppyScan, NoDiskListsNothingAndShowsNothing) {
    for (bool linked : {false, true}) {
        SCOPED_TRACE(linked);
        PrefixWorld w;
        if (linked) {
            w.drive('a', false);  // the drive is there, its disk is not
        }
        listFloppy(w);
        EXPECT_EQ(w.list.certCount, 0);
        EXPECT_EQ(w.grid.rowCount(), 2);
        EXPECT_TRUE(w.prompt.shown.empty());
        EXPECT_FALSE(w.scans.getDirectoryList(QStringLiteral("a:\\")).has_value());
    }
}

TEST(Class2, SetsAreListedWithTheirEncryptionPairWhereComplete) {
    PrefixWorld w;
    const std::string c = w.c("");
    w.class2Set(c, "a", "cn=A,o=x", {"_sig.key"});
    w.class2Set(c, "b", "cn=B,o=x", {"_sig.key", "_env.cer"});
    w.class2Set(c, "c", "cn=C,o=x", {});
    w.class2Set(c, "d", "cn=D,o=x", {"_sig.key", "_env.cer", "_env.key"});
    w.list.clearCertification();
    w.scans.readOTRXCert(QStringLiteral("C"));
    const QString folder = QStringLiteral("C:\\OTRX\\certificate\\class2\\");
    ASSERT_EQ(w.rows(), (Rows{"A|Tessaran|C:\\OTRX\\certificate\\class2\\a_sig.cer",
                              "B|Tessaran|C:\\OTRX\\certificate\\class2\\b_sig.cer",
                              "D|Tessaran|C:\\OTRX\\certificate\\class2\\d_sig.cer"}));
    struct Slot {
        const char *signKey, *kmCert, *kmKey;
    } expected[] = {{"a_sig.key", "a_sig.cer", "a_sig.key"},
                    {"b_sig.key", "b_sig.cer", "b_sig.key"},
                    {"d_sig.key", "d_env.cer", "d_env.key"}};
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(w.list.signKeyPath[k], folder + expected[k - 1].signKey);
        EXPECT_EQ(w.list.kmCertPath[k], folder + expected[k - 1].kmCert);
        EXPECT_EQ(w.list.kmKeyPath[k], folder + expected[k - 1].kmKey);
        EXPECT_EQ(w.list.govCertFlag[k], 1);
    }
}

TEST(Class2, SweepTakesFixedDisksOrCdRomsFromCToX) {
    PrefixWorld w;
    w.class2Set(w.c(""), "c", "cn=OnC,o=x", {"_sig.key"});
    w.class2Set(w.drive('d'), "d", "cn=OnD,o=x", {"_sig.key"});
    w.class2Set(w.drive('e'), "e", "cn=OnE,o=x", {"_sig.key"});
    w.class2Set(w.drive('f'), "f", "cn=OnF,o=x", {"_sig.key"});
    w.class2Set(w.drive('y'), "y", "cn=OnY,o=x", {"_sig.key"});
    w.class2Set(w.drive('z'), "z", "cn=OnZ,o=x", {"_sig.key"});
    w.drive('g', false);  // an empty CD drive
    w.driveTypes({{"d:", "cdrom"}, {"f:", "floppy"}, {"g:", "cdrom"}});
    struct Case {
        int16_t isCDROM;
        Rows rows;
    } cases[] = {
        {0,
         {"OnC|Tessaran|C:\\OTRX\\certificate\\class2\\c_sig.cer",
          "OnE|Tessaran|E:\\OTRX\\certificate\\class2\\e_sig.cer"}},
        {-1, {"OnD|Tessaran|D:\\OTRX\\certificate\\class2\\d_sig.cer"}},
    };
    for (const Case& c : cases) {
        w.list.clearCertification();
        w.scans.readOTRX(c.isCDROM);
        EXPECT_EQ(w.rows(), c.rows) << c.isCDROM;
    }
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(Class2, AppendsBelowTheDiskCertificates) {
    PrefixWorld w;
    w.certFolder(w.c("pkicert/cn=P"), "cn=P,o=x");
    w.class2Set(w.c(""), "g", "cn=G,o=x", {"_sig.key"});
    listDisk(w);
    w.scans.readOTRX(0);
    EXPECT_EQ(w.rows(), (Rows{"P|금융결제원|c:\\pkicert\\cn=P\\SignCert.der",
                              "G|Tessaran|C:\\OTRX\\certificate\\class2\\g_sig.cer"}));
}

TEST(FCount, CountsSizesAndNamesMatchingFiles) {
    PrefixWorld w;
    const std::string folder = w.c("OTRX/certificate/class2/");
    writeFile(folder + "x_sig.cer", "12345");
    writeFile(folder + "Y_SIG.CER", "123");
    writeFile(folder + ".z_sig.cer", "1");  // hidden: listed under mask 7
    writeFile(folder + "x_sig.key", "k");
    QDir().mkpath(q(folder + "dir_sig.cer"));
    const QString pattern = QStringLiteral("C:\\OTRX\\certificate\\class2\\*_sig.cer");
    struct Case {
        int16_t mask, size, names;
        QVariant result;
    } cases[] = {
        {7, 0, 0, 3.0},
        {7, 0, -1, QStringLiteral(".z_sig.cer\rx_sig.cer\rY_SIG.CER")},
        {0, 0, -1, QStringLiteral("x_sig.cer\rY_SIG.CER")},
        {7, -1, 0, 9.0},
        {16, 0, 0, 3.0},  // folders and ordinary files
        {16, -1, 0, 0.0},
        {7, -1, -1, -1.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(w.scans.FCount(pattern, c.mask, c.size, c.names), c.result)
            << c.mask << " " << c.size << " " << c.names;
    }
    // A folder that does not exist matches nothing; a drive without a disk
    // fails.
    EXPECT_EQ(w.scans.FCount(QStringLiteral("C:\\none\\*"), 7, 0, 0), QVariant(0.0));
    w.drive('d', false);
    EXPECT_LT(w.scans.FCount(QStringLiteral("D:\\x\\*"), 7, 0, 0).toDouble(), 0);
    EXPECT_EQ(w.scans.FCount(QStringLiteral("D:\\x\\*"), 7, 0, -1), QVariant(QString()));
    EXPECT_EQ(w.scans.chekOTRXExists(QStringLiteral("C")), -1);
    EXPECT_EQ(w.scans.chekOTRXExists(QStringLiteral("D")), 0);
}

TEST(Wildcards, MatchAsWindowsDoes) {
    struct Case {
        const char *name, *pattern;
        bool matches;
    } cases[] = {
        {"a_sig.cer", "*_sig.cer", true},
        {"A_SIG.CER", "*_sig.cer", true},
        {"_sig.cer", "*_sig.cer", true},
        {"a_sig.cer.bak", "*_sig.cer", false},
        {"a_env.cer", "*_sig.cer", false},
        {"ab", "a?", true},
        {"a", "a?", false},
        {"anything", "*", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(certificates::matchesWildcard(c.name, c.pattern), c.matches)
            << c.name << " " << c.pattern;
    }
}
