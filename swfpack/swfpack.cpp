#include "swfpack/swfpack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "swfpack/container.h"

namespace {

// The run-time's error texts, which the program shows as they are.
constexpr const char* kOpenError = "Cannot open file %s";
constexpr const char* kCreateError = "Cannot create file %s";
constexpr const char* kReadError = "Stream read error";
constexpr const char* kWriteError = "Stream write error";
constexpr const char* kTooLarge = "File too large %s";

void assign(SwfPackText* text, const std::string& value) {
    if (!text || !text->data || text->capacity == 0) return;
    const size_t n = value.size() < text->capacity ? value.size() : text->capacity - 1;
    std::memcpy(text->data, value.data(), n);
    text->data[n] = '\0';
    text->size = n;
}

std::string path(SwfPackString s) { return s.data ? std::string(s.data, s.size) : std::string(); }

std::string format(const char* pattern, const std::string& name) {
    std::string out(pattern);
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, name);
    return out;
}

// What a call raises: it ends the call, and the caller sees its text.
struct Failure {
    std::string text;
};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// An input file: only regular files count, so a folder or a pipe fails as it opens.
struct Input {
    Fd fd;
    uint64_t size = 0;
    explicit Input(const std::string& name) : fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st;
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            throw Failure{format(kOpenError, name)};
        size = uint64_t(st.st_size);
    }
};

mode_t currentUmask() {
    // Read without changing it: setting the mask to find it out would race with other threads.
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                found = true;
                break;
            }
        std::fclose(f);
        if (found) return mode_t(mask);
    }
    return 022;
}

// The output, written beside its final name and renamed into place only when complete, so a
// failure leaves whatever file had that name as it was.
class Output {
public:
    Output(std::string target, mode_t mode) : target_(std::move(target)) {
        const size_t slash = target_.rfind('/');
        const std::string dir =
            slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
        temp_ = dir + "." + base + ".XXXXXX";
        const int fd = base.empty() ? -1 : ::mkostemp(temp_.data(), O_CLOEXEC);
        if (fd < 0) {
            temp_.clear();
            throw Failure{format(kCreateError, target_)};
        }
        if (::fchmod(fd, mode & ~currentUmask()) != 0) {
            ::close(fd);
            ::unlink(temp_.c_str());
            throw Failure{format(kCreateError, target_)};
        }
        fd_ = fd;
    }
    ~Output() {
        if (fd_ >= 0) ::close(fd_);
        if (!temp_.empty()) ::unlink(temp_.c_str());
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(const unsigned char* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw Failure{kWriteError};
            data += n;
            size -= size_t(n);
        }
    }

    // Copies count bytes of input from offset on.
    void copy(const Input& input, uint64_t offset, uint64_t count) {
        unsigned char buffer[1 << 16];
        while (count > 0) {
            const size_t want = count < sizeof buffer ? size_t(count) : sizeof buffer;
            const ssize_t n = ::pread(input.fd.get(), buffer, want, off_t(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw Failure{kReadError};  // the file ended early or cannot be read
            write(buffer, size_t(n));
            offset += uint64_t(n);
            count -= uint64_t(n);
        }
    }

    void commit() {
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            throw Failure{kWriteError};
        }
        fd_ = -1;
        if (::rename(temp_.c_str(), target_.c_str()) != 0)
            throw Failure{format(kCreateError, target_)};
        temp_.clear();
    }

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

template <typename Work>
void run(SwfPackText* raised, Work work) {
    assign(raised, std::string());
    try {
        work();
    } catch (const Failure& f) {
        assign(raised, f.text);
    } catch (...) {
        assign(raised, kReadError);
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void Swf2Exe(SwfPackText* ErrorText,
                                                               SwfPackString SwfPath,
                                                               SwfPackString ExePath,
                                                               SwfPackString StubPath,
                                                               SwfPackText* Raised) {
    assign(ErrorText, "something error");
    run(Raised, [&] {
        // Both inputs first: a missing one must not cost the user a file.
        const Input stub(path(StubPath));
        const Input movie(path(SwfPath));
        if (movie.size > UINT32_MAX) throw Failure{format(kTooLarge, path(SwfPath))};
        Output out(path(ExePath), 0777);
        out.copy(stub, 0, stub.size);
        out.copy(movie, 0, movie.size);
        unsigned char trailer[swfpack::kTrailerSize];
        swfpack::writeTrailer(trailer, uint32_t(movie.size));
        out.write(trailer, sizeof trailer);
        out.commit();
        assign(ErrorText, std::string());
    });
}

extern "C" __attribute__((visibility("default"))) void exe2swf(SwfPackText*, SwfPackString ExePath,
                                                               SwfPackString OutputBase,
                                                               SwfPackText* Raised) {
    run(Raised, [&] {
        const Input exe(path(ExePath));
        if (exe.size < uint64_t(swfpack::kTrailerSize)) return;
        unsigned char tail[swfpack::kTrailerSize];
        const uint64_t at = exe.size - swfpack::kTrailerSize;
        if (::pread(exe.fd.get(), tail, sizeof tail, off_t(at)) != ssize_t(sizeof tail))
            throw Failure{kReadError};
        const swfpack::Trailer trailer = swfpack::readTrailer(tail, exe.size);
        if (trailer.kind == swfpack::TrailerKind::None) return;
        // A length the file cannot hold is caught before any output exists.
        if (trailer.kind == swfpack::TrailerKind::Impossible) throw Failure{kReadError};
        Output out(path(OutputBase) + ".swf", 0666);
        out.copy(exe, at - trailer.length, trailer.length);
        out.commit();
    });
}
