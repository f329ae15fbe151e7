#include "tools/cli/run_setup.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

namespace cli {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The value of key inside an inline table "{ a = 1, b = "x" }", quotes removed.
std::optional<std::string> inlineValue(std::string_view table, std::string_view key) {
    size_t at = 0;
    while ((at = table.find(key, at)) != std::string_view::npos) {
        const bool startsWord = at == 0 || table[at - 1] == '{' || table[at - 1] == ' ' ||
                                table[at - 1] == ',' || table[at - 1] == '\t';
        std::string_view rest = trim(table.substr(at + key.size()));
        at += key.size();
        if (!startsWord || rest.empty() || rest.front() != '=') continue;
        rest = trim(rest.substr(1));
        if (!rest.empty() && rest.front() == '"') {
            const auto end = rest.find('"', 1);
            if (end == std::string_view::npos) return std::nullopt;
            return std::string(rest.substr(1, end - 1));
        }
        const auto end = rest.find_first_of(",} \t");
        return std::string(rest.substr(0, end));
    }
    return std::nullopt;
}

int pixels(const std::optional<std::string>& v) {
    if (!v) return 0;
    char* end = nullptr;
    const long n = std::strtol(v->c_str(), &end, 10);
    return *end == 0 && n > 0 && n <= 8192 ? int(n) : 0;
}

}  // namespace

RunSetup parseRunSetup(const std::string& text) {
    RunSetup setup;
    std::istringstream in(text);
    std::string line;
    bool inOptions = false;
    while (std::getline(in, line)) {
        const std::string_view l = trim(line);
        if (l.starts_with("[")) {
            inOptions = l == "[player_options]";
            continue;
        }
        if (!inOptions) continue;
        const auto eq = l.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = trim(l.substr(0, eq)), value = trim(l.substr(eq + 1));
        if (key == "with_renderer") {
            // "medium" smooths edges as well, so it draws like high here.
            if (const auto q = inlineValue(value, "quality"))
                setup.quality = *q == "low" ? swf::Quality::Low : swf::Quality::High;
        } else if (key == "viewport_dimensions") {
            const int w = pixels(inlineValue(value, "width")),
                      h = pixels(inlineValue(value, "height"));
            if (w > 0 && h > 0) {
                setup.viewportWidth = w;
                setup.viewportHeight = h;
            }
        }
    }
    return setup;
}

RunSetup runSetupBeside(const std::string& movieFile) {
    const auto slash = movieFile.find_last_of('/');
    const std::string path =
        (slash == std::string::npos ? std::string() : movieFile.substr(0, slash + 1)) + "test.toml";
    std::ifstream f(path, std::ios::binary);
    if (!f) return {};
    // A set-up is a few lines; a huge file is not one.
    std::string text(64 * 1024, '\0');
    f.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(f.gcount()));
    return parseRunSetup(text);
}

}  // namespace cli
