#pragma once
// AVM1 values: the six types scripts see. Objects are owned by the VM's heap and referenced by
// raw pointer; a Value never owns one.

#include <cstdint>
#include <string>
#include <string_view>

namespace swf::avm1 {

class Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

struct Value {
    Type type = Type::Undefined;
    bool b = false;
    double n = 0;
    std::string s;
    Object* o = nullptr;

    Value() = default;
    Value(bool v) : type(Type::Boolean), b(v) {}
    Value(double v) : type(Type::Number), n(v) {}
    Value(int v) : type(Type::Number), n(v) {}
    Value(int64_t v) : type(Type::Number), n(static_cast<double>(v)) {}
    Value(size_t v) : type(Type::Number), n(static_cast<double>(v)) {}
    Value(std::string v) : type(Type::String), s(std::move(v)) {}
    Value(std::string_view v) : type(Type::String), s(v) {}
    Value(const char* v) : type(Type::String), s(v) {}
    Value(Object* v) : type(v ? Type::Object : Type::Null), o(v) {}
    static Value null() {
        Value v;
        v.type = Type::Null;
        return v;
    }

    bool isUndefined() const { return type == Type::Undefined; }
    bool isNull() const { return type == Type::Null; }
    bool isNullish() const { return type == Type::Undefined || type == Type::Null; }
    bool isNumber() const { return type == Type::Number; }
    bool isString() const { return type == Type::String; }
    bool isObject() const { return type == Type::Object; }
    bool isBool() const { return type == Type::Boolean; }
};

// Number -> text the way the Flash Player prints it: 15 significant digits, exponent form
// from 1e15 and below 1e-5 ("1e+21", "1.5e-7"), NaN, Infinity, -Infinity.
std::string numberToString(double d);
// Number -> text in another radix (2..36), as Number.prototype.toString(radix) does.
std::string numberToRadix(double d, int radix);

// Text -> number as SWF 5 and later read it (hex "0x", octal from SWF 6, NaN when not a number).
double stringToNumber(std::string_view s, int version);
// SWF 4 reading: the longest numeric prefix, 0 when there is none.
double stringToNumberSwf4(std::string_view s);

// ECMA ToInt32 / ToUint32.
int32_t toInt32(double d);
uint32_t toUint32(double d);
// A number cut to an integer as the player's own settings take it: whole part, and the
// lowest integer for what does not fit (infinities and NaN too).
int32_t truncOrLowest(double d);
// The character a code makes (chr, String.fromCharCode): a UTF-16 unit from SWF 6, a byte of
// Latin-1 before, where the player's strings had no more.
char16_t charFromCode(double code, int version);
// The characters a code adds where codes are joined (String.fromCharCode, mbchr): before
// SWF 6 a code above 255 is two bytes, the high one first. False once a zero ends the text.
bool appendCharCode(std::u16string& out, uint32_t code, int version);

// Lower-casing for the case-insensitive lookups of SWF 6 and earlier (ASCII only).
std::string asciiLower(std::string_view s);
// Lower case as names compare before SWF 7: ASCII and the European, Greek, Cyrillic and
// Armenian letters of the player's Unicode tables (letters added later stay as they are).
std::string foldCase(std::string_view s);

// UTF-8 helpers: scripts see strings as sequences of characters, stored here as UTF-8.
size_t utf8Length(std::string_view s);
std::u32string utf8Decode(std::string_view s);
std::string utf8Encode(std::u32string_view s);
void utf8Append(std::string& out, char32_t c);
// escape() and unescape() as the version has them: UTF-8 bytes from SWF 6, a byte per
// character before.
std::string escapeText(std::string_view s, int version);
// Each byte keep refuses as %XX (upper-case hex).
std::string percentEncoded(std::string_view bytes, bool (*keep)(unsigned char));
std::string unescapeText(std::string_view s, int version);
// Bytes of one character each (the text of movies before SWF 6) as UTF-8.
std::string latin1ToUtf8(std::string_view s);
// The player indexes strings by UTF-16 units: a character beyond the BMP is two of them. A
// surrogate left without its partner goes back to UTF-8 as its own three-byte sequence, as
// the player writes it, so it survives being taken apart and put together again.
std::u16string utf16Decode(std::string_view s);
std::string utf16Encode(std::u16string_view s);
// Text order by code point, whether a character beyond the BMP came as one UTF-8 sequence or
// as two encoded surrogates.
int compareText(std::string_view a, std::string_view b);

}  // namespace swf::avm1
