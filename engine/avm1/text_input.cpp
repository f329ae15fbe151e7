// Typing into text fields.

#include "engine/avm1/text_input.h"

#include <algorithm>
#include <optional>

#include "engine/avm1/input_events.h"
#include "engine/avm1/value.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

// Text fields hold at most this many characters from typing and pasting.
constexpr size_t kMaxTyped = 1 << 20;

struct Field {
    Vm& vm;
    Object* obj;
    std::u32string text;
    size_t begin = 0, end = 0;  // the selection; the caret is at end

    Field(Vm& v, Object* o) : vm(v), obj(o) {
        text = utf8Decode(vm.toString(vm.get(obj, "text")));
        if (vm.input) {
            begin = std::min<size_t>(std::max(vm.input->selBegin, 0), text.size());
            end = std::min<size_t>(std::max(vm.input->selEnd, 0), text.size());
        }
        if (begin > end) std::swap(begin, end);
    }
    bool editable() { return vm.toString(vm.get(obj, "type")) == "input"; }
    bool multiline() { return vm.toBoolean(vm.get(obj, "multiline")); }
    void keepCaret(size_t b, size_t e) {
        if (!vm.input) return;
        vm.input->selBegin = static_cast<int>(b);
        vm.input->selEnd = static_cast<int>(e);
    }
    // Replaces the selection with s; false when nothing changed.
    bool replace(std::u32string_view s) {
        if (s.empty() && begin == end) return false;
        const Value mc = vm.get(obj, "maxChars");
        size_t room = kMaxTyped;
        if (mc.isNumber() && mc.n > 0) room = static_cast<size_t>(std::min(mc.n, 1e9));
        const size_t kept = text.size() - (end - begin);
        if (kept >= room && !s.empty() && begin == end) return false;
        s = s.substr(0, std::min(s.size(), room > kept ? room - kept : 0));
        if (s.empty() && begin == end) return false;
        text.replace(begin, end - begin, s);
        const size_t caret = begin + s.size();
        vm.set(obj, "text", Value(utf8Encode(text)));
        keepCaret(caret, caret);
        changed();
        return true;
    }
    void changed() {
        Value listeners = vm.get(obj, "_listeners");
        if (!listeners.isObject() || listeners.o->cls != ObjClass::Array) {
            vm.callMethod(Value(obj), "onChanged", {Value(obj)});
            return;
        }
        const std::vector<Value> copy = listeners.o->elems;
        for (const Value& l : copy)
            if (l.isObject()) vm.callMethod(l, "onChanged", {Value(obj)});
    }
};

}  // namespace

bool restrictAllows(std::u32string_view r, char32_t c) {
    if (r.empty()) return false;
    // "^" switches between letting in and keeping out what follows; the last match decides.
    // "x-y" is a range; a dash with no single character before it starts from the lowest
    // code, runs of dashes count as one, and one at the end is ignored.
    bool allowed = r[0] == U'^';
    bool including = true;
    std::optional<char32_t> last;
    for (size_t i = 0; i < r.size(); ++i) {
        char32_t ch = r[i];
        if (ch == U'^') {
            including = !including;
            last.reset();
            continue;
        }
        if (ch == U'-') {
            size_t j = i;
            while (j < r.size() && r[j] == U'-') ++j;
            if (j == r.size()) break;
            char32_t hi = r[j];
            if (hi == U'\\' && j + 1 < r.size()) hi = r[++j];
            const char32_t lo = last.value_or(0);
            if (c >= lo && c <= hi) allowed = including;
            last.reset();
            i = j;
            continue;
        }
        if (ch == U'\\') {
            if (i + 1 == r.size()) break;  // a lone escape at the end escapes nothing
            ch = r[++i];
        }
        if (c == ch) allowed = including;
        last = ch;
    }
    return allowed;
}

