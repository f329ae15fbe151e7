// Timings of a large default list: reading and showing it in the playlist, and writing it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>

#include "playlist/list_file.h"

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

void BM_LoadAndShow(benchmark::State& state) {
    const QString path = workDir().path() + QStringLiteral("/default.lfl");
    lanfeng::writeListFile(path, bigList(int(state.range(0))));
    QListWidget list;
    list.setUniformItemSizes(true);
    list.resize(263, 133);
    list.show();
    for (auto _ : state) {
        list.clear();
        list.addItems(lanfeng::readListFile(path));
        QApplication::processEvents();  // lay out and paint the first page
        benchmark::DoNotOptimize(list.count());
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
