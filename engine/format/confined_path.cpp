#include "engine/format/confined_path.h"

#include <algorithm>

namespace swf::format {

std::optional<std::filesystem::path> confinedPath(std::string_view baseDir, std::string_view name) {
    namespace fs = std::filesystem;
    if (baseDir.empty() || name.empty() || name.size() > 1024) return std::nullopt;
    // A scheme or drive (http:, file:, C:) or an absolute name never names a local file here.
    if (name.find(':') != std::string_view::npos || name.front() == '/' || name.front() == '\\')
        return std::nullopt;
    if (name.find('\0') != std::string_view::npos) return std::nullopt;
    std::error_code ec;
    const fs::path base = fs::canonical(fs::path(baseDir), ec);
    if (ec) return std::nullopt;
    const fs::path path = fs::canonical(base / fs::path(name), ec);
    if (ec) return std::nullopt;
    auto [b, p] = std::mismatch(base.begin(), base.end(), path.begin(), path.end());
    if (b != base.end() || p == path.end()) return std::nullopt;
    for (; p != path.end(); ++p)
        if (p->native().starts_with('.')) return std::nullopt;
    if (!fs::is_regular_file(path, ec) || ec) return std::nullopt;
    return path;
}

}  // namespace swf::format
