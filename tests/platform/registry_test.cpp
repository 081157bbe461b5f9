// Wine's registry files, drive types and removable media.
#include "registry.h"
#include "drives.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cstdlib>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// A user.reg the way Wine writes it: header, comments, options, sections
// with times, every kind of value and escape.
const char kUserReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\SIGNGATE\\\\PKICERT\\\\Certificate\\\\cn=\\xae40\\xcca0\\xc218()0001] "
    "1796962103\n"
    "#time=1da5a1b2c3d4e5f\n"
    "\"Sign\"=\"-----BEGIN CERTIFICATE-----\\r\\nMIIB\\\\x\\\"q\\\"\\r\\n\"\n"
    "@=\"default value\"\n"
    "\"Caf\\x00e9\"=\"caf\\x00e9\\x00e9 \\xe9!\"\n"
    "\"Ctl\"=\"\\a\\b\\e\\f\\t\\v\\0011\\1z\"\n"
    "\"Number\"=dword:0000002a\n"
    "\"Bytes\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
    "  16,17,ff\n"
    "\"Expand\"=str(2):\"%HOME%\\\\x\"\n"
    "\"Text16\"=hex(1):41,00,42,00,00,00\n"
    "\n"
    "[Software\\\\SIGNGATE\\\\PKICERT\\\\Certificate\\\\CN=a] 1796962104\n"
    "[Software\\\\SIGNGATE\\\\PKICERT\\\\Certificate\\\\cn=C] 1796962105\n"
    "[Software\\\\SIGNGATE\\\\PKICERT\\\\Certificate\\\\cn=b] 1796962106\n"
    "#time=1da5a1b2c3d4e60\n"
    "[Software\\\\SIGNGATE\\\\PKICERT\\\\User\\\\cn=b\\\\PrivateKey] 1796962107\n"
    "\"Sign\"=\"k\"\n";

}  // namespace

TEST(Registry, ReadsWhatWineWrites) {
    const platform::Registry r = platform::Registry::parse(kUserReg);
    const QString key = QStringLiteral("Software\\SIGNGATE\\PKICERT\\Certificate\\cn=김철수()0001");
    ASSERT_TRUE(r.hasKey(key));
    EXPECT_TRUE(r.hasKey(key.toUpper()));
    EXPECT_EQ(*r.valueBytes(key, "Sign"),
              QByteArray("-----BEGIN CERTIFICATE-----\r\nMIIB\\x\"q\"\r\n", 40) + '\0');
    EXPECT_EQ(*r.valueBytes(key, ""), QByteArray("default value") + '\0');
    EXPECT_EQ(QString::fromUtf8(r.valueBytes(key, QStringLiteral("Café"))->chopped(1)),
              QStringLiteral("caféé é!"));
    EXPECT_EQ(*r.valueBytes(key, "ctl"), QByteArray("\a\b\x1b\f\t\v\x01"
                                                    "1\x01z",
                                                    10) +
                                             '\0');
    EXPECT_EQ(r.value(key, "Number")->type, platform::Registry::kDword);
    EXPECT_EQ(r.value(key, "Number")->data, QByteArray("\x2a\0\0\0", 4));
    const auto bytes = r.value(key, "Bytes");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->type, platform::Registry::kBinary);
    ASSERT_EQ(bytes->data.size(), 25);
    EXPECT_EQ(static_cast<unsigned char>(bytes->data[24]), 0xff);
    EXPECT_EQ(r.value(key, "Expand")->type, platform::Registry::kExpandString);
    EXPECT_EQ(*r.valueBytes(key, "Expand"), QByteArray("%HOME%\\x") + '\0');
    EXPECT_EQ(*r.valueBytes(key, "Text16"), QByteArray("AB") + '\0');
    EXPECT_FALSE(r.value(key, "Missing"));
}

