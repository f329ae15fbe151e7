#pragma once
// What the fuzz targets share: the entry libFuzzer calls, and the Qt set-up drawing needs.

#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzzing {

// Device text and font metrics need a GUI application; an offscreen one, made once.
inline void ensureGuiApp() {
    static int argc = 1;
    static char name[] = "lanfeng-fuzz";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

}  // namespace fuzzing
