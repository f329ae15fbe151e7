#pragma once
// Context menus of the skinned windows: one look, and items named after their designer names
// so other windows can find them.

#include <QAction>
#include <QMenu>

namespace lanfeng {

inline const char* const kSkinMenuStyle = R"(
QMenu { background: #1c2228; color: white; border: 1px solid black; padding: 2px; }
QMenu::item { padding: 3px 22px 3px 24px; background: transparent; }
QMenu::item:selected { background: #2a4a1c; color: #9cff3c; }
QMenu::item:disabled { color: #5c6a77; }
QMenu::separator { height: 1px; background: #3a4652; margin: 3px 6px; }
QMenu::indicator { width: 12px; height: 12px; left: 6px; }
QMenu::indicator:checked { image: url(:/skin/tick.png); }
QMenu::right-arrow { image: url(:/skin/glyph_play.png); width: 10px; height: 10px; }
)";

inline QAction* menuItem(QMenu* menu, const char* name, const char* caption,
                         bool checkable = false) {
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(checkable);
    return item;
}

inline QAction* separator(QMenu* menu, const char* name) {
    QAction* item = menu->addSeparator();
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

}  // namespace lanfeng
