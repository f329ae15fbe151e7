// Styled text of fields: runs of formats, the HTML subset fields read and write.

#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "engine/render/text_render.h"

namespace swf::render {

namespace {

constexpr size_t kMaxChars = 1u << 22;  // no field holds more characters than this
constexpr size_t kMaxDepth = 256;       // nesting of tags beyond this adds nothing

std::string utf8(std::u32string_view s) {
    return QString::fromUcs4(s.data(), static_cast<qsizetype>(s.size())).toStdString();
}

std::u32string lowerAscii(std::u32string_view s) {
    std::u32string out(s);
    for (char32_t& c : out)
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return out;
}

bool isSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string number(double d) {
    if (!std::isfinite(d)) return "0";
    if (d == std::floor(d) && std::fabs(d) < 1e15) return std::to_string(static_cast<long long>(d));
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

std::string escape(std::u32string_view s) {
    std::string out;
    for (char32_t c : s) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += utf8(std::u32string_view(&c, 1));
        }
    }
    return out;
}

std::string escape(const std::string& s) {
    const QString q = QString::fromStdString(s);
    const auto u = q.toStdU32String();
    return escape(std::u32string_view(u));
}

std::u32string decodeEntities(std::u32string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out.push_back(s[i]);
            continue;
        }
        const size_t semi = s.find(';', i);
        if (semi == std::u32string_view::npos || semi - i > 10) {
            out.push_back(s[i]);
            continue;
        }
        const std::u32string name = lowerAscii(s.substr(i + 1, semi - i - 1));
        char32_t c = 0;
        if (name == U"lt")
            c = '<';
        else if (name == U"gt")
            c = '>';
        else if (name == U"amp")
            c = '&';
        else if (name == U"quot")
            c = '"';
        else if (name == U"apos")
            c = '\'';
        else if (name == U"nbsp")
            c = 0xa0;
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            uint32_t v = 0;
            bool ok = name.size() > (hex ? 2u : 1u);
            for (size_t k = hex ? 2 : 1; k < name.size() && ok; ++k) {
                const char32_t d = name[k];
                int digit = -1;
                if (d >= '0' && d <= '9') digit = int(d - '0');
                if (hex && d >= 'a' && d <= 'f') digit = int(d - 'a' + 10);
                if (digit < 0) ok = false;
                v = v * (hex ? 16 : 10) + uint32_t(digit);
                if (v >= 0x110000) ok = false;
            }
            if (ok && v > 0) c = v;
        }
        if (!c) {
            out.push_back(s[i]);
            continue;
        }
        out.push_back(c);
        i = semi;
    }
    return out;
}

// The attributes of a tag's inside ("font face='x' size=3"), names in lower case.
std::vector<std::pair<std::u32string, std::u32string>> attributes(std::u32string_view tag) {
    std::vector<std::pair<std::u32string, std::u32string>> out;
    size_t i = 0;
    while (i < tag.size() && !isSpace(tag[i])) ++i;  // the name
    while (i < tag.size() && out.size() < 64) {
        while (i < tag.size() && (isSpace(tag[i]) || tag[i] == '/')) ++i;
        const size_t n0 = i;
        while (i < tag.size() && !isSpace(tag[i]) && tag[i] != '=') ++i;
        std::u32string name = lowerAscii(tag.substr(n0, i - n0));
        while (i < tag.size() && isSpace(tag[i])) ++i;
        std::u32string value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && isSpace(tag[i])) ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char32_t q = tag[i++];
                const size_t v0 = i;
                while (i < tag.size() && tag[i] != q) ++i;
                value = tag.substr(v0, i - v0);
                if (i < tag.size()) ++i;
            } else {
                const size_t v0 = i;
                while (i < tag.size() && !isSpace(tag[i])) ++i;
                value = tag.substr(v0, i - v0);
            }
        }
        if (!name.empty()) out.emplace_back(std::move(name), decodeEntities(value));
        if (i == n0) ++i;
    }
    return out;
}

bool hasUnquotedValue(std::u32string_view tag) {
    char32_t quote = 0;
    for (size_t i = 0; i < tag.size(); ++i) {
        const char32_t c = tag[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '=') {
            size_t j = i + 1;
            while (j < tag.size() && isSpace(tag[j])) ++j;
            if (j < tag.size() && tag[j] != '"' && tag[j] != '\'') return true;
        }
    }
    return false;
}

