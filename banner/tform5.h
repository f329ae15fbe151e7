#pragma once
// The banner strip above the docked panel and video window. It is never shown and its two
// players are given no movie; creating it counts the program's starts down in lfflash.ini.

#include <QString>
#include <QWidget>
#include <optional>

class PlayerControl;

namespace lanfeng {

// What one start does with the counter read: the hidden "关闭广告" item's tick to set (none:
// leave it) and the value to write back (none: write nothing).
struct BannerCountdown {
    std::optional<bool> tick;
    std::optional<int> write;
};
BannerCountdown bannerCountdown(int counter);

// The configuration file, program directory + "bin/lfflash.ini".
QString configFilePath();
// [form5] ad; 0 when the file, the section or the key is missing or the file cannot be read.
int readStartCounter(const QString& file);
// Writes [form5] ad, keeping the file's other keys.
void writeStartCounter(const QString& file, int value);

}  // namespace lanfeng

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    // Places the strip over the docked pair and counts this start.
    void FormCreate();
    void FormClose();

    PlayerControl* ShockwaveFlash2;
    PlayerControl* ShockwaveFlash1;
};
