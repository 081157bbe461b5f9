// Certificates on sticks and CDs mounted under /media, and in every CA
// folder, as paperlens-cli certs lists them: the mount table is a file of
// the test's own, and, where the machine allows it, real images are
// mounted in a mount namespace.
#include "fixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using testsupport::TempDir;

namespace {

void sh(const std::string& script) {
    ASSERT_EQ(testsupport::run({"sh", "-c", script}), 0) << script;
}

const std::string kHong = "홍길동()0001234567890123\t금융결제원\t";
const std::string kKim = "김철수()0009876543210987\t금융결제원\t";
const std::string kPark = "박영희\tTessaran\t";

struct Media {
    TempDir dir;
    std::string w = dir / "world";
    fixtures::World world = fixtures::writeWorld(w, "1234qwer!");
    std::string root = dir / "prefix";
    std::string media = dir / "media/user";
    std::string table = dir / "mounts";

    Media() {
        ::setenv("PAPERLENS_PREFIX", root.c_str(), 1);
        ::setenv("HOME", (dir / "home").c_str(), 1);
        ::setenv("PAPERLENS_MOUNT_TABLE", table.c_str(), 1);
        ::setenv("PAPERLENS_MEDIA_ROOTS", (dir / "media").c_str(), 1);
        mount({});
    }
    ~Media() {
        ::unsetenv("PAPERLENS_MOUNT_TABLE");
        ::unsetenv("PAPERLENS_MEDIA_ROOTS");
    }
    // The mount table lists these (folder under media/user, file system).
    void mount(const std::vector<std::pair<std::string, std::string>>& mounted) {
        std::string text = "proc /proc proc rw 0 0\n/dev/vda1 / ext4 rw 0 0\n";
        for (const auto& [name, fs] : mounted) {
            text += "/dev/sr0 " + media + "/" + name + " " + fs + " ro 0 0\n";
        }
        testsupport::writeFile(table, text);
    }
    std::string certs(const std::string& location, int* status = nullptr) {
        std::string output;
        const int rc = testsupport::run({PAPERLENS_CLI, "certs", "--location", location}, {}, &output);
        if (status != nullptr) {
            *status = rc;
        }
        return output;
    }
};

}  // namespace

TEST(Media, AStickAndACdListUnderTheirLocations) {
    Media m;
    // A stick as certificate software writes it today, and a CD with a
    // class-2 set.
    sh("mkdir -p '" + m.media + "/STICK/NPKI/yessign/USER' '" + m.media +
       "/DISC/OTRX/certificate/class2' && cp -r '" + m.w + "/users/kim' '" + m.media +
       "/STICK/NPKI/yessign/USER/cn=kim' && cp '" + m.w + "/class2/'* '" + m.media +
       "/DISC/OTRX/certificate/class2/'");
    m.mount({{"STICK", "vfat"}, {"DISC", "iso9660"}});
    EXPECT_EQ(m.certs("floppy"), kKim + "a:\\NPKI\\yessign\\USER\\cn=kim\\SignCert.der\n");
    EXPECT_EQ(m.certs("cd"), kPark + "D:\\OTRX\\certificate\\class2\\park_sig.cer\n");
    // The hard disk's class-2 sweep does not take the CD's set.
    EXPECT_EQ(m.certs("hdd"), "");
}

