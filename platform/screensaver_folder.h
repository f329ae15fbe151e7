#pragma once
// Where this user's screen savers are installed: the place of the original platform's system
// folder for them.

#include <QString>

namespace lanfeng {

// The folder; whoever writes there creates it when missing. LANFENG_SCREENSAVER_DIR overrides
// it.
QString screenSaverFolder();

}  // namespace lanfeng
