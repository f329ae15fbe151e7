// The recorded input format: [{"type": "MouseMove", "pos": [x, y]}, {"type": "Wait"}, ...].

#include "tools/cli/input_replay.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>

#include "engine/player.h"

namespace cli {

namespace {

// Recordings are small; anything far larger is not one.
constexpr qint64 kMaxFileBytes = 64 << 20;
constexpr qsizetype kMaxEvents = 1 << 20;

// The recording's names of keys, as the Qt keys the engine's key table reads.
const std::map<QString, int>& namedKeys() {
    static const std::map<QString, int> keys = {{"Backspace", Qt::Key_Backspace},
                                                {"Tab", Qt::Key_Tab},
                                                {"Enter", Qt::Key_Return},
                                                {"NumpadEnter", Qt::Key_Enter},
                                                {"LeftShift", Qt::Key_Shift},
                                                {"RightShift", Qt::Key_Shift},
                                                {"Shift", Qt::Key_Shift},
                                                {"LeftControl", Qt::Key_Control},
                                                {"RightControl", Qt::Key_Control},
                                                {"Control", Qt::Key_Control},
                                                {"LeftAlt", Qt::Key_Alt},
                                                {"RightAlt", Qt::Key_Alt},
                                                {"Alt", Qt::Key_Alt},
                                                {"Pause", Qt::Key_Pause},
                                                {"CapsLock", Qt::Key_CapsLock},
                                                {"Escape", Qt::Key_Escape},
                                                {"Space", Qt::Key_Space},
                                                {"PageUp", Qt::Key_PageUp},
                                                {"PageDown", Qt::Key_PageDown},
                                                {"End", Qt::Key_End},
                                                {"Home", Qt::Key_Home},
                                                {"ArrowLeft", Qt::Key_Left},
                                                {"ArrowUp", Qt::Key_Up},
                                                {"ArrowRight", Qt::Key_Right},
                                                {"ArrowDown", Qt::Key_Down},
                                                {"Insert", Qt::Key_Insert},
                                                {"Delete", Qt::Key_Delete},
                                                {"NumLock", Qt::Key_NumLock},
                                                {"ScrollLock", Qt::Key_ScrollLock}};
    return keys;
}

// Qt names a printable key by its character, upper-cased (Qt::Key_A is 'A', Key_Semicolon ';').
int charKey(char32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 'A');
    return c > ' ' && c < 0x7f ? static_cast<int>(c) : (c == ' ' ? Qt::Key_Space : 0);
}

char32_t firstChar(const QString& s) {
    const auto u = s.toUcs4();
    return u.isEmpty() ? 0 : u.front();
}

// A key as the recording names it: "Tab", {"Char": "a"}, {"Numpad": "1"}, {"F": 5}.
int keyCodeOf(const QJsonValue& key) {
    if (key.isString()) {
        const auto it = namedKeys().find(key.toString());
        return it != namedKeys().end() ? swf::flashKeyCode(it->second) : 0;
    }
    const QJsonObject o = key.toObject();
    if (o.contains("Char"))
        return swf::flashKeyCode(charKey(firstChar(o.value("Char").toString())));
    if (o.contains("Numpad"))
        return swf::flashKeyCode(charKey(firstChar(o.value("Numpad").toString())), true);
    if (o.contains("F")) {
        const int n = o.value("F").toInt();
        return n >= 1 && n <= 15 ? swf::flashKeyCode(Qt::Key_F1 + (n - 1)) : 0;
    }
    return 0;
}

// What a key types when no text event says so (keys without a character type 0).
char32_t keyCharacter(int code) {
    switch (code) {
        case 8:
            return 8;
        case 9:
            return 9;
        case 13:
            return 13;
        case 27:
            return 27;
        case 32:
            return 32;
        case 46:
            return 127;
        default:
            return 0;
    }
}

bool readPos(const QJsonObject& o, swf::InputEvent& e) {
    const QJsonArray pos = o.value("pos").toArray();
    if (pos.size() != 2 || !pos[0].isDouble() || !pos[1].isDouble()) return false;
    e.x = std::clamp(pos[0].toDouble(), -1e7, 1e7);
    e.y = std::clamp(pos[1].toDouble(), -1e7, 1e7);
    const QString btn = o.value("btn").toString("Left");
    e.button = btn == "Right" ? 2 : btn == "Middle" ? 4 : 1;
    return true;
}

swf::TextCommand commandOf(const std::string& name, bool& ok) {
    using C = swf::TextCommand;
    static const std::map<std::string, C> names = {{"Enter", C::Enter},
                                                   {"Backspace", C::Backspace},
                                                   {"Delete", C::Delete},
                                                   {"MoveLeft", C::MoveLeft},
                                                   {"MoveRight", C::MoveRight},
                                                   {"MoveLeftLine", C::LineStart},
                                                   {"MoveRightLine", C::LineEnd},
                                                   {"SelectAll", C::SelectAll},
                                                   {"Copy", C::Copy},
                                                   {"Cut", C::Cut},
                                                   {"Paste", C::Paste}};
    const auto it = names.find(name);
    ok = it != names.end();
    return ok ? it->second : C::Enter;
}

}  // namespace

