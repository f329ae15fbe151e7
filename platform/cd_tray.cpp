#include "platform/cd_tray.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFileInfo>

namespace lanfeng {

QString cdDevice() {
    const QByteArray env = qgetenv("LANFENG_CD_DEVICE");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    for (const char* candidate : {"/dev/cdrom", "/dev/sr0"})
        if (QFileInfo::exists(QString::fromLatin1(candidate)))
            return QString::fromLatin1(candidate);
    return {};
}

bool setCdTrayOpen(bool open) {
    const QString device = cdDevice();
    if (device.isEmpty()) return false;
    // Non-blocking: a drive without a disc must still open, and never make us wait.
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    const bool done = ::ioctl(fd, open ? CDROMEJECT : CDROMCLOSETRAY, 0) == 0;
    ::close(fd);
    return done;
}

}  // namespace lanfeng
