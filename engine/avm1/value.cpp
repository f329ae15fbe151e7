#include "engine/avm1/value.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace swf::avm1 {

namespace {

// 10^e as the player's printer takes it: made by squaring for e >= 0 (so slightly off far
// from 1), the double nearest to it below 1.
double powerOfTen(int e) {
    if (e < 0) {
        static const std::array<double, 309> below = [] {
            std::array<double, 309> t{};
            for (int i = 0; i < 309; ++i)
                t[i] = std::strtod(("1e-" + std::to_string(i)).c_str(), nullptr);
            return t;
        }();
        return below[std::min(-e, 308)];
    }
    double r = 1, b = 10;
    for (unsigned k = static_cast<unsigned>(e); k; k >>= 1) {
        if (k & 1) r *= b;
        b *= b;
    }
    return r;
}

// a / 10^e, in two steps below the smallest power a double holds.
double scaledByPowerOfTen(double a, int e) {
    if (e < -308) return a / powerOfTen(-308) / powerOfTen(e + 308);
    return a / powerOfTen(e);
}

}  // namespace

std::string numberToString(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0) return "0";
    if (std::fabs(d) < 1e15 && d == std::trunc(d)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(d));
        return buf;
    }
    // Fifteen significant digits as the player finds them: the number divided by the power of
    // ten that leaves fifteen whole digits, rounded half up.
    // Near a tie this can round the other way than the exact expansion would.
    const double a = std::fabs(d);
    int exp = static_cast<int>(std::floor(std::log10(a)));
    double scaled = scaledByPowerOfTen(a, exp - 14);
    if (scaled < 1e14) {
        scaled = scaledByPowerOfTen(a, --exp - 14);
    } else if (scaled >= 1e15) {
        scaled = scaledByPowerOfTen(a, ++exp - 14);
    }
    double whole15 = std::floor(scaled + 0.5);
    if (whole15 >= 1e15) {
        whole15 = 1e14;
        ++exp;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", whole15);
    std::string digits = buf;
    digits.resize(15, '0');
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = d < 0 ? "-" : "";
    if (exp < -5 || exp >= 15) {
        // Small numbers keep their decimals down to the fifth place, then go exponential.
        out += digits[0];
        if (digits.size() > 1) out += '.' + digits.substr(1);
        out += exp < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(exp));
    } else if (exp < 0) {
        out += "0." + std::string(size_t(-exp - 1), '0') + digits;
    } else {
        const size_t whole = size_t(exp) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + '.' + digits.substr(whole);
        }
    }
    return out;
}

std::string numberToRadix(double d, int radix) {
    if (radix == 10 || radix < 2 || radix > 36) return numberToString(d);
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
    const bool neg = d < 0;
    // Flash converts to a 32-bit integer first.
    int64_t v = toInt32(d);
    uint64_t u = v < 0 ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
    std::string out;
    do {
        const int digit = static_cast<int>(u % radix);
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        u /= radix;
    } while (u);
    if (v < 0 || (neg && v < 0)) out.insert(out.begin(), '-');
    return out;
}

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The longest decimal number at s[pos]: digits, fraction, exponent. Returns chars used.
size_t scanDecimal(std::string_view s, size_t pos, double& out) {
    size_t k = pos;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    size_t digits = 0;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++digits;
    if (k < s.size() && s[k] == '.') {
        ++k;
        while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++digits;
    }
    if (!digits) return 0;
    if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
        size_t e = k + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && s[e] >= '0' && s[e] <= '9') {
            while (e < s.size() && s[e] >= '0' && s[e] <= '9') ++e;
            k = e;
        }
    }
    const std::string part(s.substr(pos, k - pos));
    out = std::strtod(part.c_str(), nullptr);
    return k - pos;
}

}  // namespace

