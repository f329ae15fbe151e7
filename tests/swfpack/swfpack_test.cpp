// The container library through its two C exports, on real files in a scratch folder.
#include "swfpack/swfpack.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 131 + seed) & 0xff);
    return s;
}

void write(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
}

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Text {
    char data[4096] = {};
    SwfPackText text{data, sizeof data, 0};
    std::string str() const { return std::string(data, text.size); }
};

std::string trailer(uint32_t length) {
    std::string t("\x56\x34\x12\xFA");
    for (int i = 0; i < 4; ++i) t += char((length >> (8 * i)) & 0xff);
    return t;
}

SwfPackString arg(const std::string& s) { return {s.c_str(), s.size()}; }

class Swfpack : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/swfpack-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Swf2Exe; returns what it raised, and leaves its error text in errorText.
    std::string pack(const fs::path& swf, const fs::path& exe, const fs::path& stub) {
        Text raised;
        Swf2Exe(&errorText.text, arg(swf.string()), arg(exe.string()), arg(stub.string()),
                &raised.text);
        return raised.str();
    }
    std::string unpack(const fs::path& exe, const fs::path& base) {
        Text untouched, raised;
        std::snprintf(untouched.data, sizeof untouched.data, "mine");
        untouched.text.size = 4;
        exe2swf(&untouched.text, arg(exe.string()), arg(base.string()), &raised.text);
        EXPECT_EQ(untouched.str(), "mine");  // exe2swf never sets the error text
        return raised.str();
    }
    size_t filesInDir() const { return size_t(std::distance(fs::directory_iterator(dir), {})); }

    fs::path dir;
    Text errorText;
};

TEST_F(Swfpack, ContainerIsStubMovieSignatureAndLengthAndGivesTheMovieBack) {
    const std::string stub = bytes(811008, 7);
    write(dir / "stub", stub);
    for (size_t movieSize : {size_t(1000), size_t(0)}) {
        SCOPED_TRACE(movieSize);
        const std::string movie = bytes(movieSize, 3);
        write(dir / "m.swf", movie);
        EXPECT_EQ(pack(dir / "m.swf", dir / "p.exe", dir / "stub"), "");
        EXPECT_EQ(errorText.str(), "");
        const std::string exe = read(dir / "p.exe");
        ASSERT_EQ(exe.size(), stub.size() + movieSize + 8);
        EXPECT_EQ(exe.substr(0, stub.size()), stub);
        EXPECT_EQ(exe.substr(stub.size(), movieSize), movie);
        EXPECT_EQ(exe.substr(exe.size() - 8), trailer(uint32_t(movieSize)));
        if (movieSize == 1000) {
            EXPECT_EQ(exe.size(), 812016u);
            EXPECT_EQ(exe.substr(exe.size() - 4), std::string("\xE8\x03\0\0", 4));
        }
        struct stat st;
        ASSERT_EQ(stat((dir / "p.exe").c_str(), &st), 0);
        EXPECT_TRUE(st.st_mode & S_IXUSR) << "a projector can be started";

        write(dir / "back.swf", "an older file of that name");  // replaced
        EXPECT_EQ(unpack(dir / "p.exe", dir / "back"), "");
        EXPECT_EQ(read(dir / "back.swf"), movie);
    }
    EXPECT_EQ(filesInDir(), 4u) << "no temporary file is left behind";
}

TEST_F(Swfpack, FailedPackingLeavesEveryFileAsItWas) {
    write(dir / "stub", "STUB");
    write(dir / "m.swf", "FWS movie");
    write(dir / "old.exe", "the user's own file");
    struct Case {
        const char* name;
        fs::path swf, exe, stub;
        std::string raised;
    };
    const Case cases[] = {
        {"missing stub", dir / "m.swf", dir / "old.exe", dir / "none",
         "Cannot open file " + (dir / "none").string()},
        {"missing movie", dir / "none.swf", dir / "old.exe", dir / "stub",
         "Cannot open file " + (dir / "none.swf").string()},
        {"a folder as movie", dir, dir / "old.exe", dir / "stub",
         "Cannot open file " + dir.string()},
        {"missing stub, new name", dir / "m.swf", dir / "new.exe", dir / "none",
         "Cannot open file " + (dir / "none").string()},
        {"no such folder", dir / "m.swf", dir / "no" / "x.exe", dir / "stub",
         "Cannot create file " + (dir / "no" / "x.exe").string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pack(c.swf, c.exe, c.stub), c.raised);
        EXPECT_EQ(errorText.str(), "something error");
        EXPECT_EQ(read(dir / "old.exe"), "the user's own file");
        EXPECT_FALSE(fs::exists(dir / "new.exe"));
        EXPECT_EQ(filesInDir(), 3u);
    }
}

TEST_F(Swfpack, AMovieTooLargeForTheLengthFieldIsRefused) {
    write(dir / "stub", "STUB");
    {
        std::ofstream(dir / "big.swf").close();
        fs::resize_file(dir / "big.swf", (uintmax_t(1) << 32) + 1);  // sparse: costs no disk
    }
    EXPECT_EQ(pack(dir / "big.swf", dir / "p.exe", dir / "stub"),
              "File too large " + (dir / "big.swf").string());
    EXPECT_FALSE(fs::exists(dir / "p.exe"));
}

TEST_F(Swfpack, ExtractionWritesOnlyFromAContainerThatHoldsItsMovie) {
    write(dir / "old.swf", "kept");
    struct Case {
        const char* name;
        std::string file;
        std::string raised;
    };
    const Case cases[] = {
        {"an ordinary program", bytes(5000, 1), ""},
        {"shorter than a trailer", "\x56\x34\x12", ""},
        {"empty", "", ""},
        {"length beyond the file", "abc" + trailer(4), "Stream read error"},
        {"length of 4 GiB", "abc" + trailer(0xFFFFFFFF), "Stream read error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write(dir / "in.exe", c.file);
        EXPECT_EQ(unpack(dir / "in.exe", dir / "old"), c.raised);
        EXPECT_EQ(read(dir / "old.swf"), "kept");
        EXPECT_EQ(filesInDir(), 2u);
    }
    EXPECT_EQ(unpack(dir / "missing.exe", dir / "old"),
              "Cannot open file " + (dir / "missing.exe").string());
    // The exact fit: a movie that starts the file.
    write(dir / "in.exe", "abc" + trailer(3));
    EXPECT_EQ(unpack(dir / "in.exe", dir / "old"), "");
    EXPECT_EQ(read(dir / "old.swf"), "abc");
}

TEST(SwfpackLibrary, ExportsExactlySwf2ExeAndExe2swf) {
    FILE* nm = popen("nm -D --defined-only " SWFPACK_LIBRARY, "r");
    ASSERT_NE(nm, nullptr);
    std::string names;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        std::string l(line);
        names += l.substr(l.rfind(' ') + 1);
    }
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(names, "Swf2Exe\nexe2swf\n");
}

}  // namespace
