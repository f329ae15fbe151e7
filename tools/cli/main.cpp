// lanfeng-cli: the engine without windows. info, run and bench.

#include <sys/resource.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/media/wav_file.h"
#include "engine/player.h"
#include "tools/cli/input_replay.h"
#include "tools/cli/run_setup.h"

namespace {

int gArgc = 0;
char** gArgv = nullptr;

// Headless unless a platform is asked for; text rendering will need the font database.
// Made only once a movie has loaded, so load errors come out alone.
std::unique_ptr<QGuiApplication> makeApp() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(gArgc, gArgv);
}

int usage() {
    std::cerr
        << "usage:\n"
           "  lanfeng-cli info FILE [--json]\n"
           "  lanfeng-cli run FILE --frames N [--png-at K=PATH]... [--png PATH] [--wav PATH]\n"
           "                      [--quality low|high] [--size WxH] [--input EVENTS.json]\n"
           "  lanfeng-cli bench FILE [--size WxH] [--frames N] [--quality low|high]\n"
           "  lanfeng-cli thumb FILE OUT.png [--size N]\n";
    return 2;
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

std::shared_ptr<const swf::Movie> load(const std::string& path) {
    try {
        return swf::loadMovieFile(path);
    } catch (const swf::LoadError& e) {
        std::cerr << path << ": " << e.what() << "\n";
        return nullptr;
    }
}

int cmdInfo(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty())
            file = a;
        else
            return usage();
    }
    if (file.empty()) return usage();
    auto movie = load(file);
    if (!movie) return 1;
    const swf::MovieInfo& i = swf::movieInfo(*movie);
    const std::string sig(i.signature, 3);
    if (json) {
        std::cout << "{\"signature\": " << jsonString(sig) << ", \"version\": " << i.version
                  << ", \"length\": " << i.length << ", \"width\": " << i.widthPixels()
                  << ", \"height\": " << i.heightPixels()
                  << ", \"frame_rate\": " << number(i.frameRate)
                  << ", \"frame_count\": " << i.frameCount << ", \"tags\": {";
        bool first = true;
        for (const auto& [name, count] : i.tagCounts) {
            std::cout << (first ? "" : ", ") << jsonString(name) << ": " << count;
            first = false;
        }
        std::cout << "}}\n";
        return 0;
    }
    std::cout << "signature:   " << sig << "\n"
              << "version:     " << i.version << "\n"
              << "length:      " << i.length << "\n"
              << "stage:       " << i.widthPixels() << " x " << i.heightPixels() << " px\n"
              << "frame rate:  " << number(i.frameRate) << "\n"
              << "frame count: " << i.frameCount << "\n";
    if (i.truncated) std::cout << "truncated:   yes\n";
    std::cout << "tags:\n";
    for (const auto& [name, count] : i.tagCounts)
        std::cout << "  " << name << ": " << count << "\n";
    return 0;
}

// The picture run draws: the window given, showing the whole stage, or the stage alone.
struct View {
    QRect rect;
    swf::ScaleMode mode;
};

View viewOf(const swf::Player& player, int w, int h) {
    if (w > 0 && h > 0) return {QRect(0, 0, w, h), swf::ScaleMode::ShowAll};
    const auto& i = player.info();
    return {
        QRect(0, 0, std::clamp(i.widthPixels(), 1, 8192), std::clamp(i.heightPixels(), 1, 8192)),
        swf::ScaleMode::ExactFit};
}

// The stage at its own size, or shown whole in a window of w x h as the player shows it.
QImage renderStage(const swf::Player& player, int w = 0, int h = 0) {
    const View v = viewOf(player, w, h);
    QImage img(v.rect.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    player.render(p, v.rect, v.mode);
    p.end();
    return img;
}

bool parseInt(const std::string& s, long& out) {
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 10);
    return !s.empty() && *end == 0;
}