double stringToNumber(std::string_view s, int version) {
    size_t a = 0;
    while (a < s.size() && isSpace(s[a])) ++a;
    // Leading white space is skipped; trailing characters make it not a number.
    std::string_view t = s.substr(a);
    if (t.empty()) return std::numeric_limits<double>::quiet_NaN();
    bool neg = false;
    std::string_view body = t;
    if (body[0] == '-' || body[0] == '+') {
        neg = body[0] == '-';
        body.remove_prefix(1);
    }
    // Hex only where the text starts with "0x": no white space or sign before it.
    const bool bare = a == 0 && body.size() == t.size();
    if (version >= 6 && bare && body.size() > 2 && body[0] == '0' &&
        (body[1] == 'x' || body[1] == 'X')) {
        uint32_t v = 0;  // wraps: only the low 32 bits count
        std::string_view digits = body.substr(2);
        // "0x-10" is read as -16 by the player
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
            neg = neg != (digits[0] == '-');
            digits.remove_prefix(1);
        }
        if (digits.empty()) return std::numeric_limits<double>::quiet_NaN();
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return std::numeric_limits<double>::quiet_NaN();
            v = v * 16 + static_cast<uint32_t>(d);
        }
        // Hex reads as a 32-bit signed integer.
        const double r = static_cast<int32_t>(v);
        return neg ? -r : r;
    }
    if (version >= 6 && a == 0 && body.size() > 1 && body[0] == '0') {
        bool octal = true;
        for (char c : body)
            if (c < '0' || c > '7') octal = false;
        if (octal) {
            uint32_t v = 0;
            for (char c : body) v = v * 8 + static_cast<uint32_t>(c - '0');
            const double r = static_cast<int32_t>(v);
            return neg ? -r : r;
        }
    }
    double v = 0;
    const size_t used = scanDecimal(t, 0, v);
    // An exponent mark left without digits at the end ("2e", "-56e+") is passed over.
    std::string_view rest = t.substr(used);
    if (used && !rest.empty() && (rest[0] == 'e' || rest[0] == 'E')) {
        rest.remove_prefix(1);
        if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) rest.remove_prefix(1);
    }
    if (!rest.empty()) return std::numeric_limits<double>::quiet_NaN();
    return v;
}

double stringToNumberSwf4(std::string_view s) {
    size_t a = 0;
    while (a < s.size() && isSpace(s[a])) ++a;
    double v = 0;
    if (!scanDecimal(s, a, v)) return 0;
    return v;
}

int32_t toInt32(double d) {
    if (!std::isfinite(d)) return 0;
    const double t = std::trunc(d);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0) m += 4294967296.0;
    const uint32_t u = static_cast<uint32_t>(m);
    return static_cast<int32_t>(u);
}

int32_t truncOrLowest(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(d);
}

uint32_t toUint32(double d) { return static_cast<uint32_t>(toInt32(d)); }

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

namespace {

char16_t foldUnit(char16_t c) {
    auto pairEven = [](char16_t u, char16_t lo, char16_t hi) {
        return u >= lo && u <= hi && (u - lo) % 2 == 0;
    };
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c < 0x100) return c;
    if (c < 0x180) {
        if (c == 0x130) return 'i';
        if (c == 0x178) return 0xFF;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c % 2 ? c + 1 : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return c % 2 ? c : c + 1;
    }
    // Title-case digraphs fold with their capital and small forms.
    if (c == 0x1C4 || c == 0x1C5) return 0x1C6;
    if (c == 0x1C7 || c == 0x1C8) return 0x1C9;
    if (c == 0x1CA || c == 0x1CB) return 0x1CC;
    if (c == 0x1F1 || c == 0x1F2) return 0x1F3;
    if (c >= 0x1CD && c <= 0x1DC) return c % 2 ? c + 1 : c;
    if (pairEven(c, 0x1DE, 0x1EF) || c == 0x1F4 || pairEven(c, 0x1F8, 0x21F) ||
        pairEven(c, 0x222, 0x233))
        return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (pairEven(c, 0x3DA, 0x3EF)) return c + 1;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (pairEven(c, 0x460, 0x481) || pairEven(c, 0x48C, 0x4BF) || pairEven(c, 0x4D0, 0x4F5) ||
        c == 0x4F8)
        return c + 1;
    if (c >= 0x4C1 && c <= 0x4CC && c % 2) return c + 1;
    if (c >= 0x531 && c <= 0x556) return c + 48;
    if (pairEven(c, 0x1E00, 0x1E95) || pairEven(c, 0x1EA0, 0x1EF9)) return c + 1;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
    return c;
}

}  // namespace

std::string foldCase(std::string_view s) {
    bool ascii = true;
    for (char ch : s)
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return asciiLower(s);
    std::u16string u = utf16Decode(s);
    for (char16_t& c : u) c = foldUnit(c);
    return utf16Encode(u);
}

size_t utf8Length(std::string_view s) {
    // Scripts count UTF-16 units: a character beyond the BMP counts twice.
    size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xc0) != 0x80) ++n;
        if (c >= 0xf0) ++n;
    }
    return n;
}

char16_t charFromCode(double code, int version) {
    const uint32_t c = toUint32(code);
    return static_cast<char16_t>(version >= 6 ? c & 0xffff : c & 0xff);
}

bool appendCharCode(std::u16string& out, uint32_t code, int version) {
    const bool twoBytes = version < 6 && code > 0xff;
    for (const uint32_t unit : {twoBytes ? code >> 8 : code, code}) {
        const char16_t c = charFromCode(unit, version);
        if (!c) return false;
        out.push_back(c);
        if (!twoBytes) break;
    }
    return true;
}