void typeInto(Vm& vm, Object* obj, char32_t c) {
    Field f(vm, obj);
    if (!f.editable()) return;
    if (c == U'\n' || c == U'\r') {
        if (f.multiline()) f.replace(U"\r");
        return;
    }
    if (c < 0x20 || c == 0x7f) return;  // controls arrive as commands
    const Value r = vm.get(obj, "restrict");
    if (r.isString()) {
        const std::u32string rs = utf8Decode(r.s);
        if (!restrictAllows(rs, c)) {
            // A letter kept out in one case may be let in in the other.
            const char32_t other = c >= U'a' && c <= U'z'   ? c - 32
                                   : c >= U'A' && c <= U'Z' ? c + 32
                                                            : 0;
            if (!other || !restrictAllows(rs, other)) return;
            c = other;
        }
    }
    const char32_t s[1] = {c};
    f.replace(std::u32string_view(s, 1));
}

void composeInto(Vm& vm, Object* obj, std::u32string_view s) {
    Field f(vm, obj);
    if (!f.editable() || !vm.input) return;
    InputState& in = *vm.input;
    if (in.composeLength > 0) {
        const size_t at = std::min<size_t>(std::max(in.composeAt, 0), f.text.size());
        f.text.erase(at, std::min<size_t>(in.composeLength, f.text.size() - at));
        f.begin = f.end = at;
    }
    s = s.substr(0, std::min(s.size(), kMaxTyped));
    f.text.replace(f.begin, f.end - f.begin, s);
    vm.set(obj, "text", Value(utf8Encode(f.text)));
    f.keepCaret(f.begin + s.size(), f.begin + s.size());
    in.composeAt = static_cast<int>(f.begin);
    in.composeLength = static_cast<int>(s.size());
}

void commitComposition(Vm& vm, Object* obj) {
    if (!vm.input || vm.input->composeLength == 0) return;
    vm.input->composeLength = 0;
    Field(vm, obj).changed();
}

void editField(Vm& vm, Object* obj, TextCommand command, std::string& clipboard) {
    Field f(vm, obj);
    const bool password = vm.toBoolean(vm.get(obj, "password"));
    switch (command) {
        case TextCommand::Enter:
            if (f.editable() && f.multiline()) f.replace(U"\r");
            break;
        case TextCommand::Backspace:
            if (!f.editable()) break;
            if (f.begin == f.end && f.begin > 0) --f.begin;
            f.replace(U"");
            break;
        case TextCommand::Delete:
            if (!f.editable()) break;
            if (f.begin == f.end && f.end < f.text.size()) ++f.end;
            f.replace(U"");
            break;
        case TextCommand::MoveLeft: {
            const size_t at = f.begin == f.end && f.begin > 0 ? f.begin - 1 : f.begin;
            f.keepCaret(at, at);
            break;
        }
        case TextCommand::MoveRight: {
            const size_t at = f.begin == f.end && f.end < f.text.size() ? f.end + 1 : f.end;
            f.keepCaret(at, at);
            break;
        }
        case TextCommand::LineStart: {
            size_t at = f.end;
            while (at > 0 && f.text[at - 1] != U'\r') --at;
            f.keepCaret(at, at);
            break;
        }
        case TextCommand::LineEnd: {
            size_t at = f.end;
            while (at < f.text.size() && f.text[at] != U'\r') ++at;
            f.keepCaret(at, at);
            break;
        }
        case TextCommand::SelectAll:
            f.keepCaret(0, f.text.size());
            break;
        case TextCommand::Copy:
        case TextCommand::Cut:
            // What a password field shows is not what it holds: it gives nothing away.
            if (password || f.begin == f.end) break;
            clipboard = utf8Encode(f.text.substr(f.begin, f.end - f.begin));
            if (command == TextCommand::Cut && f.editable()) f.replace(U"");
            break;
        case TextCommand::Paste: {
            if (!f.editable() || clipboard.empty()) break;
            std::u32string in = utf8Decode(clipboard);
            if (in.size() > kMaxTyped) in.resize(kMaxTyped);
            std::u32string kept;
            const Value r = vm.get(obj, "restrict");
            const std::u32string rs = r.isString() ? utf8Decode(r.s) : std::u32string();
            for (char32_t c : in) {
                if (c == U'\n') c = U'\r';
                if (c == U'\r' && !f.multiline()) continue;
                if (r.isString() && !restrictAllows(rs, c)) continue;
                kept.push_back(c);
            }
            f.replace(kept);
            break;
        }
    }
}

}  // namespace swf::avm1
