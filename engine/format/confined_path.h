#pragma once
// The one rule for every file a movie asks to read: a relative name below the movie's own
// folder, symbolic links and ".." resolved first, never a hidden file or folder.

#include <filesystem>
#include <optional>
#include <string_view>

namespace swf::format {

// The real path of an existing regular file that name (relative, no scheme) leads to from
// baseDir, if it lies strictly below baseDir's real path and no part of it below that
// starts with '.'; nothing otherwise.
std::optional<std::filesystem::path> confinedPath(std::string_view baseDir, std::string_view name);

}  // namespace swf::format
