// Projectors: any file either gives back exactly the movie its trailer names, or nothing.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "swfpack/container.h"
#include "swfpack/swfpack.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const std::string& workDir() {
    // Every run writes and syncs files: in memory (/dev/shm) that costs little.
    static const std::string dir = [] {
        char shm[] = "/dev/shm/lanfeng-fuzz-trailer-XXXXXX";
        if (mkdtemp(shm)) return std::string(shm);
        char tmpl[] = "/tmp/lanfeng-fuzz-trailer-XXXXXX";
        return std::string(mkdtemp(tmpl) ? tmpl : "/tmp");
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string exe = workDir() + "/in.exe", base = workDir() + "/out";
    const std::string swf = base + ".swf";
    std::remove(swf.c_str());
    std::ofstream(exe, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
    char errBuf[256], raisedBuf[512];
    SwfPackText err{errBuf, sizeof errBuf, 0}, raised{raisedBuf, sizeof raisedBuf, 0};
    exe2swf(&err, {exe.c_str(), exe.size()}, {base.c_str(), base.size()}, &raised);
    std::ifstream in(swf, std::ios::binary);
    const std::vector<uint8_t> out{std::istreambuf_iterator<char>(in), {}};
    const swfpack::Trailer t = size >= swfpack::kTrailerSize
                                   ? swfpack::readTrailer(data + size - swfpack::kTrailerSize, size)
                                   : swfpack::Trailer{};
    if (t.kind == swfpack::TrailerKind::Movie) {
        const uint8_t* movie = data + size - swfpack::kTrailerSize - t.length;
        if (!in || out != std::vector<uint8_t>(movie, movie + t.length)) std::abort();
    } else if (in) {
        std::abort();  // a file without a movie must write nothing
    }
    return 0;
}
