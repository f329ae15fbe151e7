// lanfeng-cli: the engine without windows. info, run and bench.

#include <sys/resource.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
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
           "  lanfeng-cli bench FILE|DIR [--size WxH] [--frames N] [--quality low|high]\n"
           "                    [--threads N[,N...]] [--cold]\n"
           "  lanfeng-cli bench [FILE] --floor [--size WxH] [--frames N]\n"
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

// CPU time of the whole process (every thread), for rates on a shared machine.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

using Clock = std::chrono::steady_clock;

// Frames per second of wall time (and CPU milliseconds a frame) for frames of step, or
// for as many as fit into budget seconds when that is less.
struct Rate {
    double fps = 0, cpuMs = 0;
    long frames = 0;
};
template <class Step>
Rate measure(long frames, double budget, Step&& step) {
    const auto start = Clock::now();
    const double cpu0 = cpuSeconds();
    Rate r;
    double s = 0;
    for (; r.frames < frames; ++r.frames) {
        step(r.frames);
        s = std::chrono::duration<double>(Clock::now() - start).count();
        if (s > budget) {
            ++r.frames;
            break;
        }
    }
    s = std::chrono::duration<double>(Clock::now() - start).count();
    r.fps = s > 0 ? r.frames / s : 0;
    r.cpuMs = r.frames ? (cpuSeconds() - cpu0) * 1000 / r.frames : 0;
    return r;
}

// The floor the engine is held against: the painter alone filling the stress movie's 1,000
// gradient rectangles (the same ones, from the same seed) on a w x h image, as fast as it can.
Rate floorRate(int w, int h, long frames) {
    std::mt19937 rng(1000);
    std::uniform_int_distribution<int> pos(0, 1180), size(60, 400), channel(0, 255);
    struct Item {
        QPainterPath path;
        QBrush brush;
    };
    std::vector<Item> items;
    for (int i = 0; i < 1000; ++i) {
        const int rw = size(rng), rh = size(rng);
        const double s = std::max(rw, rh) * 20 / 32768.0;
        QGradientStops stops;
        for (int k = 0; k < 3; ++k) {
            const int r = channel(rng), g = channel(rng), b = channel(rng);
            stops.push_back({k * 127 / 255.0, QColor(r, g, b, 160 + k * 40)});
        }
        QGradient grad = i % 3 == 0 ? QGradient(QRadialGradient(0, 0, 16384))
                                    : QGradient(QLinearGradient(-16384, 0, 16384, 0));
        grad.setStops(stops);
        grad.setSpread(i % 3 == 0   ? QGradient::PadSpread
                       : i % 3 == 1 ? QGradient::ReflectSpread
                                    : QGradient::RepeatSpread);
        QBrush brush(grad);
        brush.setTransform(QTransform(s, i % 5 == 0 ? s / 2 : 0, 0, s, rw * 10, rh * 10));
        QPainterPath path;
        path.addRect(0, 0, rw * 20, rh * 20);
        path.translate(pos(rng) * 20, pos(rng) * 12);
        brush.setTransform(brush.transform() * QTransform::fromTranslate(path.boundingRect().x(),
                                                                         path.boundingRect().y()));
        items.push_back({path, brush});
    }
    swf::MovieInfo stage;
    stage.stageXMax = 1280 * 20;
    stage.stageYMax = 720 * 20;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    return measure(frames, 60, [&](long) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(img.rect(), Qt::white);
        p.setPen(Qt::NoPen);
        const double k = std::min(w / 1280.0, h / 720.0);
        p.translate((w - 1280 * k) / 2, (h - 720 * k) / 2);
        p.scale(k / 20, k / 20);
        for (const auto& it : items) {
            p.setBrush(it.brush);
            p.drawPath(it.path);
        }
    });
}

// Every movie below dir (".swf" files), each played at w x h for up to frames frames (and
// about two seconds): its own rate, the rate reached, and how many keep up.
int benchFolder(const std::string& dir, int w, int h, long frames, swf::Quality quality) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".swf")
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::cerr << dir << ": no .swf files\n";
        return 1;
    }
    const auto app = makeApp();
    struct Row {
        std::string file;
        double own, reached;
    };
    std::vector<Row> rows;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (const auto& file : files) {
        std::shared_ptr<const swf::Movie> movie;
        try {
            movie = swf::loadMovieFile(file);
        } catch (const swf::LoadError&) {
            continue;  // not a playable movie: not counted
        }
        QTemporaryDir storage;
        swf::Player player(movie, {storage.isValid() ? storage.path().toStdString() : "", file});
        player.setQuality(quality);
        player.setTraceSink([](std::string_view) {});
        const double own = player.info().frameRate > 0 ? player.info().frameRate : 12.0;
        const Rate r = measure(frames, 2.0, [&](long f) {
            if (f > 0) player.advanceFrame();
            QPainter p(&img);
            player.render(p, img.rect(), swf::ScaleMode::ShowAll);
        });
        rows.push_back({file.substr(dir.size() + (dir.ends_with('/') ? 0 : 1)), own, r.fps});
        std::printf("%-60s own %6.1f reached %8.1f %s\n", rows.back().file.c_str(), own, r.fps,
                    r.fps >= own ? "" : "SLOW");
        std::fflush(stdout);
    }
    const auto keep =
        std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.reached >= r.own; });
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.reached / a.own < b.reached / b.own; });
    std::printf("slowest (reached / own rate):\n");
    for (size_t i = 0; i < rows.size() && i < 10; ++i)
        std::printf("  %-58s %8.1f / %5.1f\n", rows[i].file.c_str(), rows[i].reached, rows[i].own);
    std::printf("keep their rate at %dx%d: %ld of %zu\n", w, h, long(keep), rows.size());
    return 0;
}

