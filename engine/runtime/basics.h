#pragma once
// The names the engine's layers share with its users: loading, the stage's modes, movie facts.
// engine/player.h hands them on; lower layers include this instead of the player.

#include <QColor>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace swf {

class Movie;

// Thrown by loading; what() is one line a user can read.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ScaleMode { ShowAll, NoBorder, ExactFit, NoScale };

// The stage quality: High draws anti-aliased edges and smoothed bitmaps, Low draws hard edges.
enum class Quality { Low, High };

// "showall", "NoBorder", ... in any letter case; nullopt for anything else.
std::optional<ScaleMode> parseScaleMode(std::string_view name);

// What the header and the tag stream declare; filled while parsing.
struct MovieInfo {
    char signature[4] = {0, 0, 0, 0};  // "FWS", "CWS" or "ZWS"
    int version = 0;
    uint32_t length = 0;   // uncompressed length the header declares
    size_t fileBytes = 0;  // the file as read (compressed when it is)
    int stageXMin = 0, stageYMin = 0, stageXMax = 0, stageYMax = 0;  // twips
    double frameRate = 0;  // frames per second (8.8 fixed in the file)
    int frameCount = 0;    // header's frame count
    std::optional<QColor> background;
    std::map<std::string, int> tagCounts;  // tag name ("ShowFrame", "Unknown(99)") -> count
    int skippedTags = 0;                   // tags read over without being understood
    bool truncated = false;                // the tag stream ended early and was cut cleanly
    // What a ScriptLimits tag asks for; 0 where the movie says nothing.
    int maxRecursionDepth = 0;
    int scriptTimeoutSeconds = 0;

    int widthPixels() const { return (stageXMax - stageXMin) / 20; }
    int heightPixels() const { return (stageYMax - stageYMin) / 20; }
};

// Parses a whole file image. Throws LoadError for anything that is not a playable SWF.
std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes);
std::shared_ptr<const Movie> loadMovieFile(const std::string& path);
// As loadMovie(bytes); files the movie imports (ImportAssets) are read from baseDir.
std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const std::string& baseDir);
// The bytes of the file at filePath: imports come from its folder, and its scripts read its
// file:// URL in _url.
std::shared_ptr<const Movie> loadMovieAt(std::span<const uint8_t> bytes,
                                         const std::string& filePath);

const MovieInfo& movieInfo(const Movie& movie);

// A button's state changes that DefineButtonSound gives sounds to, in the tag's order.
enum class ButtonTransition : uint8_t { OverToUp, UpToOver, OverToDown, DownToOver };

}  // namespace swf