int cmdRun(const std::vector<std::string>& args) {
    std::string file, lastPng, wavPath, inputPath;
    long frames = -1;
    std::multimap<long, std::string> pngAt;
    std::optional<swf::Quality> quality;
    int viewW = 0, viewH = 0;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        const bool hasValue = k + 1 < args.size();
        if (a == "--frames" && hasValue) {
            if (!parseInt(args[++k], frames) || frames < 0) return usage();
        } else if (a == "--png-at" && hasValue) {
            const std::string& v = args[++k];
            const auto eq = v.find('=');
            long at = 0;
            if (eq == std::string::npos || !parseInt(v.substr(0, eq), at)) return usage();
            pngAt.emplace(at, v.substr(eq + 1));
        } else if (a == "--png" && hasValue) {
            lastPng = args[++k];
        } else if (a == "--input" && hasValue) {
            inputPath = args[++k];
        } else if (a == "--wav" && hasValue) {
            wavPath = args[++k];
        } else if (a == "--quality" && hasValue) {
            const std::string& q = args[++k];
            if (q != "low" && q != "high") return usage();
            quality = q == "low" ? swf::Quality::Low : swf::Quality::High;
        } else if (a == "--size" && hasValue) {
            if (std::sscanf(args[++k].c_str(), "%dx%d", &viewW, &viewH) != 2 || viewW <= 0 ||
                viewH <= 0 || viewW > 8192 || viewH > 8192)
                return usage();
        } else if (file.empty() && !a.starts_with("--")) {
            file = a;
        } else {
            return usage();
        }
    }
    if (file.empty() || frames < 0) return usage();
    auto movie = load(file);
    if (!movie) return 1;
    // A recording beside the movie is replayed unless one is named.
    if (inputPath.empty()) {
        const auto slash = file.find_last_of('/');
        const std::string beside =
            (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + "input.json";
        if (FILE* f = std::fopen(beside.c_str(), "rb")) {
            std::fclose(f);
            inputPath = beside;
        }
    }
    // A reference recording's set-up beside the movie (its quality and window) applies unless
    // the command line says otherwise.
    const cli::RunSetup setup = cli::runSetupBeside(file);
    if (!quality) quality = setup.quality.value_or(swf::Quality::High);
    if (viewW == 0) {
        viewW = setup.viewportWidth;
        viewH = setup.viewportHeight;
    }
    std::vector<cli::InputEvent> input;
    if (!inputPath.empty()) {
        std::string why;
        auto events = cli::readInputEvents(inputPath, why);
        if (!events) {
            std::cerr << inputPath << ": " << why << "\n";
            return 1;
        }
        input = std::move(*events);
    }
    size_t nextInput = 0;
    const auto app = makeApp();
    // Shared objects live in a folder of this run alone, so runs stay independent.
    QTemporaryDir storage;
    swf::Player player(movie, {storage.isValid() ? storage.path().toStdString() : "", file});
    player.setQuality(*quality);
    player.setTraceSink([](std::string_view line) { std::cout << line << "\n"; });
    int rc = 0;
    auto save = [&](const std::string& path) {
        if (!renderStage(player, viewW, viewH).save(QString::fromStdString(path), "PNG")) {
            std::cerr << "cannot write " << path << "\n";
            rc = 1;
        }
    };
    // The sound of each frame is its share of the clock: frame f ends at f / rate seconds.
    std::vector<int16_t> mix;
    const double fps = player.info().frameRate > 0 ? player.info().frameRate : 12.0;
    // A WAV holds at most an hour, whatever the frame count asks for.
    const size_t maxWavFrames = size_t(44100) * 3600;
    auto mixFrame = [&](long f) {
        if (wavPath.empty()) return;
        const size_t want = std::min<size_t>(maxWavFrames, size_t(std::llround(f * 44100.0 / fps)));
        const size_t have = mix.size() / 2;
        if (want <= have) return;
        mix.resize(want * 2);
        player.mixAudio(std::span<int16_t>(mix).subspan(have * 2));
    };
    // Loading the player shows frame 1; every further frame is one tick. After each frame the
    // recorded input up to its next Wait arrives.
    for (long f = 1; f <= frames; ++f) {
        if (f > 1) player.advanceFrame();
        // The movie asked to quit: this frame is its last, and no input reaches it.
        const bool quit = player.quitRequested();
        if (!quit) {
            const View v = viewOf(player, viewW, viewH);
            nextInput = cli::deliverInput(player, input, nextInput, v.rect, v.mode);
        }
        mixFrame(f);
        auto [lo, hi] = pngAt.equal_range(f);
        for (auto it = lo; it != hi; ++it) save(it->second);
        if (quit) break;
    }
    if (!lastPng.empty()) save(lastPng);
    if (!wavPath.empty() && !swf::media::writeWav(wavPath, mix)) {
        std::cerr << "cannot write " << wavPath << "\n";
        rc = 1;
    }
    std::cout.flush();
    return rc;
}

