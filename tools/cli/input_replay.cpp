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

// Flash key codes of named keys (Key.getCode).
const std::map<QString, int>& namedKeys() {
    static const std::map<QString, int> keys = {
        {"Backspace", 8},     {"Tab", 9},         {"Enter", 13},    {"NumpadEnter", 13},
        {"LeftShift", 16},    {"RightShift", 16}, {"Shift", 16},    {"LeftControl", 17},
        {"RightControl", 17}, {"Control", 17},    {"LeftAlt", 18},  {"RightAlt", 18},
        {"Alt", 18},          {"Pause", 19},      {"CapsLock", 20}, {"Escape", 27},
        {"Space", 32},        {"PageUp", 33},     {"PageDown", 34}, {"End", 35},
        {"Home", 36},         {"ArrowLeft", 37},  {"ArrowUp", 38},  {"ArrowRight", 39},
        {"ArrowDown", 40},    {"Insert", 45},     {"Delete", 46},   {"NumLock", 144},
        {"ScrollLock", 145}};
    return keys;
}

// The key code of a printable key, as the US keyboard places it.
int charKey(char32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<int>(c);
    switch (c) {
        case ' ':
            return 32;
        case ';':
        case ':':
            return 186;
        case '=':
        case '+':
            return 187;
        case ',':
        case '<':
            return 188;
        case '-':
        case '_':
            return 189;
        case '.':
        case '>':
            return 190;
        case '/':
        case '?':
            return 191;
        case '`':
        case '~':
            return 192;
        case '[':
        case '{':
            return 219;
        case '\\':
        case '|':
            return 220;
        case ']':
        case '}':
            return 221;
        case '\'':
        case '"':
            return 222;
        case ')':
            return '0';
        case '!':
            return '1';
        case '@':
            return '2';
        case '#':
            return '3';
        case '$':
            return '4';
        case '%':
            return '5';
        case '^':
            return '6';
        case '&':
            return '7';
        case '*':
            return '8';
        case '(':
            return '9';
        default:
            return 0;
    }
}

char32_t firstChar(const QString& s) {
    const auto u = s.toUcs4();
    return u.isEmpty() ? 0 : u.front();
}

// A key as the recording names it: "Tab", {"Char": "a"}, {"Numpad": "1"}, {"F": 5}.
int keyCodeOf(const QJsonValue& key) {
    if (key.isString()) {
        const auto it = namedKeys().find(key.toString());
        return it != namedKeys().end() ? it->second : 0;
    }
    const QJsonObject o = key.toObject();
    if (o.contains("Char")) return charKey(firstChar(o.value("Char").toString()));
    if (o.contains("Numpad")) {
        const char32_t c = firstChar(o.value("Numpad").toString());
        if (c >= '0' && c <= '9') return static_cast<int>(96 + (c - '0'));
        switch (c) {
            case '*':
                return 106;
            case '+':
                return 107;
            case '-':
                return 109;
            case '.':
                return 110;
            case '/':
                return 111;
            default:
                return 0;
        }
    }
    if (o.contains("F")) {
        const int n = o.value("F").toInt();
        return n >= 1 && n <= 15 ? 111 + n : 0;
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

bool readPos(const QJsonObject& o, InputEvent& e) {
    const QJsonArray pos = o.value("pos").toArray();
    if (pos.size() != 2 || !pos[0].isDouble() || !pos[1].isDouble()) return false;
    e.x = std::clamp(pos[0].toDouble(), -1e7, 1e7);
    e.y = std::clamp(pos[1].toDouble(), -1e7, 1e7);
    const QString btn = o.value("btn").toString("Left");
    e.leftButton = btn == "Left";
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
    using K = InputEvent::Kind;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject o = list[i].toObject();
        const QString type = o.value("type").toString();
        InputEvent e;
        bool ok = true;
        if (type == "MouseMove" || type == "MouseDown" || type == "MouseUp") {
            e.kind = type == "MouseMove"   ? K::MouseMove
                     : type == "MouseDown" ? K::MouseDown
                                           : K::MouseUp;
            ok = readPos(o, e);
        } else if (type == "KeyDown" || type == "KeyUp") {
            e.kind = type == "KeyDown" ? K::KeyDown : K::KeyUp;
            e.keyCode = keyCodeOf(o.value("key"));
            e.character = keyCharacter(e.keyCode);
        } else if (type == "TextInput") {
            e.kind = K::Text;
            e.character = firstChar(o.value("codepoint").toString());
        } else if (type == "TextControl") {
            e.kind = K::TextControl;
            e.text = o.value("code").toString().toStdString();
            commandOf(e.text, ok);
        } else if (type == "SetClipboardText") {
            e.kind = K::Clipboard;
            e.text = o.value("text").toString().toStdString();
        } else if (type == "FocusLost" || type == "FocusGained") {
            e.kind = type == "FocusLost" ? K::FocusLost : K::FocusGained;
        } else if (type == "Wait") {
            e.kind = K::Wait;
        } else {
            continue;  // kinds this player has no use for (an input method's preview ...)
        }
        if (!ok) {
            error = "event " + std::to_string(i) + " (" + type.toStdString() + ") is malformed";
            return std::nullopt;
        }
        out.push_back(std::move(e));
    }
    // A key's character is the text it typed right after it.
    for (size_t i = 0; i + 1 < out.size(); ++i)
        if (out[i].kind == K::KeyDown && out[i + 1].kind == K::Text && out[i + 1].character)
            out[i].character = out[i + 1].character;
    return out;
}

size_t deliverInput(swf::Player& player, const std::vector<InputEvent>& events, size_t from,
                    const QRect& viewport, swf::ScaleMode mode) {
    using K = InputEvent::Kind;
    for (; from < events.size(); ++from) {
        InputEvent e = events[from];
        // Where the window's point falls on the stage.
        const QPointF at = player.stagePoint(viewport, mode, QPointF(e.x, e.y));
        e.x = at.x();
        e.y = at.y();
        switch (e.kind) {
            case K::Wait:
                return from + 1;
            case K::MouseMove:
                player.mouseMove(e.x, e.y);
                break;
            case K::MouseDown:
                if (e.leftButton) {
                    player.mouseDown(e.x, e.y);
                } else {
                    player.mouseMove(e.x, e.y);
                    player.otherMouseButton(e.button, true);
                }
                break;
            case K::MouseUp:
                if (e.leftButton) {
                    player.mouseUp(e.x, e.y);
                } else {
                    player.mouseMove(e.x, e.y);
                    player.otherMouseButton(e.button, false);
                }
                break;
            case K::KeyDown:
                player.keyDown(e.keyCode, e.character);
                break;
            case K::KeyUp:
                player.keyUp(e.keyCode);
                break;
            case K::Text:
                player.textInput(e.character);
                break;
            case K::TextControl: {
                bool ok = false;
                const swf::TextCommand c = commandOf(e.text, ok);
                if (ok) player.textCommand(c);
                break;
            }
            case K::Clipboard:
                player.setClipboard(e.text);
                break;
            case K::FocusLost:
            case K::FocusGained:
                player.setWindowFocus(e.kind == K::FocusGained);
                break;
        }
    }
    return from;
}

}  // namespace cli