std::optional<double> toNumber(std::u32string_view s) {
    const std::string a = utf8(s);
    char* end = nullptr;
    const double d = std::strtod(a.c_str(), &end);
    if (end == a.c_str() || !std::isfinite(d)) return std::nullopt;
    return d;
}

// Appends c in format f, joining the last run when it has the same format.
void append(RichText& t, char32_t c, const FieldFormat& f) {
    if (t.chars.size() >= kMaxChars) return;
    t.chars.push_back(c);
    if (!t.runs.empty() && t.runs.back().format == f)
        ++t.runs.back().length;
    else
        t.runs.push_back({1, f});
}

std::string alignName(const std::string& a) {
    std::string out = a;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const FieldFormat& formatAt(const RichText& t, size_t i, const FieldFormat& base) {
    if (t.runs.empty()) return base;
    size_t at = 0;
    for (const auto& r : t.runs) {
        if (i < at + r.length) return r.format;
        at += r.length;
    }
    return t.runs.back().format;
}

void normalizeRuns(RichText& t) {
    std::vector<RichText::Run> out;
    for (auto& r : t.runs) {
        if (r.length == 0) continue;
        if (!out.empty() && out.back().format == r.format)
            out.back().length += r.length;
        else
            out.push_back(std::move(r));
    }
    t.runs = std::move(out);
}

void replaceRange(RichText& t, size_t begin, size_t end, std::u32string_view s,
                  const FieldFormat& f) {
    end = std::min(end, t.chars.size());
    begin = std::min(begin, end);
    s = s.substr(0, kMaxChars - std::min(kMaxChars, t.chars.size() - (end - begin)));
    t.chars.replace(begin, end - begin, s);
    // Cut the runs at begin and end, and put one run for s in between.
    std::vector<RichText::Run> out;
    size_t at = 0;
    bool placed = false;
    for (auto& r : t.runs) {
        const size_t r0 = at, r1 = at + r.length;
        at = r1;
        if (r1 <= begin) {
            out.push_back(r);
            continue;
        }
        if (r0 < begin) out.push_back({begin - r0, r.format});
        if (!placed) {
            out.push_back({s.size(), f});
            placed = true;
        }
        if (r1 > end) out.push_back({r1 - std::max(r0, end), r.format});
    }
    if (!placed) out.push_back({s.size(), f});
    t.runs = std::move(out);
    normalizeRuns(t);
}

std::pair<size_t, size_t> paragraphSpan(const RichText& t, size_t begin, size_t end) {
    end = std::min(end, t.chars.size());
    begin = std::min(begin, end);
    while (begin > 0 && t.chars[begin - 1] != '\r') --begin;
    if (end == begin || (end > 0 && t.chars[end - 1] != '\r'))
        while (end < t.chars.size() && t.chars[end++] != '\r') {
        }
    return {begin, end};
}

RichText parseHtmlText(std::u32string_view html, const FieldFormat& base, bool multiline,
                       bool condenseWhite, int swfVersion, const HtmlStyler* styler) {
    RichText out;
    struct Open {
        std::u32string name;
        FieldFormat format;
    };
    std::vector<Open> stack{{U"", base}};
    auto atParagraphStart = [&] { return out.chars.empty() || out.chars.back() == '\r'; };
    auto text = [&](std::u32string_view raw) {
        const std::u32string s = decodeEntities(raw);
        // Without condensing, white space alone between tags is no text.
        if (!condenseWhite && std::all_of(s.begin(), s.end(), isSpace)) return;
        const FieldFormat& f = stack.back().format;
        for (size_t i = 0; i < s.size(); ++i) {
            char32_t c = s[i];
            if (condenseWhite) {
                if (isSpace(c)) {
                    if (atParagraphStart() || out.chars.back() == ' ') continue;
                    c = ' ';
                }
            } else if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
                c = '\r';
            }
            append(out, c, f);
        }
    };
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] != '<') {
            size_t j = html.find('<', i);
            if (j == std::u32string_view::npos) j = html.size();
            text(html.substr(i, j - i));
            i = j;
            continue;
        }
        size_t j = html.find('>', i);
        if (j == std::u32string_view::npos) break;
        std::u32string_view tag = html.substr(i + 1, j - i - 1);
        i = j + 1;
        const bool closing = !tag.empty() && tag[0] == '/';
        if (closing) tag.remove_prefix(1);
        size_t n = 0;
        while (n < tag.size() && !isSpace(tag[n]) && tag[n] != '/') ++n;
        const std::u32string name = lowerAscii(tag.substr(0, n));
        const bool paragraph = name == U"p" || name == U"li";
        if (closing) {
            auto it = std::find_if(stack.rbegin(), stack.rend() - 1,
                                   [&](const Open& o) { return o.name == name; });
            if (it == stack.rend() - 1) continue;
            // A paragraph's end takes the format of its last character.
            if (paragraph && multiline)
                append(out, '\r',
                       atParagraphStart() ? stack.back().format : out.runs.back().format);
            stack.erase(std::prev(it.base()), stack.end());
            continue;
        }
        if (name == U"br") {
            append(out, '\r', stack.back().format);
            continue;
        }
        if (name != U"b" && name != U"i" && name != U"u" && name != U"font" && name != U"a" &&
            name != U"textformat" && !paragraph && !(styler && name == U"span"))
            continue;
        if (stack.size() > kMaxDepth) continue;
        // An attribute value without quotes ends the text there.
        if (hasUnquotedValue(tag)) break;
        FieldFormat f = stack.back().format;
        if (name == U"b") f.bold = true;
        if (name == U"i") f.italic = true;
        if (name == U"u") f.underline = true;
        if (name == U"li") f.bullet = true;
        const auto attrs = attributes(tag);
        // A style sheet's rules go first: the tag's own attributes override them.
        if (styler && *styler) {
            std::u32string cls;
            for (const auto& [key, value] : attrs)
                if (key == U"class") cls = value;
            (*styler)(name, cls, f);
        }
        for (const auto& [key, value] : attrs) {
            const std::u32string v = lowerAscii(value);
            if (name == U"p" && key == U"align") {
                if (v == U"left" || v == U"right" || v == U"center" || v == U"justify")
                    f.align = utf8(v);
            } else if (name == U"font") {
                if (key == U"face") {
                    f.font = utf8(value);
                } else if (key == U"size") {
                    if (auto d = toNumber(value)) {
                        const bool relative =
                            !value.empty() && (value[0] == '+' || value[0] == '-');
                        f.size = std::clamp(std::round(relative ? f.size + *d : *d), 0.0, 10000.0);
                    }
                } else if (key == U"color") {
                    // "#" and hex digits up to the first that is not one; the last six count.
                    std::u32string_view c = value;
                    if (!c.empty() && c[0] == '#') {
                        c.remove_prefix(1);
                        uint32_t rgb = 0;
                        for (char32_t d : c) {
                            int digit = -1;
                            if (d >= '0' && d <= '9') digit = int(d - '0');
                            if (d >= 'a' && d <= 'f') digit = int(d - 'a' + 10);
                            if (d >= 'A' && d <= 'F') digit = int(d - 'A' + 10);
                            if (digit < 0) break;
                            rgb = rgb * 16 + uint32_t(digit);
                        }
                        f.color = rgb & 0xffffff;
                    }
                } else if (swfVersion < 8) {
                } else if (key == U"letterspacing") {
                    if (auto d = toNumber(value)) f.letterSpacing = std::clamp(*d, -1e4, 1e4);
                } else if (key == U"kerning") {
                    if (auto d = toNumber(value)) f.kerning = *d != 0;
                }
            } else if (name == U"a") {
                if (key == U"href") f.url = utf8(value);
                if (key == U"target") f.target = utf8(value);
            } else if (name == U"textformat") {
                auto d = toNumber(value);
                auto px = [&](double& out) {
                    if (d) out = std::clamp(std::round(*d), -1e4, 1e4);
                };
                if (key == U"leftmargin") px(f.leftMargin);
                if (key == U"rightmargin") px(f.rightMargin);
                if (key == U"indent") px(f.indent);
                if (key == U"blockindent") px(f.blockIndent);
                if (key == U"leading") px(f.leading);
                if (key == U"tabstops") {
                    f.tabStops.clear();
                    const std::string list = utf8(value);
                    size_t at = 0;
                    while (at <= list.size() && f.tabStops.size() < 1000) {
                        const size_t comma = std::min(list.find(',', at), list.size());
                        const std::string part = list.substr(at, comma - at);
                        char* end = nullptr;
                        const double t = std::strtod(part.c_str(), &end);
                        if (end != part.c_str() && std::isfinite(t)) f.tabStops.push_back(t);
                        at = comma + 1;
                    }
                }
            }
        }
        const bool selfClosing = !tag.empty() && tag.back() == '/';
        if (!selfClosing) stack.push_back({name, f});
    }
    return out;
}

