#include "locations.h"

#include "registryexport.h"

namespace certificates {

void listLocation(Location location, CertificateScans& scans, CertificateList& list) {
    // Sticks and CDs plugged in or pulled out since the last scan.
    list.prefix.refreshMedia();
    switch (location) {
        case Location::HardDisk:
            exportRegistryCerts(list.prefix);
            list.clearCertification();
            scans.scanDiskCerts();
            scans.readOTRX(0);
            break;
        case Location::Floppy:
            list.clearCertification();
            scans.scanFloppyCerts();
            break;
        case Location::CdRom:
            list.clearCertification();
            scans.readOTRX(-1);
            break;
    }
}

}  // namespace certificates
