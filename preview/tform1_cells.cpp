// A grid cell's own commands and its context menu: play it, stop it, open it in the single
// view at its frame, and how its movie is scaled to the cell.
#include "app/forms.h"
#include "panel/tform2.h"
#include "ui/skin_menu.h"
#include "video/tform1.h"

namespace {

using Handler = void (Tform1::*)();

// One cell's menu: its name, then each item's name and handler in menu order ("播放此曲",
// "停止此曲", "单屏播放", then the four of "显示方式" under the submenu's name).
struct CellMenuNames {
    const char* menu;
    struct Item {
        const char* name;
        Handler handler;
    };
    Item play, stop, single;
    const char* display;
    Item scales[4];
};

const CellMenuNames kCellMenus[9] = {
    {"PopupMenu01",
     {"N6", &Tform1::N6Click},
     {"N10", &Tform1::N10Click},
     {"N9", &Tform1::N9Click},
     "N31",
     {{"N32", &Tform1::N32Click},
      {"N33", &Tform1::N33Click},
      {"N34", &Tform1::N34Click},
      {"N35", &Tform1::N35Click}}},
    {"PopupMenu02",
     {"MenuItem1", &Tform1::MenuItem1Click},
     {"N20", &Tform1::N20Click},
     {"MenuItem2", &Tform1::MenuItem2Click},
     "N36",
     {{"ShowAll2", &Tform1::ShowAll2Click},
      {"NoBorder2", &Tform1::NoBorder2Click},
      {"ExactFit2", &Tform1::ExactFit2Click},
      {"NoScale2", &Tform1::NoScale2Click}}},
    {"PopupMenu03",
     {"MenuItem3", &Tform1::MenuItem3Click},
     {"N21", &Tform1::N21Click},
     {"MenuItem4", &Tform1::MenuItem4Click},
     "N37",
     {{"S1", &Tform1::S1Click},
      {"NoBorder3", &Tform1::NoBorder3Click},
      {"ExactFit3", &Tform1::ExactFit3Click},
      {"NoScale3", &Tform1::NoScale3Click}}},
    {"PopupMenu04",
     {"MenuItem5", &Tform1::MenuItem5Click},
     {"N22", &Tform1::N22Click},
     {"MenuItem6", &Tform1::MenuItem6Click},
     "N38",
     {{"ShowAll3", &Tform1::ShowAll3Click},
      {"NoBorder4", &Tform1::NoBorder4Click},
      {"ExactFit4", &Tform1::ExactFit4Click},
      {"NoScale4", &Tform1::NoScale4Click}}},
    {"PopupMenu05",
     {"MenuItem7", &Tform1::MenuItem7Click},
     {"N23", &Tform1::N23Click},
     {"MenuItem8", &Tform1::MenuItem8Click},
     "N39",
     {{"ShowAll4", &Tform1::ShowAll4Click},
      {"NoBorder5", &Tform1::NoBorder5Click},
      {"ExactFil1", &Tform1::ExactFil1Click},
      {"NoScale5", &Tform1::NoScale5Click}}},
    {"PopupMenu06",
     {"MenuItem9", &Tform1::MenuItem9Click},
     {"N24", &Tform1::N24Click},
     {"MenuItem10", &Tform1::MenuItem10Click},
     "N40",
     {{"ShowAll5", &Tform1::ShowAll5Click},
      {"NoBorder6", &Tform1::NoBorder6Click},
      {"ExactFit5", &Tform1::ExactFit5Click},
      {"NoScale6", &Tform1::NoScale6Click}}},
    {"PopupMenu07",
     {"MenuItem11", &Tform1::MenuItem11Click},
     {"N25", &Tform1::N25Click},
     {"MenuItem12", &Tform1::MenuItem12Click},
     "N41",
     {{"ShowAll6", &Tform1::ShowAll6Click},
      {"NoBorder7", &Tform1::NoBorder7Click},
      {"ExactFit6", &Tform1::ExactFit6Click},
      {"NoScale7", &Tform1::NoScale7Click}}},
    {"PopupMenu08",
     {"MenuItem13", &Tform1::MenuItem13Click},
     {"N26", &Tform1::N26Click},
     {"MenuItem14", &Tform1::MenuItem14Click},
     "N42",
     {{"ShowAll7", &Tform1::ShowAll7Click},
      {"NoBorder8", &Tform1::NoBorder8Click},
      {"ExactFit7", &Tform1::ExactFit7Click},
      {"NoScale8", &Tform1::NoScale8Click}}},
    {"PopupMenu09",
     {"MenuItem15", &Tform1::MenuItem15Click},
     {"N27", &Tform1::N27Click},
     {"MenuItem16", &Tform1::MenuItem16Click},
     "N43",
     {{"ShowAll8", &Tform1::ShowAll8Click},
      {"NoBorder9", &Tform1::NoBorder9Click},
      {"ExactFit8", &Tform1::ExactFit8Click},
      {"NoScale9", &Tform1::NoScale9Click}}},
};

const char* const kScaleCaptions[4] = {"ShowAll", "NoBorder", "ExactFit", "NoScale"};
// What each item hands the player; the first cell's menu was made apart from the other eight.
const char* const kFirstCellScales[4] = {"showall", "NoBorder", "ExactFit", "NoScale"};
const char* const kCellScales[4] = {"Showall", "Noborder", "ExactFit", "Noscale"};

}  // namespace