std::optional<std::vector<InputEvent>> readInputEvents(const std::string& path,
                                                       std::string& error) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) {
        error = "cannot read";
        return std::nullopt;
    }
    if (f.size() > kMaxFileBytes) {
        error = "too large for a recording";
        return std::nullopt;
    }
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isArray()) {
        error = pe.error != QJsonParseError::NoError ? pe.errorString().toStdString()
                                                     : "not a list of events";
        return std::nullopt;
    }
    const QJsonArray list = doc.array();
    if (list.size() > kMaxEvents) {
        error = "too many events";
        return std::nullopt;
    }
    std::vector<InputEvent> out;
    out.reserve(static_cast<size_t>(list.size()));
    using T = swf::InputEvent::Type;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject o = list[i].toObject();
        const QString type = o.value("type").toString();
        InputEvent r;
        swf::InputEvent& e = r.event;
        bool ok = true;
        if (type == "MouseMove" || type == "MouseDown" || type == "MouseUp") {
            e.type = type == "MouseMove"   ? T::MouseMove
                     : type == "MouseDown" ? T::MouseDown
                                           : T::MouseUp;
            ok = readPos(o, e);
        } else if (type == "KeyDown" || type == "KeyUp") {
            e = type == "KeyDown" ? swf::InputEvent::keyDown(keyCodeOf(o.value("key")))
                                  : swf::InputEvent::keyUp(keyCodeOf(o.value("key")));
            e.character = keyCharacter(e.keyCode);
        } else if (type == "TextInput") {
            const char32_t c = firstChar(o.value("codepoint").toString());
            e = swf::InputEvent::typed(c ? std::u32string(1, c) : std::u32string());
        } else if (type == "ImePreedit") {
            e.type = T::Compose;
            e.text = o.value("text").toString().toStdU32String();
        } else if (type == "TextControl") {
            e = swf::InputEvent::edit(commandOf(o.value("code").toString().toStdString(), ok));
        } else if (type == "SetClipboardText") {
            e = swf::InputEvent::clipboardText(o.value("text").toString().toStdString());
        } else if (type == "FocusLost" || type == "FocusGained") {
            e = swf::InputEvent::focus(type == "FocusGained");
        } else if (type == "Wait") {
            r.wait = true;
        } else {
            continue;  // kinds this player has no use for
        }
        if (!ok) {
            error = "event " + std::to_string(i) + " (" + type.toStdString() + ") is malformed";
            return std::nullopt;
        }
        out.push_back(std::move(r));
    }
    // A key's character is the text it typed right after it.
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        swf::InputEvent& key = out[i].event;
        const swf::InputEvent& next = out[i + 1].event;
        if (!out[i].wait && key.type == T::KeyDown && !out[i + 1].wait && next.type == T::Text &&
            !next.text.empty())
            key.character = next.text.front();
    }
    return out;
}

size_t deliverInput(swf::Player& player, const std::vector<InputEvent>& events, size_t from,
                    const QRect& viewport, swf::ScaleMode mode) {
    for (; from < events.size(); ++from) {
        if (events[from].wait) return from + 1;
        swf::InputEvent e = events[from].event;
        // Where the window's point falls on the stage.
        const QPointF at = player.stagePoint(viewport, mode, QPointF(e.x, e.y));
        e.windowX = e.x;
        e.windowY = e.y;
        const double across = player.stagePoint(viewport, mode, QPointF(e.x + 1, e.y)).x() - at.x();
        if (across > 0) e.windowScale = 1 / across;
        e.x = at.x();
        e.y = at.y();
        player.handleEvent(e);
    }
    return from;
}

}  // namespace cli
