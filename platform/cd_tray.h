#pragma once
// The CD tray, opened and closed through the drive's own ioctls.

#include <QString>

namespace lanfeng {

// The drive: LANFENG_CD_DEVICE when set, else /dev/cdrom, else /dev/sr0.
QString cdDevice();
// Opens (eject) or closes the tray. Without a drive, or when it refuses, nothing happens;
// the result only tells whether the drive took the request.
bool setCdTrayOpen(bool open);

}  // namespace lanfeng