void Tform1::buildCellMenus() {
    Button1 = new QPushButton(QStringLiteral("虚按，隐九格"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &Tform1::Button1Click);

    for (int n = 1; n <= 9; ++n) {
        const CellMenuNames& names = kCellMenus[n - 1];
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(names.menu));
        menu->setStyleSheet(QString::fromLatin1(lanfeng::kSkinMenuStyle));
        const auto add = [this](QMenu* to, const CellMenuNames::Item& item, const char* caption) {
            bindItem(lanfeng::menuItem(to, item.name, caption), this,
                     [this, handler = item.handler] { (this->*handler)(); });
        };
        add(menu, names.play, "播放此曲");
        add(menu, names.stop, "停止此曲");
        add(menu, names.single, "单屏播放");
        QMenu* display = menu->addMenu(QStringLiteral("显示方式"));
        display->setObjectName(QString::fromLatin1(names.display));
        display->menuAction()->setObjectName(QString::fromLatin1(names.display));
        display->setStyleSheet(QString::fromLatin1(lanfeng::kSkinMenuStyle));
        for (int i = 0; i < 4; ++i) add(display, names.scales[i], kScaleCaptions[i]);
        cellMenus[n - 1] = menu;
    }
}

void Tform1::cellPlay(int n) { gridCells[n - 1]->Play(); }

void Tform1::cellStop(int n) { gridCells[n - 1]->Stop(); }

void Tform1::cellSingleScreen(int n) {
    PlayerControl* cell = gridCells[n - 1];
    ShockwaveFlash1->BGColor(QString());
    ShockwaveFlash1->Movie(cell->Movie());
    ShockwaveFlash1->GotoFrame(cell->CurrentFrame());
    ToolBar2->hide();
    if (Form2) Form2->Timer1.start();
    Button1->click();
}

void Tform1::cellScale(int n, const QString& mode) { gridCells[n - 1]->Scale(mode); }

namespace {
QString scaleOf(int n, int item) {
    return QString::fromLatin1(n == 1 ? kFirstCellScales[item] : kCellScales[item]);
}
}  // namespace

void Tform1::N6Click() { cellPlay(1); }
void Tform1::N10Click() { cellStop(1); }
void Tform1::N9Click() { cellSingleScreen(1); }
void Tform1::N32Click() { cellScale(1, scaleOf(1, 0)); }
void Tform1::N33Click() { cellScale(1, scaleOf(1, 1)); }
void Tform1::N34Click() { cellScale(1, scaleOf(1, 2)); }
void Tform1::N35Click() { cellScale(1, scaleOf(1, 3)); }

void Tform1::MenuItem1Click() { cellPlay(2); }
void Tform1::N20Click() { cellStop(2); }
void Tform1::MenuItem2Click() { cellSingleScreen(2); }
void Tform1::ShowAll2Click() { cellScale(2, scaleOf(2, 0)); }
void Tform1::NoBorder2Click() { cellScale(2, scaleOf(2, 1)); }
void Tform1::ExactFit2Click() { cellScale(2, scaleOf(2, 2)); }
void Tform1::NoScale2Click() { cellScale(2, scaleOf(2, 3)); }

