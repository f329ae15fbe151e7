#include "banner/tform5.h"

#include <QFileInfo>
#include <QSettings>

#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "player/player_control.h"
#include "video/tform1.h"

namespace lanfeng {

namespace {
const QString kCounterKey = QStringLiteral("form5/ad");
}

BannerCountdown bannerCountdown(int counter) {
    if (counter == 0) return {false, std::nullopt};
    if (counter > 0) return {true, counter - 1};
    return {};
}

QString configFilePath() { return programDir() + QStringLiteral("bin/lfflash.ini"); }

int readStartCounter(const QString& file) {
    if (!QFileInfo(file).isFile()) return 0;
    const QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return 0;
    bool ok = false;
    const int value = settings.value(kCounterKey, 0).toInt(&ok);
    return ok ? value : 0;
}

void writeStartCounter(const QString& file, int value) {
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(kCounterKey, value);
    settings.sync();
}

}  // namespace lanfeng

namespace {
PlayerControl* bannerPlayer(QWidget* parent, const char* name, QRect bounds) {
    auto* player = new PlayerControl(parent);
    player->setObjectName(QString::fromLatin1(name));
    player->setGeometry(bounds);
    // No movie, ever: the banner's movies were remote, and this program reaches no network.
    player->runWhileHidden = false;
    return player;
}
}  // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form5"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(719, 63);
    ShockwaveFlash2 = bannerPlayer(this, "ShockwaveFlash2", {2, 2, 468, 60});
    ShockwaveFlash1 = bannerPlayer(this, "ShockwaveFlash1", {480, 2, 217, 65});
}

void TForm5::FormCreate() {
    if (Form2 && Form1)
        setGeometry(Form2->x(), Form2->y() - height(), Form1->width() + Form2->width(), height());
    const QString file = lanfeng::configFilePath();
    const lanfeng::BannerCountdown step = lanfeng::bannerCountdown(lanfeng::readStartCounter(file));
    if (step.tick && Form2) Form2->N17->setChecked(*step.tick);
    if (step.write) lanfeng::writeStartCounter(file, *step.write);
}

void TForm5::FormClose() {}
