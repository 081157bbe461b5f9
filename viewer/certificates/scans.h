// The scans that fill the certificate list: certificate folders on the
// floppy and the hard disk, and class-2 government certificate sets on
// drives.
#pragma once

#include "certlist.h"
#include "drives.h"

#include <QStringList>
#include <QVariant>

#include <optional>

namespace certificates {

// Searched in this order. "a:\yessign\" is searched twice; the first time
// also for certificate files lying in it.
inline const std::array<QString, 7> floppyFolderTable = {
    QStringLiteral("a:\\NPKI\\ncasign\\user\\"),
    QStringLiteral("a:\\SignGate\\"),
    QStringLiteral("a:\\yessign\\"),
    QStringLiteral("a:\\NPKI\\signkorea\\user\\"),
    QStringLiteral("a:\\NPKI\\crosscert\\user\\"),
    QStringLiteral("a:\\pkiclient\\"),
    QStringLiteral("a:\\yessign\\")};
constexpr int kFloppyFolderWithFiles = 2;  // "a:\yessign\", the third row

// Searched in this order. Rows 4 and 7 name the same folder where letter
// case is ignored, and its certificates are listed twice.
inline const std::array<QString, 10> diskFolderTable = {
    QStringLiteral("c:\\windows\\yessign\\"),
    QStringLiteral("c:\\winnt\\yessign\\"),
    QStringLiteral("c:\\pkicert\\"),
    QStringLiteral("c:\\Program Files\\NPKI\\NCASign\\USER\\"),
    QStringLiteral("c:\\kvx\\"),
    QStringLiteral("c:\\Program Files\\NPKI\\yessign\\user\\"),
    QStringLiteral("c:\\Program Files\\NPKI\\ncasign\\user\\"),
    QStringLiteral("c:\\Program Files\\NPKI\\signgate\\user\\"),
    QStringLiteral("c:\\Program Files\\NPKI\\signkorea\\user\\"),
    QStringLiteral("c:\\Program Files\\NPKI\\CrossCert\\user\\")};

// After the tables, every "<CA>\USER\" folder below these that the tables
// did not already name is searched too: certificate software on Linux and
// newer versions on Windows keep CAs the tables do not know (yessign on a
// stick, TradeSign).
inline const QString kFloppyCaFolders = QStringLiteral("a:\\NPKI\\");
inline const QString kDiskCaFolders = QStringLiteral("c:\\Program Files\\NPKI\\");

// Where class-2 sets lie below a drive's root, and the files of a set.
inline const QString kClass2Folder = QStringLiteral(":\\OTRX\\certificate\\class2\\");
inline const QString kClass2Pattern = QStringLiteral("*_sig.cer");

// Attribute bits of the listing mask.
enum ListingMask : int16_t {
    kReadOnly = 1,
    kHidden = 2,
    kSystem = 4,
    kVolume = 8,
    kFolder = 16,
};
constexpr int16_t kClass2Mask = kReadOnly | kHidden | kSystem;

// Windows wildcard matching of one name: "*" any run, "?" one character,
// letter case ignored.
bool matchesWildcard(const QString& name, const QString& pattern);

class CertificateScans {
public:
    explicit CertificateScans(CertificateList& list);

    CertificateList& list() const { return list_; }

    // The subfolders of a folder path ending in "\", each name followed by
    // "\", in the volume's order; hidden folders are not listed. Nothing
    // when the drive has no disk or the folder cannot be read; a folder
    // that does not exist lists no names.
    std::optional<QStringList> getDirectoryList(const QString& directory) const;

    // The ten hard-disk folders, then the other CA folders; a folder that
    // cannot be listed is skipped.
    void scanDiskCerts();
    // The seven floppy folders, the other CA folders, then class-2 sets on
    // drive "A". The first failure ends the scan silently; what was listed
    // stays.
    void scanFloppyCerts();

    // The signing pair the card export wrote into `folder` (a host folder),
    // listed as one entry.
    void scanSmartCardFolder(const QString& folder);

    // Class-2 sets on the CD-ROM drives (isCDROM true, -1) or the fixed
    // disks, letters C to X.
    void readOTRX(int16_t isCDROM);
    // -1 when the drive ("C") holds a "_sig.cer" file in its class-2 folder.
    int16_t chekOTRXExists(const QString& driverString) const;
    // Lists every set of the drive whose "_sig.key" exists.
    void readOTRXCert(const QString& driverString);

    // Lists the entries that match a path whose last component may hold
    // wildcards, under an attribute mask (ordinary files always). Count
    // mode (both flags 0): the number of entries, minus an error number on
    // failure. GiveTotalSize: the sum of their sizes, 0 on failure or with
    // the folder bit. bGiveStringOfFiles: the names joined by CR, empty on
    // failure. Both flags: -1.
    QVariant FCount(const QString& FichiersRecherches, int16_t Filtres, int16_t GiveTotalSize,
                    int16_t bGiveStringOfFiles) const;

private:
    bool isCandidate(const QString& item) const;
    // Lists the certificate folders found in `folder`; false when it
    // cannot be listed.
    bool scanFolder(const QString& folder);
    // The "<CA>\USER\" folders below `caFolders` that `table` does not name,
    // letter case ignored; nothing when `caFolders` cannot be listed.
    template <size_t N>
    std::optional<QStringList> otherUserFolders(const QString& caFolders,
                                                const std::array<QString, N>& table) const;
    void checkCertificateFolder(const QString& folder);
    bool fileExists(const QString& path) const;

    CertificateList& list_;
};

}  // namespace certificates
