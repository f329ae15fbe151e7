#include "engine/runtime/input_event.h"

#include <Qt>
#include <algorithm>
#include <iterator>
#include <utility>

namespace swf {

int flashKeyCode(int k, bool keypad) {
    if (keypad) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9) return 96 + (k - Qt::Key_0);
        switch (k) {
            case Qt::Key_Asterisk:
                return 106;
            case Qt::Key_Plus:
                return 107;
            case Qt::Key_Minus:
                return 109;
            case Qt::Key_Period:
            case Qt::Key_Comma:  // the keypad's decimal key in many layouts
                return 110;
            case Qt::Key_Slash:
                return 111;
            default:
                break;  // keypad Enter, arrows, Home ... have their main keys' codes
        }
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;  // 65..90 in both
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return k;  // 48..57
    if (k >= Qt::Key_F1 && k <= Qt::Key_F15) return 112 + (k - Qt::Key_F1);
    // Shifted symbols give the code of the key that carries them.
    static constexpr std::pair<int, int> kTable[] = {
        {Qt::Key_Backspace, 8},    {Qt::Key_Tab, 9},
        {Qt::Key_Backtab, 9},      {Qt::Key_Return, 13},
        {Qt::Key_Enter, 13},       {Qt::Key_Shift, 16},
        {Qt::Key_Control, 17},     {Qt::Key_Alt, 18},
        {Qt::Key_AltGr, 18},       {Qt::Key_Pause, 19},
        {Qt::Key_CapsLock, 20},    {Qt::Key_Escape, 27},
        {Qt::Key_Space, 32},       {Qt::Key_PageUp, 33},
        {Qt::Key_PageDown, 34},    {Qt::Key_End, 35},
        {Qt::Key_Home, 36},        {Qt::Key_Left, 37},
        {Qt::Key_Up, 38},          {Qt::Key_Right, 39},
        {Qt::Key_Down, 40},        {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},      {Qt::Key_NumLock, 144},
        {Qt::Key_ScrollLock, 145}, {Qt::Key_Semicolon, 186},
        {Qt::Key_Colon, 186},      {Qt::Key_Equal, 187},
        {Qt::Key_Plus, 187},       {Qt::Key_Comma, 188},
        {Qt::Key_Less, 188},       {Qt::Key_Minus, 189},
        {Qt::Key_Underscore, 189}, {Qt::Key_Period, 190},
        {Qt::Key_Greater, 190},    {Qt::Key_Slash, 191},
        {Qt::Key_Question, 191},   {Qt::Key_QuoteLeft, 192},
        {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219},
        {Qt::Key_BraceLeft, 219},  {Qt::Key_Backslash, 220},
        {Qt::Key_Bar, 220},        {Qt::Key_BracketRight, 221},
        {Qt::Key_BraceRight, 221}, {Qt::Key_Apostrophe, 222},
        {Qt::Key_QuoteDbl, 222},   {Qt::Key_ParenRight, 48},
        {Qt::Key_Exclam, 49},      {Qt::Key_At, 50},
        {Qt::Key_NumberSign, 51},  {Qt::Key_Dollar, 52},
        {Qt::Key_Percent, 53},     {Qt::Key_AsciiCircum, 54},
        {Qt::Key_Ampersand, 55},   {Qt::Key_Asterisk, 56},
        {Qt::Key_ParenLeft, 57},   {Qt::Key_Menu, 93},
        {Qt::Key_Meta, 91},
    };
    const auto* it = std::find_if(std::begin(kTable), std::end(kTable),
                                  [k](const auto& e) { return e.first == k; });
    return it != std::end(kTable) ? it->second : 0;
}

}  // namespace swf
