// List files: any bytes give a list of entries (or nothing), whatever their encoding.
#include "playlist/list_file.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList entries =
        lanfeng::parseList(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    // What was read writes back as a list that reads the same.
    if (lanfeng::parseList(lanfeng::serializeList(entries)) != entries) std::abort();
    return 0;
}