TEST(Registry, ImpliesParentsAndEnumeratesSorted) {
    const platform::Registry r = platform::Registry::parse(kUserReg);
    EXPECT_EQ(r.subkeys("Software\\SIGNGATE\\PKICERT"), (QStringList{"Certificate", "User"}));
    EXPECT_EQ(r.subkeys("software\\signgate\\pkicert\\certificate"),
              (QStringList{"CN=a", "cn=b", "cn=C", QStringLiteral("cn=김철수()0001")}));
    EXPECT_TRUE(r.hasKey("Software\\SIGNGATE\\PKICERT\\User\\CN=B"));
    EXPECT_EQ(*r.valueBytes("Software\\SIGNGATE\\PKICERT\\User\\cn=b\\PrivateKey", "Sign"),
              QByteArray("k") + '\0');
    EXPECT_TRUE(r.subkeys("Software\\KNCA").isEmpty());
}

TEST(Registry, FilesWithoutTheHeaderAreEmpty) {
    EXPECT_FALSE(platform::Registry::parse("[Software\\\\X] 1\n\"a\"=\"b\"\n").hasKey("Software"));
    EXPECT_FALSE(platform::Registry::load("/nonexistent/user.reg").hasKey("Software"));
    // A line that does not parse is skipped; the rest is read.
    const platform::Registry r = platform::Registry::parse(
        "WINE REGISTRY Version 2\n[A] 1\n\"bad\"=hex:zz\n\"open=\"x\n\"good\"=\"g\"\n");
    EXPECT_FALSE(r.value("A", "bad"));
    EXPECT_EQ(*r.valueBytes("A", "good"), QByteArray("g") + '\0');
}

TEST(Drives, TypesComeFromSystemRegAndMedia) {
    TempDir dir;
    ::setenv("HOME", (dir / "home").c_str(), 1);
    platform::Prefix prefix(q(dir / "prefix"));
    ASSERT_TRUE(prefix.ensure());
    for (const char* letter : {"d", "e", "f"}) {
        QDir().mkpath(q(dir / letter));
        QFile::link(q(dir / letter), q(dir / "prefix/dosdevices/") + letter + ":");
    }
    QFile::link(q(dir / "no-disk"), q(dir / "prefix/dosdevices/g:"));
    testsupport::writeFile(dir / "prefix/system.reg",
                           "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
                           "[Software\\\\Wine\\\\Drives] 1796962103\n#time=1da5\n"
                           "\"d:\"=\"cdrom\"\n\"f:\"=\"floppy\"\n\"g:\"=\"cdrom\"\n"
                           // A string of one byte, shorter than its zero.
                           "\"e:\"=hex(1):63\n");
    QDir().mkpath(q(dir / "media/usb stick"));
    QDir().mkpath(q(dir / "media/cd"));
    prefix.attachMedia({{q(dir / "media/usb stick"), "vfat"}, {q(dir / "media/cd"), "iso9660"}});

    const platform::Drives drives(prefix);
    struct Case {
        char letter;
        bool exists, ready;
        int type;
    } cases[] = {
        {'a', true, true, platform::kDriveRemovable},  // the stick: first free from a:
        {'b', false, false, platform::kDriveUnknown}, {'c', true, true, platform::kDriveFixed},
        {'d', true, true, platform::kDriveCdRom},     {'e', true, true, platform::kDriveFixed},
        {'f', true, true, platform::kDriveRemovable}, {'g', true, false, platform::kDriveCdRom},
        {'h', true, true, platform::kDriveCdRom},  // the CD: first free from d:
        {'i', false, false, platform::kDriveUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letter);
        EXPECT_EQ(drives.exists(QChar(c.letter)), c.exists);
        EXPECT_EQ(drives.exists(QChar(c.letter).toUpper()), c.exists);
        EXPECT_EQ(drives.ready(QChar(c.letter)), c.ready);
        EXPECT_EQ(drives.type(QChar(c.letter)), c.type);
    }
    testsupport::writeFile(dir / "media/usb stick/NPKI/x", "1");
    EXPECT_EQ(prefix.hostPath("A:\\npki\\X"), q(dir / "media/usb stick/NPKI/x"));
}