std::string writeHtmlText(const RichText& t) {
    std::string out;
    const FieldFormat none;
    size_t at = 0;
    while (at < t.chars.size()) {
        size_t end = t.chars.find('\r', at);
        const bool closed = end != std::u32string::npos;
        if (!closed) end = t.chars.size();
        const FieldFormat& p = formatAt(t, at, none);
        const bool textFormat = p.leftMargin || p.rightMargin || p.indent || p.blockIndent ||
                                p.leading || !p.tabStops.empty();
        if (textFormat) {
            out += "<TEXTFORMAT";
            if (p.leftMargin) out += " LEFTMARGIN=\"" + number(p.leftMargin) + "\"";
            if (p.rightMargin) out += " RIGHTMARGIN=\"" + number(p.rightMargin) + "\"";
            if (p.indent) out += " INDENT=\"" + number(p.indent) + "\"";
            if (p.blockIndent) out += " BLOCKINDENT=\"" + number(p.blockIndent) + "\"";
            if (p.leading) out += " LEADING=\"" + number(p.leading) + "\"";
            if (!p.tabStops.empty()) {
                out += " TABSTOPS=\"";
                for (size_t k = 0; k < p.tabStops.size(); ++k)
                    out += (k ? "," : "") + number(p.tabStops[k]);
                out += "\"";
            }
            out += ">";
        }
        out += p.bullet ? "<LI>" : "<P ALIGN=\"" + alignName(p.align) + "\">";
        out += "<FONT FACE=\"" + escape(p.font) + "\" SIZE=\"" + number(p.size) + "\" COLOR=\"";
        char color[16];
        std::snprintf(color, sizeof color, "#%06X", p.color & 0xffffff);
        out += color;
        out += "\" LETTERSPACING=\"" + number(p.letterSpacing) + "\" KERNING=\"" +
               (p.kerning ? "1" : "0") + "\">";
        // Font changes inside the paragraph nest until the text is back to its first font.
        FieldFormat cur = p;
        int nested = 0;
        auto piece = [&](std::u32string_view s, const FieldFormat& f) {
            const bool sameFont = f.font == p.font && f.size == p.size && f.color == p.color &&
                                  f.letterSpacing == p.letterSpacing && f.kerning == p.kerning;
            if (sameFont) {
                for (; nested > 0; --nested) out += "</FONT>";
                cur = p;
            } else {
                std::string attrs;
                if (f.font != cur.font) attrs += " FACE=\"" + escape(f.font) + "\"";
                if (f.size != cur.size) attrs += " SIZE=\"" + number(f.size) + "\"";
                if (f.color != cur.color) {
                    std::snprintf(color, sizeof color, "#%06X", f.color & 0xffffff);
                    attrs += std::string(" COLOR=\"") + color + "\"";
                }
                if (f.letterSpacing != cur.letterSpacing)
                    attrs += " LETTERSPACING=\"" + number(f.letterSpacing) + "\"";
                if (f.kerning != cur.kerning)
                    attrs += std::string(" KERNING=\"") + (f.kerning ? "1" : "0") + "\"";
                if (!attrs.empty()) {
                    out += "<FONT" + attrs + ">";
                    ++nested;
                }
                cur = f;
            }
            if (!f.url.empty())
                out += "<A HREF=\"" + escape(f.url) + "\" TARGET=\"" + escape(f.target) + "\">";
            if (f.bold) out += "<B>";
            if (f.italic) out += "<I>";
            if (f.underline) out += "<U>";
            out += escape(s);
            if (f.underline) out += "</U>";
            if (f.italic) out += "</I>";
            if (f.bold) out += "</B>";
            if (!f.url.empty()) out += "</A>";
        };
        if (end == at) {
            piece({}, p);
        } else {
            size_t runAt = 0;
            for (const auto& r : t.runs) {
                const size_t r0 = std::max(runAt, at), r1 = std::min(runAt + r.length, end);
                runAt += r.length;
                if (r0 < r1) piece(std::u32string_view(t.chars).substr(r0, r1 - r0), r.format);
                if (runAt >= end) break;
            }
        }
        for (; nested > 0; --nested) out += "</FONT>";
        out += p.bullet ? "</FONT></LI>" : "</FONT></P>";
        if (textFormat) out += "</TEXTFORMAT>";
        if (!closed) break;
        at = end + 1;
    }
    return out;
}

}  // namespace swf::render
