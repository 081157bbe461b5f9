#include "scans.h"

#include <QFileInfo>

#include <algorithm>

namespace certificates {

namespace {

// Listing errors as the file functions number them.
constexpr int kDiskNotReady = 71;
constexpr int kPathAccessError = 75;

const QString kCandidatePrefix = QStringLiteral("cn=");

bool isDriveText(const QString& path) {
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter();
}

bool matchFrom(const QString& name, int n, const QString& pattern, int p) {
    while (p < pattern.size()) {
        const QChar c = pattern[p];
        if (c == u'*') {
            while (p < pattern.size() && pattern[p] == u'*') {
                ++p;
            }
            if (p == pattern.size()) {
                return true;
            }
            for (int k = n; k <= name.size(); ++k) {
                if (matchFrom(name, k, pattern, p)) {
                    return true;
                }
            }
            return false;
        }
        if (n >= name.size() || (c != u'?' && c.toUpper() != name[n].toUpper())) {
            return false;
        }
        ++n;
        ++p;
    }
    return n == name.size();
}

}  // namespace

bool matchesWildcard(const QString& name, const QString& pattern) {
    return matchFrom(name, 0, pattern, 0);
}

CertificateScans::CertificateScans(CertificateList& list) : list_(list) {}

std::optional<QStringList> CertificateScans::getDirectoryList(const QString& directory) const {
    if (isDriveText(directory) && !platform::Drives(list_.prefix).ready(directory[0])) {
        return std::nullopt;
    }
    const auto names =
        platform::readDirectory(list_.prefix.hostPath(directory), true, false, false);
    if (!names) {
        return std::nullopt;
    }
    QStringList items;
    items.reserve(names->size());
    for (const QString& name : *names) {
        items.append(name + u'\\');
    }
    return items;
}

bool CertificateScans::isCandidate(const QString& item) const {
    return item.left(3).toUpper() == kCandidatePrefix.toUpper();
}

bool CertificateScans::fileExists(const QString& path) const {
    return QFileInfo(list_.prefix.hostPath(path)).isFile();
}

void CertificateScans::checkCertificateFolder(const QString& folder) {
    const QString signCert = folder + certFileNames[0];
    const QString signKey = folder + certFileNames[1];
    if (fileExists(signCert) && fileExists(signKey)) {
        list_.addCertificateEntry(signCert, signKey, folder + certFileNames[2],
                                  folder + certFileNames[3], 0);
    }
}

bool CertificateScans::scanFolder(const QString& folder) {
    const auto items = getDirectoryList(folder);
    if (!items) {
        return false;
    }
    for (const QString& item : *items) {
        if (isCandidate(item)) {
            checkCertificateFolder(folder + item);
        }
    }
    return true;
}

template <size_t N>
std::optional<QStringList> CertificateScans::otherUserFolders(
    const QString& caFolders, const std::array<QString, N>& table) const {
    const auto cas = getDirectoryList(caFolders);
    if (!cas) {
        return std::nullopt;
    }
    QStringList folders;
    for (const QString& ca : *cas) {
        const QString folder = caFolders + ca + QStringLiteral("USER\\");
        const bool named = std::any_of(table.begin(), table.end(), [&](const QString& row) {
            return row.compare(folder, Qt::CaseInsensitive) == 0;
        });
        if (!named && QFileInfo(list_.prefix.hostPath(folder)).isDir()) {
            folders.append(folder);
        }
    }
    return folders;
}

void CertificateScans::scanDiskCerts() {
    list_.layoutCertColumns();
    list_.certCount = 0;
    for (const QString& folder : diskFolderTable) {
        (void)scanFolder(folder);
    }
    for (const QString& folder :
         otherUserFolders(kDiskCaFolders, diskFolderTable).value_or(QStringList())) {
        (void)scanFolder(folder);
    }
}

void CertificateScans::scanFloppyCerts() {
    list_.layoutCertColumns();
    list_.certCount = 0;
    for (size_t index = 0; index < floppyFolderTable.size(); ++index) {
        const QString& folder = floppyFolderTable[index];
        const auto items = getDirectoryList(folder);
        if (!items) {
            return;
        }
        if (index == kFloppyFolderWithFiles) {
            checkCertificateFolder(folder);
        }
        for (const QString& item : *items) {
            if (isCandidate(item)) {
                checkCertificateFolder(folder + item);
            }
        }
    }
    const auto others = otherUserFolders(kFloppyCaFolders, floppyFolderTable);
    if (!others) {
        return;
    }
    for (const QString& folder : *others) {
        if (!scanFolder(folder)) {
            return;
        }
    }
    if (chekOTRXExists(QStringLiteral("A")) != 0) {
        readOTRXCert(QStringLiteral("A"));
    }
}

void CertificateScans::scanSmartCardFolder(const QString& folder) {
    list_.layoutCertColumns();
    list_.certCount = 0;
    QString base = folder;
    if (!base.endsWith(u'/')) {
        base += u'/';
    }
    const QString signCert = base + certFileNames[0];
    const QString signKey = base + certFileNames[1];
    if (fileExists(signCert) && fileExists(signKey)) {
        list_.addCertificateEntry(signCert, signKey, base + certFileNames[2],
                                  base + certFileNames[3], 0);
    }
}

void CertificateScans::readOTRX(int16_t isCDROM) {
    const platform::Drives drives(list_.prefix);
    for (char16_t letter = 'C'; letter <= 'X'; ++letter) {
        const QString drive(QChar{letter});
        if (!drives.exists(QChar(letter)) || chekOTRXExists(drive) == 0) {
            continue;
        }
        const int type = drives.type(QChar(letter));
        if ((isCDROM != 0 && type == platform::kDriveCdRom) ||
            (isCDROM == 0 && type == platform::kDriveFixed)) {
            readOTRXCert(drive);
        }
    }
}

int16_t CertificateScans::chekOTRXExists(const QString& driverString) const {
    const double n =
        FCount(driverString + kClass2Folder + kClass2Pattern, kClass2Mask, 0, 0).toDouble();
    return n > 0 ? -1 : 0;
}

void CertificateScans::readOTRXCert(const QString& driverString) {
    const QString list =
        FCount(driverString + kClass2Folder + kClass2Pattern, kClass2Mask, 0, -1).toString();
    for (const QString& name : list.split(u'\r', Qt::SkipEmptyParts)) {
        const QString certPath = driverString + kClass2Folder + name;
        // The other files of a set are named by replacing "_sig.cer" in
        // the whole path, letter case kept.
        const QString sigKey =
            QString(certPath).replace(QStringLiteral("_sig.cer"), QStringLiteral("_sig.key"));
        if (!fileExists(sigKey)) {
            continue;
        }
        const QString envCert =
            QString(certPath).replace(QStringLiteral("_sig.cer"), QStringLiteral("_env.cer"));
        const QString envKey =
            QString(certPath).replace(QStringLiteral("_sig.cer"), QStringLiteral("_env.key"));
        if (fileExists(envCert) && fileExists(envKey)) {
            list_.addCertificateEntry(certPath, sigKey, envCert, envKey, 1);
        } else {
            list_.addCertificateEntry(certPath, sigKey, certPath, sigKey, 1);
        }
    }
}

QVariant CertificateScans::FCount(const QString& FichiersRecherches, int16_t Filtres,
                                  int16_t GiveTotalSize, int16_t bGiveStringOfFiles) const {
    if (GiveTotalSize != 0 && bGiveStringOfFiles != 0) {
        return -1.0;
    }
    const int slash = FichiersRecherches.lastIndexOf(u'\\');
    const QString folder = FichiersRecherches.left(slash + 1);
    const QString pattern = FichiersRecherches.mid(slash + 1);
    if (GiveTotalSize != 0 && (Filtres & kFolder) != 0) {
        return 0.0;
    }
    const auto failed = [&](int error) -> QVariant {
        if (bGiveStringOfFiles != 0) {
            return QString();
        }
        return GiveTotalSize != 0 ? 0.0 : -static_cast<double>(error);
    };
    if (isDriveText(folder) && !platform::Drives(list_.prefix).ready(folder[0])) {
        return failed(kDiskNotReady);
    }
    const QString hostFolder =
        list_.prefix.hostPath(folder.isEmpty() ? QStringLiteral(".") : folder);
    const auto entries = platform::readDirectory(hostFolder, (Filtres & kFolder) != 0, true,
                                                 (Filtres & kHidden) != 0);
    if (!entries) {
        return failed(kPathAccessError);
    }
    QStringList names;
    for (const QString& entry : *entries) {
        if (matchesWildcard(entry, pattern)) {
            names.append(entry);
        }
    }
    if (bGiveStringOfFiles != 0) {
        return names.join(u'\r');
    }
    if (GiveTotalSize != 0) {
        double total = 0;
        for (const QString& name : names) {
            const QFileInfo info(hostFolder + u'/' + name);
            if (!info.exists()) {
                return failed(kPathAccessError);
            }
            total += static_cast<double>(info.size());
        }
        return total;
    }
    return static_cast<double>(names.size());
}

}  // namespace certificates
