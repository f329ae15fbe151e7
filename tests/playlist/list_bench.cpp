// Timings of a large default list: reading and showing it in the playlist, and writing it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>

#include "app/paths.h"
#include "playlist/list_file.h"
#include "playlist/tform4.h"

namespace {

QStringList bigList(int n) {
    QStringList list;
    list.reserve(n);
    for (int i = 0; i < n; ++i)
        list << QStringLiteral("/home/user/动画/收藏/第%1集 - movie number %1.swf").arg(i);
    return list;
}

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

// The playlist window as the program makes it (styled list, docked size) reading its
// default list at creation, up to the first page painted.
void BM_LoadAndShow(benchmark::State& state) {
    lanfeng::setProgramDir(workDir().path());
    QDir().mkpath(workDir().path() + QStringLiteral("/bin"));
    lanfeng::writeListFile(lanfeng::defaultListPath(), bigList(int(state.range(0))));
    for (auto _ : state) {
        TForm4 window;
        window.resize(295, 180);
        window.FormCreate();
        window.show();
        QApplication::processEvents();
        window.ListBox1->viewport()->repaint();
        benchmark::DoNotOptimize(window.ListBox1->count());
        state.PauseTiming();  // leaving writes the default list back: not part of loading
        window.FormDestroy();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAndShow)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_Read(benchmark::State& state) {
    const QString path = workDir().path() + QStringLiteral("/read.lfl");
    lanfeng::writeListFile(path, bigList(int(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(lanfeng::readListFile(path));
}
BENCHMARK(BM_Read)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State& state) {
    const QString path = workDir().path() + QStringLiteral("/write.lfl");
    const QStringList list = bigList(int(state.range(0)));
    for (auto _ : state) lanfeng::writeListFile(path, list);
}
BENCHMARK(BM_Write)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
