// Windows-style path texts on the host: the prefix that holds the drives,
// the mapping of a path text to a host path, and directory listings in the
// order a Windows volume gives them.
//
// The logic keeps paths as the program's tables write them ("c:\kvx\",
// application folder + "\data\"); every file operation maps its text here.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace platform {

// A removable medium mounted on the host.
struct Medium {
    QString mountPoint;
    QString fileSystem;  // as the mount table gives it: "vfat", "iso9660", ...
};

// Where removable media are mounted: /media and /run/media.
const QStringList& defaultMediaRoots();

// The media mounted below one of `roots`, from a mount table in the format
// of /proc/self/mounts, in the table's order.
QVector<Medium> mountedMedia(const QString& mountTable,
                             const QStringList& roots = defaultMediaRoots());

// The prefix, laid out like a Wine prefix: dosdevices/<letter>: links to the
// drives' folders, drive_c is drive C, workspace is the application folder.
class Prefix {
public:
    // $PAPERLENS_PREFIX, else ~/.local/share/paperlens.
    static QString defaultLocation();

    explicit Prefix(QString root);

    const QString& root() const { return root_; }
    // Creates what is missing: the prefix and its workspace with mode 0700,
    // drive_c with the c: link, and "Program Files/NPKI" linked to ~/NPKI
    // where that exists. False when the prefix cannot be made.
    [[nodiscard]] bool ensure() const;

    // The folder that holds every process's application folder, and the
    // trust configurations a user puts there.
    QString workspaceRoot() const;
    // The application folder as the logic writes it: a host path without a
    // trailing separator, to which "\data\" and the like are appended. It
    // is the running process's own folder once one is open (workspace.h),
    // the workspace root before.
    QString applicationFolder() const;
    void setApplicationFolder(const QString& hostFolder) { application_ = hostFolder; }
    // Where the smart-card export writes the card's signing pair.
    QString smartCardFolder() const;

    // The host path for a path text. "\" and "/" both separate; doubled
    // separators read as one. "x:\..." goes through dosdevices/x:. Below a
    // drive each existing component is found as Windows finds it: an exact
    // match first, then one that ignores letter case; a component that does
    // not exist is kept as written, so new files get the name given. "."
    // is skipped and ".." goes up, but never above the drive's folder.
    QString hostPath(const QString& text) const;
    // Maps a folder of a drive ("c:\kvx") onto a host folder: every path
    // text below it goes there instead. Letter case is ignored.
    void mapFolder(const QString& folderText, const QString& hostFolder);

    // The mount table the media are read from, and the folders below which
    // they are mounted: $PAPERLENS_MOUNT_TABLE (a file in the same format)
    // and $PAPERLENS_MEDIA_ROOTS (folders joined by ":") where they are
    // set, else /proc/self/mounts, /media and /run/media.
    void setMountTable(const QString& mountTable, const QStringList& mediaRoots) {
        mountTable_ = mountTable;
        mediaRoots_ = mediaRoots;
    }

    // Gives the media letters as Windows gives them: removable disks the
    // first free letters from a:, CD-ROMs (iso9660, udf) the first free
    // letters from d:. A letter with a dosdevices link is never free, and a
    // medium that a dosdevices link already names gets no letter of its
    // own. A medium keeps its letter while it stays in the list; one that
    // left frees its letter.
    void attachMedia(const QVector<Medium>& media) const;
    // The same for the media the mount table lists now: run before every
    // scan, so that media plugged in or pulled out are seen.
    void refreshMedia() const;
    // The host folder of a drive letter ("C" or "c"), or empty when the
    // drive does not exist. The folder may be missing or unreadable: a
    // drive without a disk.
    QString driveFolder(QChar letter) const;
    // The attached medium of a letter, if that is where it comes from.
    std::optional<Medium> attachedMedium(QChar letter) const;

private:
    QString root_;
    QString application_;
    QString mountTable_;
    QStringList mediaRoots_;
    // What the host has mounted, as of the last refresh: a cache of the
    // host's state, so refreshed on const prefixes too.
    mutable QMap<QChar, Medium> media_;  // by lower-case letter
    // Mapped folders: the upper-cased components of the text, drive
    // first, and the host folder.
    QVector<QPair<QStringList, QString>> mapped_;
};

// The names in a host folder, sorted as an NTFS volume lists them: by the
// upper-cased names, compared code unit by code unit. "." and ".." are not
// listed; `folders` and `files` choose the kinds; hidden entries (dot
// names) only when `hidden` is set. Names holding "\\" are never listed:
// in a path text that character separates, so such a name would lead
// elsewhere.
QStringList listDirectory(const QString& hostFolder, bool folders, bool files, bool hidden);

// The same listing, nothing when the folder exists but cannot be read. A
// folder that does not exist lists no names. Hidden entries are dot names
// and entries whose DOS attributes (the "user.DOSATTRIB" extended
// attribute, as Wine keeps them) say hidden or system; `hidden` lists them.
std::optional<QStringList> readDirectory(const QString& hostFolder, bool folders, bool files,
                                         bool hidden);

// The Windows order of two names.
bool windowsNameLess(const QString& a, const QString& b);

}  // namespace platform