int cmdBench(const std::vector<std::string>& args) {
    std::string file;
    long frames = 1000;
    int w = 0, h = 0;
    std::vector<int> threadCounts{0};  // more than one: compared in alternating rounds
    bool floor = false, cold = false, framesGiven = false;
    swf::Quality quality = swf::Quality::High;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        long n = 0;
        if (a == "--quality" && k + 1 < args.size()) {
            const std::string& q = args[++k];
            if (q != "low" && q != "high") return usage();
            quality = q == "low" ? swf::Quality::Low : swf::Quality::High;
        } else if (a == "--frames" && k + 1 < args.size()) {
            if (!parseInt(args[++k], frames) || frames <= 0) return usage();
            framesGiven = true;
        } else if (a == "--threads" && k + 1 < args.size()) {
            threadCounts.clear();
            for (const auto& part : QString::fromStdString(args[++k]).split(',')) {
                if (!parseInt(part.toStdString(), n) || n < 0 || n > 64) return usage();
                threadCounts.push_back(int(n));
            }
        } else if (a == "--size" && k + 1 < args.size()) {
            if (std::sscanf(args[++k].c_str(), "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 ||
                w > 16384 || h > 16384)
                return usage();
        } else if (a == "--floor") {
            floor = true;
        } else if (a == "--cold") {
            cold = true;
        } else if (file.empty() && !a.starts_with("--")) {
            file = a;
        } else {
            return usage();
        }
    }
    const int threads = threadCounts.front();
    swf::setRenderThreads(threads);
    auto floorLine = [&](int fw, int fh, long count) {
        const Rate r = floorRate(fw, fh, count);
        std::printf(
            "floor (painter alone, 1000 gradient paths) %dx%d: %.1f frames/s, %.2f ms CPU a "
            "frame\n",
            fw, fh, r.fps, r.cpuMs);
        return r;
    };
    if (floor && file.empty()) {
        if (w == 0) w = 1280, h = 1024;
        const auto app = makeApp();
        floorLine(w, h, framesGiven ? frames : 30);
        return 0;
    }
    if (file.empty()) return usage();
    if (std::filesystem::is_directory(file)) {
        if (w == 0) w = 1280, h = 1024;
        return benchFolder(file, w, h, framesGiven ? frames : 60, quality);
    }
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
    swf::Player advancing(movie);
    const double advanceFps = measure(frames, 1e9, [&](long) { advancing.advanceFrame(); }).fps;
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
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    std::unique_ptr<swf::Player> drawing = std::make_unique<swf::Player>(movie);
    drawing->setQuality(quality);
    long frameNo = 0;  // frames drawn so far, over every round
    auto frameRate = [&](long count) {
        return measure(count, 1e9, [&](long) {
            const long f = frameNo++;
            // Cold: a new player each frame, so nothing of the frame before is reused.
            if (cold) {
                drawing = std::make_unique<swf::Player>(movie);
                drawing->setQuality(quality);
                drawing->gotoFrame(int(f % std::max(1, drawing->totalFrames())));
            } else {
                drawing->advanceFrame();
            }
            QPainter p(&img);
            drawing->render(p, QRect(0, 0, w, h), swf::ScaleMode::ShowAll);
        });
    };
    // Several thread counts take turns, round by round, on the same player: a shared machine's
    // drift falls on every count alike. Each count's median round is its figure.
    constexpr int kRounds = 9;
    const bool compare = threadCounts.size() > 1;
    std::vector<std::vector<Rate>> rounds(threadCounts.size());
    Rate r;
    if (compare) {
        for (int round = 0; round < kRounds; ++round)
            for (size_t i = 0; i < threadCounts.size(); ++i) {
                swf::setRenderThreads(threadCounts[i]);
                rounds[i].push_back(frameRate(std::max(1L, frames / kRounds)));
            }
        for (auto& list : rounds)
            std::sort(list.begin(), list.end(),
                      [](const Rate& a, const Rate& b) { return a.fps < b.fps; });
        r = rounds[0][rounds[0].size() / 2];
    } else {
        r = frameRate(frames);
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("load: %.2f ms\n", loadMs);
    std::printf("advance: %.1f frames/s (%ld frames)\n", advanceFps, frames);
    std::printf("seek to last frame %d: %.3f ms, one back: %.3f ms\n", last, seekEndMs, seekBackMs);
    auto report = [&](const Rate& rate, int count) {
        std::printf("%s %dx%d: %.1f frames/s, %.2f ms CPU a frame (%d threads)",
                    cold ? "render cold" : "advance+render", w, h, rate.fps, rate.cpuMs,
                    count > 0 ? count : int(std::thread::hardware_concurrency()));
    };
    if (!compare) {
        report(r, threads);
        std::printf("\n");
    }
    // With a movie, the floor is measured in the same run, at the movie's size.
    if (floor) {
        const Rate f = floorLine(w, h, std::min(frames, 30L));
        std::printf("the movie's frame costs %.3fx the floor's\n", f.fps / r.fps);
    }
    for (size_t i = 0; compare && i < threadCounts.size(); ++i) {
        const Rate& median = rounds[i][rounds[i].size() / 2];
        report(median, threadCounts[i]);
        std::printf(", median of %d rounds, %.2fx the first count\n", kRounds,
                    median.fps / rounds[0][rounds[0].size() / 2].fps);
    }
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
