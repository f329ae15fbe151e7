#pragma once
// One parse per file: players showing the same file (the nine-grid shows one movie nine times)
// share the immutable movie while any of them holds it.

#include <QString>
#include <memory>

#include "engine/player.h"

namespace lanfeng {

// Throws swf::LoadError with a readable reason.
std::shared_ptr<const swf::Movie> loadMovieShared(const QString& path);

}  // namespace lanfeng
