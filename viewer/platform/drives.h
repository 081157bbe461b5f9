// The drives of the prefix as the file-system object reports them: which
// letters exist, whether a disk is in them, and their types.
#pragma once

#include "hostpaths.h"
#include "registry.h"

namespace platform {

// Drive types as the file-system object numbers them.
enum DriveType : int {
    kDriveUnknown = 0,
    kDriveRemovable = 1,
    kDriveFixed = 2,
    kDriveNetwork = 3,
    kDriveCdRom = 4,
};

// A snapshot of the drives: types come from <prefix>/system.reg, key
// "Software\Wine\Drives" (values "a:"="floppy", "d:"="cdrom", ...); a
// drive without an entry is a fixed disk, an attached medium is a CD-ROM
// when it holds iso9660 or udf and removable otherwise.
class Drives {
public:
    explicit Drives(const Prefix& prefix);

    bool exists(QChar letter) const;
    // The drive exists and its folder can be read: a disk is in it.
    bool ready(QChar letter) const;
    int type(QChar letter) const;

private:
    const Prefix& prefix_;
    // system.reg is read when a type is first asked for.
    mutable std::optional<Registry> machine_;
};

}  // namespace platform