std::u32string utf8Decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(c);  // a stray byte stands for itself
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1f) : len == 3 ? (c & 0x0f) : (c & 0x07);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xc0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3f);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

// What an escape in unescape() stands for: a byte, or -1 for no hex digit.
static int hexDigit(char ch) {
    return ch >= '0' && ch <= '9'   ? ch - '0'
           : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
           : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                    : -1;
}

// Bytes as UTF-8 the way the player reads unescaped text: a zero byte or one that starts no
// character (0xF8 and up) ends it, a sequence cut short at the end is dropped, a lead byte
// whose next byte does not continue it gives U+FFFD (and takes that byte), and a stray
// continuation byte is the Latin-1 character of that code.
static std::string lenientUtf8(std::string_view bytes) {
    std::string out;
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0 || b >= 0xF8) break;
        if (b < 0xC0) {
            utf8Append(out, b);
            ++i;
            continue;
        }
        const size_t more = b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        if (i + more >= n) break;
        char32_t code = b & (0x3F >> more);
        bool valid = true;
        for (size_t k = 1; k <= more; ++k) {
            const auto cb = static_cast<unsigned char>(bytes[i + k]);
            if ((cb & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (cb & 0x3F);
        }
        const bool overlong = (more == 1 && code < 0x80) || (more == 2 && code < 0x800) ||
                              (more == 3 && (code < 0x10000 || code > 0x10FFFF));
        utf8Append(out, valid && !overlong && (code < 0xD800 || code > 0xDFFF) ? code : 0xFFFD);
        i += valid ? more + 1 : 2;
    }
    return out;
}

std::string unescapeText(std::string_view s, int version) {
    // From SWF 6 the escapes are bytes of UTF-8; before, each is the character of that code.
    const bool utf8 = version >= 6;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            // An escape without two hex digits stands for nothing.
            const int hi = i + 1 < s.size() ? hexDigit(s[i + 1]) : -1;
            const int lo = i + 2 < s.size() ? hexDigit(s[i + 2]) : -1;
            i += 2;
            if (hi < 0 || lo < 0) continue;
            const int code = hi * 16 + lo;
            if (code == 0 && !utf8) break;  // the text ends at a zero
            if (utf8)
                out += static_cast<char>(code);
            else
                utf8Append(out, static_cast<char32_t>(code));
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return utf8 ? lenientUtf8(out) : out;
}

std::string percentEncoded(std::string_view bytes, bool (*keep)(unsigned char)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char ch : bytes) {
        if (keep(ch)) {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += kHex[ch >> 4];
            out += kHex[ch & 15];
        }
    }
    return out;
}

std::string escapeText(std::string_view s, int version) {
    // Before SWF 6 a character is one byte: its code, not its UTF-8.
    std::string bytes;
    if (version >= 6) {
        bytes = s;
    } else {
        for (const char32_t ch : utf8Decode(s)) {
            if (ch < 0x100)
                bytes += static_cast<char>(ch);
            else
                utf8Append(bytes, ch);
        }
    }
    // Only letters and digits stay as they are: the player escapes every other character,
    // '-', '.', '/' and '_' included (not the browser's set).
    return percentEncoded(bytes, [](unsigned char ch) {
        return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    });
}

std::string latin1ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) utf8Append(out, c);
    return out;
}

void utf8Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
}

std::string utf8Encode(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) utf8Append(out, c);
    return out;
}

std::u16string utf16Decode(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (char32_t c : utf8Decode(s)) {
        if (c >= 0x10000 && c <= 0x10ffff) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xd800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xdc00 + (c & 0x3ff)));
        } else {
            out.push_back(static_cast<char16_t>(c > 0xffff ? 0xfffd : c));
        }
    }
    return out;
}

std::string utf16Encode(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < s.size() && s[i + 1] >= 0xdc00 &&
            s[i + 1] < 0xe000) {
            utf8Append(out,
                       0x10000 + ((static_cast<char32_t>(c) - 0xd800) << 10) + (s[i + 1] - 0xdc00));
            ++i;
        } else {
            utf8Append(out, c);  // a surrogate without its partner keeps its own three bytes
        }
    }
    return out;
}

int compareText(std::string_view a, std::string_view b) {
    if (a.find('\xed') != std::string_view::npos || b.find('\xed') != std::string_view::npos) {
        const std::string na = utf16Encode(utf16Decode(a)), nb = utf16Encode(utf16Decode(b));
        return na.compare(nb);
    }
    return a.compare(b);
}

}  // namespace swf::avm1