TEST(Drives, MediaGetLettersAsWindowsGivesThem) {
    TempDir dir;
    ::setenv("HOME", (dir / "home").c_str(), 1);
    platform::Prefix prefix(q(dir / "prefix"));
    ASSERT_TRUE(prefix.ensure());
    for (const char* medium : {"stick", "cd", "linked", "second", "card"}) {
        QDir().mkpath(q(dir / "media/" + std::string(medium)));
    }
    // A medium the user already gave a letter keeps it and gets no other.
    QFile::link(q(dir / "media/linked"), q(dir / "prefix/dosdevices/e:"));
    const std::string table = dir / "mounts";
    prefix.setMountTable(q(table), {q(dir / "media")});
    const auto mount = [&](const std::vector<std::pair<std::string, std::string>>& media) {
        std::string text = "/dev/vda / ext4 rw 0 0\n";
        for (const auto& [name, fs] : media) {
            text += "/dev/sdx " + dir / "media/" + name + " " + fs + " rw 0 0\n";
        }
        testsupport::writeFile(table, text);
        prefix.refreshMedia();
    };
    const auto letterOf = [&](const std::string& name) {
        for (char16_t letter = 'a'; letter <= 'z'; ++letter) {
            if (prefix.driveFolder(QChar(letter)) == q(dir / "media/" + name)) {
                return std::string(1, static_cast<char>(letter));
            }
        }
        return std::string("-");
    };
    mount({{"stick", "vfat"}, {"cd", "iso9660"}, {"linked", "vfat"}});
    EXPECT_EQ(letterOf("stick"), "a");
    EXPECT_EQ(letterOf("cd"), "d");
    EXPECT_EQ(letterOf("linked"), "-");  // reached through e: only
    EXPECT_EQ(prefix.hostPath("e:\\x"), q(dir / "prefix/dosdevices/e:/x"));
    EXPECT_EQ(platform::Drives(prefix).type('d'), platform::kDriveCdRom);
    EXPECT_EQ(platform::Drives(prefix).type('a'), platform::kDriveRemovable);
    // Another stick and a UDF disc join; the first ones keep their letters.
    mount({{"second", "ext2"}, {"stick", "vfat"}, {"card", "udf"}, {"cd", "iso9660"}});
    EXPECT_EQ(letterOf("stick"), "a");
    EXPECT_EQ(letterOf("cd"), "d");
    EXPECT_EQ(letterOf("second"), "b");
    EXPECT_EQ(letterOf("card"), "f");  // e: is the linked one
    // The stick is pulled out: its letter is gone, the others stay.
    mount({{"second", "ext2"}, {"card", "udf"}, {"cd", "iso9660"}});
    EXPECT_EQ(letterOf("stick"), "-");
    EXPECT_FALSE(platform::Drives(prefix).exists('a'));
    EXPECT_EQ(letterOf("second"), "b");
    EXPECT_EQ(letterOf("card"), "f");
}

TEST(Drives, MountedMediaAreThoseUnderMedia) {
    TempDir dir;
    testsupport::writeFile(dir / "mounts",
                           "/dev/sda1 / ext4 rw,relatime 0 0\n"
                           "/dev/sdb1 /media/user/USB\\040STICK vfat rw,nosuid 0 0\n"
                           "/dev/sr0 /run/media/user/CDROM iso9660 ro 0 0\n"
                           "tmpfs /run/user/1000 tmpfs rw 0 0\n");
    const QVector<platform::Medium> media = platform::mountedMedia(q(dir / "mounts"));
    ASSERT_EQ(media.size(), 2);
    EXPECT_EQ(media[0].mountPoint, QStringLiteral("/media/user/USB STICK"));
    EXPECT_EQ(media[0].fileSystem, QStringLiteral("vfat"));
    EXPECT_EQ(media[1].mountPoint, QStringLiteral("/run/media/user/CDROM"));
    EXPECT_EQ(media[1].fileSystem, QStringLiteral("iso9660"));
}
