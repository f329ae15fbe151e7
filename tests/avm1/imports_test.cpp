// ImportAssets: exported sprites of another file, their frame and init actions, and the bounds
// on what imports may load.

#include <filesystem>
#include <fstream>

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& tag = "") {
        path =
            fs::temp_directory_path() /
            ("avm1_imports_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + tag);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
};

ActionWriter say(const std::string& s) {
    ActionWriter a;
    push(a, {s}).trace();
    return a;
}

// ExportAssets or ImportAssets body: [url,] count, then (id, name) pairs.
std::vector<uint8_t> assets(std::optional<std::string> url,
                            std::vector<std::pair<uint16_t, std::string>> items) {
    std::vector<uint8_t> b;
    if (url) putString(b, *url);
    putU16(b, static_cast<uint16_t>(items.size()));
    for (const auto& [id, name] : items) {
        putU16(b, id);
        putString(b, name);
    }
    return b;
}

// A library exporting one sprite as `name`: its init action and first frame trace.
std::vector<uint8_t> library(const std::string& name, std::optional<std::string> importsFrom = {}) {
    swftest::SwfBuilder b(6);
    if (importsFrom) b.rawTag(57, assets(*importsFrom, {{40, "x"}}));
    swftest::SpriteBuilder sp;
    sp.doAction(say(name + " frame"));
    sp.showFrame();
    const uint16_t id = b.defineSprite(sp);
    b.doInitAction(id, say(name + " init"));
    b.rawTag(56, assets(std::nullopt, {{id, name}}));
    b.showFrame();
    return b.bytes();
}

std::vector<std::string> runMain(const TempDir& dir, const std::string& importFile,
                                 const std::string& name) {
    swftest::SwfBuilder b(6);
    b.rawTag(57, assets(importFile, {{7, name}}));
    b.place(7, 1);
    b.doAction(say("main"));
    b.showFrame();
    dir.write("main.swf", b.bytes());
    swf::Player p(swf::loadMovieFile((dir.path / "main.swf").string()));
    std::vector<std::string> lines;
    p.setTraceSink([&](std::string_view l) { lines.emplace_back(l); });
    p.advanceFrame();
    return lines;
}

}  // namespace

TEST(Avm1Imports, ImportedSpriteRunsItsInitAndFrameActions) {
    TempDir dir;
    dir.write("lib.swf", library("lib"));
    const auto lines = runMain(dir, "lib.swf", "LIB");  // names match regardless of case
    EXPECT_EQ(lines, (std::vector<std::string>{"lib init", "lib frame", "main"}));
}

TEST(Avm1Imports, MissingBrokenAndCyclicImportsAreSkipped) {
    TempDir dir;
    EXPECT_EQ(runMain(dir, "nothere.swf", "lib"), (std::vector<std::string>{"main"}));
    dir.write("junk.swf", {'F', 'W', 'S', 6, 1, 2});
    EXPECT_EQ(runMain(dir, "junk.swf", "lib"), (std::vector<std::string>{"main"}));
    EXPECT_EQ(runMain(dir, "/etc/passwd", "lib"), (std::vector<std::string>{"main"}));
    // a.swf and b.swf import each other; each loads once along the chain.
    dir.write("a.swf", library("a", "b.swf"));
    dir.write("b.swf", library("b", "a.swf"));
    EXPECT_EQ(runMain(dir, "a.swf", "a"), (std::vector<std::string>{"a init", "a frame", "main"}));
}

TEST(Avm1Imports, NestingStopsAtEightFiles) {
    TempDir dir;
    // f0 imports f1 ... each re-exports the sprite it imported under the same name.
    for (int i = 0; i < 12; ++i) {
        swftest::SwfBuilder b(6);
        if (i < 11) {
            b.rawTag(57, assets("f" + std::to_string(i + 1) + ".swf", {{1, "s"}}));
            b.rawTag(56, assets(std::nullopt, {{1, "s"}}));
        } else {
            swftest::SpriteBuilder sp;
            sp.doAction(say("deep"));
            sp.showFrame();
            b.rawTag(56, assets(std::nullopt, {{b.defineSprite(sp), "s"}}));
        }
        b.showFrame();
        dir.write("f" + std::to_string(i) + ".swf", b.bytes());
    }
    EXPECT_EQ(runMain(dir, "f0.swf", "s"), (std::vector<std::string>{"main"}));
    EXPECT_EQ(runMain(dir, "f5.swf", "s"), (std::vector<std::string>{"deep", "main"}));
}

// Imports reach only the movie's own folder and below: not its parent, not through a link
// leading out, not hidden files or folders.
TEST(Avm1Imports, ImportsStayInTheMoviesFolder) {
    TempDir dir;
    TempDir outside("_outside");
    fs::create_directories(dir.path / "sub");
    fs::create_directories(dir.path / ".hidden");
    outside.write("lib.swf", library("lib"));
    dir.write("sub/lib.swf", library("lib"));
    dir.write(".hidden/lib.swf", library("lib"));
    dir.write(".lib.swf", library("lib"));
    fs::create_symlink(outside.path / "lib.swf", dir.path / "link.swf");
    fs::create_symlink(dir.path / ".lib.swf", dir.path / "shown.swf");
    const std::string up = "../" + outside.path.filename().string() + "/lib.swf";
    const std::vector<std::string> imported{"lib init", "lib frame", "main"}, not_{"main"};
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"sub/lib.swf", imported}, {"sub/../sub/lib.swf", imported}, {up, not_},
        {"link.swf", not_},        {".hidden/lib.swf", not_},        {".lib.swf", not_},
        {"shown.swf", not_},       {"sub/../../x/lib.swf", not_}};
    for (const auto& [url, want] : cases) EXPECT_EQ(runMain(dir, url, "lib"), want) << url;
}
