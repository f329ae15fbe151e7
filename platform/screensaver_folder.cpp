#include "platform/screensaver_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace lanfeng {

QString screenSaverFolder() {
    const QByteArray env = qgetenv("LANFENG_SCREENSAVER_DIR");
    if (!env.isEmpty()) return QDir::cleanPath(QString::fromLocal8Bit(env));
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/screensavers");
}

}  // namespace lanfeng
