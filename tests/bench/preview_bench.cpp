// The previews' costs (Google Benchmark; reported, never asserted): entering the nine-grid on a
// 5 MB movie against loading it into one player, the whole grid drawn at full screen, and the
// CPU a stopped grid takes.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <utility>

#include "app/application.h"
#include "app/forms.h"
#include "app/paths.h"
#include "player/player_control.h"
#include "tests/app/test_movies.h"
#include "tests/support/swf_writer.h"
#include "ui/prompt.h"
#include "video/tform1.h"

namespace {

constexpr int kFrames = 900;

// About 5 MB of vector art over 900 frames: a new 1620-edge outline every frame.
QByteArray fiveMegabyteMovie() {
    swftest::SwfBuilder b(6, 550, 400, 24);
    b.setBackground({255, 255, 255});
    for (int k = 0; k < kFrames; ++k) {
        swftest::ShapeDesc s;
        s.fills.push_back({uint8_t(k * 37), uint8_t(k * 91), uint8_t(k * 53 + 40)});
        s.lines.push_back({20, {0, 0, 0}});
        swftest::ShapeDesc::Path p;
        p.fill1 = 1;
        p.line = 1;
        // A ragged star round the stage's middle: detailed, but not crossing itself.
        const auto point = [k](int i) {
            const double angle = 2 * 3.14159265358979 * i / 1620;
            const double r = 2500 + (i * 7919 + k * 104729) % 1500;
            return std::pair<int, int>(5500 + int(r * std::cos(angle)),
                                       4000 + int(r * std::sin(angle)));
        };
        p.cmds.push_back({swftest::PathCmd::Move, point(0).first, point(0).second});
        for (int i = 1; i <= 1620; ++i)
            p.cmds.push_back(
                {swftest::PathCmd::Line, point(i % 1620).first, point(i % 1620).second});
        s.paths.push_back(p);
        const uint16_t id = b.defineShape(s);
        if (k == 0)
            b.place(id, 1);
        else
            b.replace(id, 1);
        b.showFrame();
    }
    const auto bytes = b.bytes(swftest::Compression::None);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

struct Program {
    QTemporaryDir dir;
    QString movie;
    Program() {
        lanfeng::setProgramDir(dir.path());
        lanfeng::installPrompt(std::make_unique<lanfeng::ScriptedPrompt>());
        lanfeng::setCommandLineArguments({QStringLiteral("lanfeng")});
        movie = dir.path() + "/five.swf";
        testmovies::writeFile(movie, fiveMegabyteMovie());
        lanfeng::createForms();
        QCoreApplication::processEvents();
    }
    ~Program() { lanfeng::destroyForms(); }
};

std::unique_ptr<Program> running;  // made at first use, gone before the application

Program& program() {
    if (!running) running = std::make_unique<Program>();
    return *running;
}

void BM_LoadIntoOnePlayer(benchmark::State& state) {
    const QString movie = program().movie;
    for (auto _ : state) {
        PlayerControl player;  // nothing else holds the movie: parsed afresh each time
        player.Movie(movie);
        benchmark::DoNotOptimize(player.TotalFrames());
    }
    state.counters["file_MB"] = double(QFileInfo(movie).size()) / 1e6;
}
BENCHMARK(BM_LoadIntoOnePlayer)->Unit(benchmark::kMillisecond);

// The main player loads the movie, then the grid is entered: nine cells on one parse.
void BM_LoadThenEnterNineGrid(benchmark::State& state) {
    const QString movie = program().movie;
    for (auto _ : state) {
        Form1->ShockwaveFlash1->Movie(movie);
        Form1->N5Click();
        state.PauseTiming();
        Form1->Button1Click();  // every cell lets the movie go again
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadThenEnterNineGrid)->Unit(benchmark::kMillisecond);

// Entering alone, with the movie already playing in the main player.
void BM_EnterNineGrid(benchmark::State& state) {
    const QString movie = program().movie;
    for (auto _ : state) {
        state.PauseTiming();
        Form1->ShockwaveFlash1->Movie(movie);
        state.ResumeTiming();
        Form1->N5Click();
        state.PauseTiming();
        Form1->Button1Click();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EnterNineGrid)->Unit(benchmark::kMillisecond);

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// One beat of all nine cells playing in a 1280 x 1024 full screen: each moves on a frame and
// its frame is drawn on the drawing threads, as the window does. The movie's rate gives the
// budget of a beat.
void BM_GridBeatFullScreen1280x1024(benchmark::State& state) {
    const QString movie = program().movie;
    Form1->show();
    Form1->setGeometry(0, 0, 1280, 1024);
    Form1->ShockwaveFlash1->setGeometry(0, 0, 1280, 1024);
    Form1->ShockwaveFlash1->Movie(movie);
    Form1->N5Click();
    for (int n = 0; n < 9; ++n) {
        Form1->gridCells[n]->Play();
        Form1->gridCells[n]->waitForFrame();
    }
    int over = 0;
    double advanceMs = 0;  // of the beats' time, what moving the cells on took
    // The program's CPU over the beats, every thread's: on a machine shared with other work
    // the beats' own time also counts the waits for a core.
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (PlayerControl* cell : Form1->gridCells) cell->clockTick();
        const auto advanced = std::chrono::steady_clock::now();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);  // the drawings start
        for (PlayerControl* cell : Form1->gridCells) cell->waitForFrame();
        advanceMs += std::chrono::duration<double, std::milli>(advanced - start).count();
        if (std::chrono::steady_clock::now() - start > std::chrono::microseconds(1'000'000 / 24))
            ++over;
    }
    state.counters["budget_ms"] = 1000.0 / 24;
    state.counters["beats_over_budget"] = over;
    state.counters["advance_ms"] = advanceMs / double(state.iterations());
    state.counters["cpu_ms"] =
        (processCpuSeconds() - cpuBefore) * 1000 / double(state.iterations());
    state.counters["cell_w"] = Form1->gridCells[0]->width();
    state.counters["cell_h"] = Form1->gridCells[0]->height();
    Form1->Button1Click();
}
BENCHMARK(BM_GridBeatFullScreen1280x1024)->Unit(benchmark::kMillisecond)->Iterations(120);

// The program's CPU over two seconds of its event loop with the nine-grid shown and stopped.
void BM_StoppedGridCpu(benchmark::State& state) {
    const QString movie = program().movie;
    Form1->setGeometry(389, 167, 400, 308);
    Form1->ShockwaveFlash1->setGeometry(Form1->normalPlayerRect());
    Form1->ShockwaveFlash1->Movie(movie);
    Form1->N5Click();
    QCoreApplication::processEvents();
    double percent = 0;
    for (auto _ : state) {
        const double cpu = processCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
        percent = (processCpuSeconds() - cpu) / 2.0 * 100.0;
    }
    state.counters["cpu_percent"] = percent;
    Form1->Button1Click();
}
BENCHMARK(BM_StoppedGridCpu)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    lanfeng::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    running.reset();
    return 0;
}
