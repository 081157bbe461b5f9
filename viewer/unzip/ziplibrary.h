// Our zip library, on libzip, in place of the outside UnZip library: one
// extraction call with an option record and a callback record.
//
// Results (nonzero for every failure; where several members fail, the
// first failure's number is returned and the other members are still
// extracted):
//    0  every member extracted (or listed)
//    1  a member was refused: its name would leave the extraction folder
//       (absolute path, drive letter, ".." component) or it is a link
//    3  the archive or a member is damaged
//    4  the archive is over a limit below: nothing of it, or nothing after
//       the member that went over, is extracted
//    9  the file is no zip archive, or it cannot be opened
//   50  a file or folder cannot be written
//   80  the service callback asked to stop
//   82  an encrypted member was skipped: no password, or a wrong one
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace unzip {

enum Result : int32_t {
    kOk = 0,
    kMemberRefused = 1,
    kDamaged = 3,
    kOverLimit = 4,
    kNotAZip = 9,
    kWriteFailed = 50,
    kStopped = 80,
    kBadPassword = 82,
};

// The limits of one extraction. Forms hold two members of some megabytes;
// a bomb (a small archive that unpacks to gigabytes) is refused before its
// bytes reach the disk. The ratio holds for members of more than
// kRatioFloor bytes, and is above what deflate can reach at all, so that
// only other methods (bzip2, xz, ...) can exceed it.
constexpr qint64 kMaxMembers = 1000;
constexpr qint64 kMaxTotalSize = qint64{512} << 20;
constexpr qint64 kMaxRatio = 2000;
constexpr qint64 kRatioFloor = qint64{1} << 20;

// Answers of the replace callback.
constexpr int kReplaceNo = 100;
constexpr int kReplaceYes = 102;
constexpr int kReplaceNone = 104;
// Answers of the password callback.
constexpr int kPasswordSupplied = 0;
constexpr int kPasswordNone = 1;
// The password buffer the library hands to the callback.
constexpr int kPasswordBufferSize = 256;
// How often one member's password is asked before the member is skipped.
constexpr int kPasswordTries = 3;

struct OptionRecord {
    int32_t extractOnlyNewer = 0;
    int32_t spaceToUnderscore = 0;
    int32_t promptToOverwrite = 0;
    int32_t quiet = 0;
    int32_t writeToStdout = 0;
    int32_t testOnly = 0;
    int32_t listOnly = 0;
    int32_t freshenOnly = 0;
    int32_t displayComment = 0;
    int32_t keepFolders = 0;
    int32_t overwriteAlways = 0;
    int32_t convertLineEnds = 0;
    int32_t verbose = 0;
    int32_t ignoreCase = 0;
    int32_t restoreSecurity = 0;
    QString archive;  // host paths
    QString folder;
};

struct CallbackRecord {
    std::function<int(const QString& text)> print;
    std::function<int(const QString& existingFile)> replace;
    std::function<int(char* buffer, int size, const QString& prompt, const QString& member)>
        password;
    std::function<void(const QString& member, qint64 size)> message;
    std::function<int(const QString& member, qint64 size)> service;
    // Filled by the library.
    uint32_t totalCompressed = 0;
    uint32_t totalSize = 0;
    uint32_t compressionFactor = 0;
    uint32_t memberCount = 0;
    uint16_t commentLength = 0;
};

// Extracts (or lists) the members of options.archive into options.folder,
// in the archive's order. Empty include names mean all members; exclude
// names are skipped. Member names are read as a Windows file system reads
// them: "\\" separates, "." and empty components are dropped, and names
// that differ only in letter case are one file (the second raises the
// overwrite question and lands under the first one's name).
[[nodiscard]] int32_t singleEntryUnzip(const QStringList& include, const QStringList& exclude,
                                       const OptionRecord& options, CallbackRecord& callbacks);

}  // namespace unzip