void Tform1::MenuItem3Click() { cellPlay(3); }
void Tform1::N21Click() { cellStop(3); }
void Tform1::MenuItem4Click() { cellSingleScreen(3); }
void Tform1::S1Click() { cellScale(3, scaleOf(3, 0)); }
void Tform1::NoBorder3Click() { cellScale(3, scaleOf(3, 1)); }
void Tform1::ExactFit3Click() { cellScale(3, scaleOf(3, 2)); }
void Tform1::NoScale3Click() { cellScale(3, scaleOf(3, 3)); }

void Tform1::MenuItem5Click() { cellPlay(4); }
void Tform1::N22Click() { cellStop(4); }
void Tform1::MenuItem6Click() { cellSingleScreen(4); }
void Tform1::ShowAll3Click() { cellScale(4, scaleOf(4, 0)); }
void Tform1::NoBorder4Click() { cellScale(4, scaleOf(4, 1)); }
void Tform1::ExactFit4Click() { cellScale(4, scaleOf(4, 2)); }
void Tform1::NoScale4Click() { cellScale(4, scaleOf(4, 3)); }

void Tform1::MenuItem7Click() { cellPlay(5); }
void Tform1::N23Click() { cellStop(5); }
void Tform1::MenuItem8Click() { cellSingleScreen(5); }
void Tform1::ShowAll4Click() { cellScale(5, scaleOf(5, 0)); }
void Tform1::NoBorder5Click() { cellScale(5, scaleOf(5, 1)); }
void Tform1::ExactFil1Click() { cellScale(5, scaleOf(5, 2)); }
void Tform1::NoScale5Click() { cellScale(5, scaleOf(5, 3)); }

void Tform1::MenuItem9Click() { cellPlay(6); }
void Tform1::N24Click() { cellStop(6); }
void Tform1::MenuItem10Click() { cellSingleScreen(6); }
void Tform1::ShowAll5Click() { cellScale(6, scaleOf(6, 0)); }
void Tform1::NoBorder6Click() { cellScale(6, scaleOf(6, 1)); }
void Tform1::ExactFit5Click() { cellScale(6, scaleOf(6, 2)); }
void Tform1::NoScale6Click() { cellScale(6, scaleOf(6, 3)); }

void Tform1::MenuItem11Click() { cellPlay(7); }
void Tform1::N25Click() { cellStop(7); }
void Tform1::MenuItem12Click() { cellSingleScreen(7); }
void Tform1::ShowAll6Click() { cellScale(7, scaleOf(7, 0)); }
void Tform1::NoBorder7Click() { cellScale(7, scaleOf(7, 1)); }
void Tform1::ExactFit6Click() { cellScale(7, scaleOf(7, 2)); }
void Tform1::NoScale7Click() { cellScale(7, scaleOf(7, 3)); }

void Tform1::MenuItem13Click() { cellPlay(8); }
void Tform1::N26Click() { cellStop(8); }
void Tform1::MenuItem14Click() { cellSingleScreen(8); }
void Tform1::ShowAll7Click() { cellScale(8, scaleOf(8, 0)); }
void Tform1::NoBorder8Click() { cellScale(8, scaleOf(8, 1)); }
void Tform1::ExactFit7Click() { cellScale(8, scaleOf(8, 2)); }
void Tform1::NoScale8Click() { cellScale(8, scaleOf(8, 3)); }

void Tform1::MenuItem15Click() { cellPlay(9); }
void Tform1::N27Click() { cellStop(9); }
void Tform1::MenuItem16Click() { cellSingleScreen(9); }
void Tform1::ShowAll8Click() { cellScale(9, scaleOf(9, 0)); }
void Tform1::NoBorder9Click() { cellScale(9, scaleOf(9, 1)); }
void Tform1::ExactFit8Click() { cellScale(9, scaleOf(9, 2)); }
void Tform1::NoScale9Click() { cellScale(9, scaleOf(9, 3)); }