int cmdBench(const std::vector<std::string>& args) {
    std::string file;
    long frames = 1000;
    int w = 0, h = 0;
    swf::Quality quality = swf::Quality::High;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--quality" && k + 1 < args.size()) {
            const std::string& q = args[++k];
            if (q != "low" && q != "high") return usage();
            quality = q == "low" ? swf::Quality::Low : swf::Quality::High;
        } else if (a == "--frames" && k + 1 < args.size()) {
            if (!parseInt(args[++k], frames) || frames <= 0) return usage();
        } else if (a == "--size" && k + 1 < args.size()) {
            if (std::sscanf(args[++k].c_str(), "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 ||
                w > 16384 || h > 16384)
                return usage();
        } else if (file.empty() && !a.starts_with("--")) {
            file = a;
        } else {
            return usage();
        }
    }
    if (file.empty()) return usage();
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    auto movie = load(file);
    if (!movie) return 1;
    const double loadMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    const auto app = makeApp();
    const auto& info = swf::movieInfo(*movie);
    if (w == 0) {
        w = std::clamp(info.widthPixels(), 1, 8192);
        h = std::clamp(info.heightPixels(), 1, 8192);
    }
    auto rate = [&](auto&& step) {
        const auto start = Clock::now();
        for (long f = 0; f < frames; ++f) step();
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        return s > 0 ? frames / s : 0.0;
    };
    swf::Player advancing(movie);
    const double advanceFps = rate([&] { advancing.advanceFrame(); });
    // Seeking: to the end of a fresh player (forward replay), then back one frame (rebuild).
    swf::Player seeking(movie);
    auto msFor = [&](auto&& step) {
        const auto start = Clock::now();
        step();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    const int last = seeking.totalFrames() - 1;
    const double seekEndMs = msFor([&] { seeking.gotoFrame(last); });
    const double seekBackMs = msFor([&] { seeking.gotoFrame(std::max(0, last - 1)); });
    swf::Player drawing(movie);
    drawing.setQuality(quality);
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    const double renderFps = rate([&] {
        drawing.advanceFrame();
        QPainter p(&img);
        drawing.render(p, QRect(0, 0, w, h), swf::ScaleMode::ShowAll);
    });
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("load: %.2f ms\n", loadMs);
    std::printf("advance: %.1f frames/s (%ld frames)\n", advanceFps, frames);
    std::printf("seek to last frame %d: %.3f ms, one back: %.3f ms\n", last, seekEndMs, seekBackMs);
    std::printf("advance+render %dx%d: %.1f frames/s\n", w, h, renderFps);
    std::printf("peak memory: %.1f MiB\n", ru.ru_maxrss / 1024.0);
    return 0;
}

bool singleColour(const QImage& img) {
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] != first) return false;
    }
    return true;
}

// The stage scaled to fit a square of side n, its shape kept.
QSize thumbSize(const swf::MovieInfo& info, int n) {
    const int w = std::max(1, info.widthPixels());
    const int h = std::max(1, info.heightPixels());
    if (w >= h) return {n, std::max(1, int(std::lround(double(n) * h / w)))};
    return {std::max(1, int(std::lround(double(n) * w / h))), n};
}

// A file manager's picture of a movie: the first frame that is not a single colour within the
// first tenth of the movie (the first frame when every one is), scaled to fit the size.
int cmdThumb(const std::vector<std::string>& args) {
    std::string file, out;
    long size = 128;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a == "--size" && k + 1 < args.size()) {
            if (!parseInt(args[++k], size) || size < 1 || size > 4096) return usage();
        } else if (file.empty() && !a.starts_with("--")) {
            file = a;
        } else if (out.empty() && !a.starts_with("--")) {
            out = a;
        } else {
            return usage();
        }
    }
    if (file.empty() || out.empty()) return usage();
    auto movie = load(file);
    if (!movie) return 1;
    const auto app = makeApp();
    swf::Player player(movie);
    const QSize picture = thumbSize(player.info(), int(size));
    auto draw = [&] {
        QImage img(picture, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        player.render(p, QRect(QPoint(0, 0), picture), swf::ScaleMode::ExactFit);
        return img;
    };
    // A tenth of the frames, at least one; a thumbnail stays quick whatever the header says.
    const long frames = std::clamp<long>((player.totalFrames() + 9) / 10, 1, 2000);
    const QImage firstFrame = draw();
    QImage chosen = firstFrame;
    for (long f = 1; f < frames && singleColour(chosen); ++f) {
        player.advanceFrame();
        if (player.quitRequested()) break;
        chosen = draw();
    }
    // Nothing but one colour in that stretch: the first frame stands for the movie.
    if (singleColour(chosen)) chosen = firstFrame;
    if (!chosen.save(QString::fromStdString(out), "PNG")) {
        std::cerr << "cannot write " << out << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    gArgc = argc;
    gArgv = argv;
    if (cmd == "info") return cmdInfo(args);  // needs no Qt application
    if (cmd == "run") return cmdRun(args);
    if (cmd == "bench") return cmdBench(args);
    if (cmd == "thumb") return cmdThumb(args);
    return usage();
}
