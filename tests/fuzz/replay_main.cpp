// Without libFuzzer: runs a target over every file of the folders given (the findings kept
// in regressions/), so each stays fixed. Exits non-zero when a folder cannot be read.
#include <QDir>
#include <QFile>
#include <cstdio>

#include "tests/fuzz/fuzz_support.h"

int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        if (!dir.exists()) {
            std::fprintf(stderr, "no folder %s\n", argv[i]);
            return 2;
        }
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
            if (name == ".keep") continue;
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) return 2;
            const QByteArray bytes = f.readAll();
            std::printf("%s\n", qPrintable(name));
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                   static_cast<size_t>(bytes.size()));
            ++files;
        }
    }
    std::printf("%d inputs replayed\n", files);
    return 0;
}
