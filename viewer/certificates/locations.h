// What the certificate dialog runs for each location the user picks.
#pragma once

#include "scans.h"

namespace certificates {

enum class Location { HardDisk, Floppy, CdRom };

// Hard disk: the registry export, then the folders of drive c: and the
// class-2 sets of the fixed disks. Floppy: the folders of a: and its
// class-2 sets. CD: the class-2 sets of the CD-ROM drives. The mount table
// is read afresh and the list cleared first, in each case.
void listLocation(Location location, CertificateScans& scans, CertificateList& list);

}  // namespace certificates