TEST(Media, EveryCaFolderAfterTheTablesRows) {
    Media m;
    // ~/NPKI as certificate software on Linux keeps it: yessign (a folder
    // the table names) and TradeSign (one it does not).
    sh("mkdir -p '" + m.dir / "home/NPKI/yessign/USER" + "' '" + m.dir / "home/NPKI/TradeSign/USER" +
       "' && cp -r '" + m.w + "/users/hong' '" + m.dir / "home/NPKI/yessign/USER/cn=hong" +
       "' && cp -r '" + m.w + "/users/kim' '" + m.dir / "home/NPKI/TradeSign/USER/cn=kim" + "'");
    // A stick with the floppy table's own folders and two it does not name.
    const std::string stick = m.media + "/STICK";
    sh("mkdir -p '" + stick + "/NPKI/signkorea/user' '" + stick + "/yessign' '" + stick +
       "/NPKI/TradeSign/USER' '" + stick + "/NPKI/yessign/User' && cp -r '" + m.w +
       "/users/hong' '" + stick + "/NPKI/signkorea/user/cn=hong' && cp -r '" + m.w +
       "/users/hong' '" + stick + "/yessign/cn=hong' && cp -r '" + m.w + "/users/kim' '" + stick +
       "/NPKI/TradeSign/USER/cn=kim' && cp -r '" + m.w + "/users/kim' '" + stick +
       "/NPKI/yessign/User/cn=kim2'");
    m.mount({{"STICK", "vfat"}});
    // The table's rows in their number and order (yessign twice), then the
    // other CA folders in the volume's order.
    EXPECT_EQ(m.certs("floppy"),
              kHong + "a:\\yessign\\cn=hong\\SignCert.der\n" + kHong +
                  "a:\\NPKI\\signkorea\\user\\cn=hong\\SignCert.der\n" + kHong +
                  "a:\\yessign\\cn=hong\\SignCert.der\n" + kKim +
                  "a:\\NPKI\\TradeSign\\USER\\cn=kim\\SignCert.der\n" + kKim +
                  "a:\\NPKI\\yessign\\USER\\cn=kim2\\SignCert.der\n");
    // Table rows 6 and 7 name the same folder: listed twice, then TradeSign.
    EXPECT_EQ(m.certs("hdd"),
              kHong + "c:\\Program Files\\NPKI\\yessign\\user\\cn=hong\\SignCert.der\n" + kKim +
                  "c:\\Program Files\\NPKI\\TradeSign\\USER\\cn=kim\\SignCert.der\n");
}

TEST(Media, CertsFailsWhenSealkitIsMissing) {
    Media m;
    ::setenv("PAPERLENS_SEALKIT", (m.dir / "no/libSealkit.so").c_str(), 1);
    int status = 0;
    const std::string output = m.certs("hdd", &status);
    ::unsetenv("PAPERLENS_SEALKIT");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("Sealkit"), std::string::npos) << output;
}

TEST(Media, RealImagesMountedUnderMedia) {
    // Root and a mount namespace of our own: an iso9660 image made by
    // genisoimage and an ext2 image, mounted where a desktop mounts them.
    if (::geteuid() != 0 || testsupport::run({"unshare", "--mount", "true"}) != 0 ||
        testsupport::run({"sh", "-c", "command -v genisoimage && command -v mkfs.ext2"}) != 0) {
        GTEST_SKIP() << "skipped: needs root, a mount namespace, genisoimage and mkfs.ext2";
    }
    Media m;
    sh("mkdir -p '" + m.dir / "iso/OTRX/certificate/class2" + "' '" + m.dir / "ext2/NPKI/yessign/USER" +
       "' && cp '" + m.w + "/class2/'* '" + m.dir / "iso/OTRX/certificate/class2/" + "' && cp -r '" +
       m.w + "/users/kim' '" + m.dir / "ext2/NPKI/yessign/USER/cn=kim" + "' && genisoimage -quiet -R -o '" +
       m.dir / "cd.iso" + "' '" + m.dir / "iso" + "' && mkfs.ext2 -q -d '" + m.dir / "ext2" + "' '" +
       m.dir / "stick.img" + "' 4M");
    ::unsetenv("PAPERLENS_MOUNT_TABLE");
    const std::string script =
        "set -e; mkdir -p '" + m.media + "/CDROM' '" + m.media + "/STICK'; mount -o loop,ro '" +
        m.dir / "cd.iso" + "' '" + m.media + "/CDROM'; mount -o loop '" + m.dir / "stick.img" + "' '" +
        m.media + "/STICK'; \"$0\" certs --location cd; echo --; \"$0\" certs --location floppy";
    std::string output;
    const int status = testsupport::run({"unshare", "--mount", "--propagation", "private", "sh",
                                         "-c", script, PAPERLENS_CLI},
                                        {}, &output);
    if (status != 0 && output.find("mount") != std::string::npos) {
        GTEST_SKIP() << "skipped: loop devices cannot be mounted here: " << output;
    }
    EXPECT_EQ(output, kPark + "D:\\OTRX\\certificate\\class2\\park_sig.cer\n--\n" + kKim +
                          "a:\\NPKI\\yessign\\USER\\cn=kim\\SignCert.der\n");
}
