// Movies loaded at run time: loadMovie into a clip, loadMovieNum onto a level, unloading, the
// MovieClipLoader's events, and files that are missing, broken or outside the movie's folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/player.h"
#include "tests/avm1/player_run.h"
#include "tests/support/swf_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct TempDir {
    fs::path path;
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() /
               (std::string("avm1_loaded_") + info->name() + "_" + std::to_string(::getpid()));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    void write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
};

// Raw action bytes, so function bodies can follow their DefineFunction.
struct Code {
    Bytes b;
    Code& str(const std::string& s) {
        Bytes p{0};
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
        return act(0x96, p);
    }
    Code& num(int32_t v) {
        return act(0x96, {7, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    }
    Code& op(uint8_t code) {
        b.push_back(code);
        return *this;
    }
    Code& act(uint8_t code, const Bytes& payload) {
        b.push_back(code);
        b.push_back(static_cast<uint8_t>(payload.size()));
        b.push_back(static_cast<uint8_t>(payload.size() >> 8));
        b.insert(b.end(), payload.begin(), payload.end());
        return *this;
    }
    Code& get(const std::string& name) { return str(name).op(0x1C); }
    Code& trace() { return op(0x26); }
    // trace(prefix + <name>)
    Code& say(const std::string& prefix, const std::string& name) {
        return str(prefix).get(name).op(0x47).trace();
    }
    // obj.method(args...) with the arguments already pushed in reverse, result dropped.
    Code& callMethod(const std::string& obj, const std::string& method, int args) {
        return num(args).get(obj).str(method).op(0x52).op(0x17);
    }
    // getURL2 as loadMovie (clip target) or loadMovieNum (level target).
    Code& load(const std::string& url, const std::string& target, bool clipTarget) {
        return str(url).str(target).act(0x9A, {static_cast<uint8_t>(clipTarget ? 0x40 : 0)});
    }
    // obj.name = function(params) { body }
    Code& method(const std::string& obj, const std::string& name,
                 const std::vector<std::string>& params, const Code& body) {
        get(obj).str(name);
        Bytes p{0, static_cast<uint8_t>(params.size()), 0};
        for (const auto& s : params) {
            p.insert(p.end(), s.begin(), s.end());
            p.push_back(0);
        }
        p.push_back(static_cast<uint8_t>(body.b.size()));
        p.push_back(static_cast<uint8_t>(body.b.size() >> 8));
        act(0x9B, p);
        b.insert(b.end(), body.b.begin(), body.b.end());
        return op(0x4F);
    }
    Bytes done() const {
        Bytes out = b;
        out.push_back(0);
        return out;
    }
};

// A movie of one frame running code.
Bytes movie(const Code& code, int version = 8) {
    swftest::SwfBuilder b(version);
    b.rawTag(12, code.done());
    b.showFrame();
    return b.bytes();
}

// The child traces where it stands and what _root means to it, and keeps a variable.
Bytes child() {
    Code c;
    c.say("child this=", "this").say("child root=", "_root");
    c.str("v").str("kept").op(0x1D);
    return movie(c);
}

std::vector<std::string> run(const TempDir& dir, const Bytes& main, int frames) {
    dir.write("main.swf", main);
    swf::Player p(swf::loadMovieFile((dir.path / "main.swf").string()));
    std::vector<std::string> lines;
    p.setTraceSink([&](std::string_view l) { lines.emplace_back(l); });
    for (int i = 0; i < frames; ++i) p.advanceFrame();
    return lines;
}

// A main movie of two frames: the first runs first, the second (looping) runs second.
Bytes twoFrames(const Code& first, const Code& second) {
    swftest::SwfBuilder b(8);
    b.rawTag(12, first.done());
    b.showFrame();
    Code s = second;
    s.op(0x07);  // stop
    b.rawTag(12, s.done());
    b.showFrame();
    return b.bytes();
}

}  // namespace

TEST(Avm1LoadedMovie, LoadMovieTakesTheClipsPlaceAndKeepsTheLevelsRoot) {
    TempDir dir;
    dir.write("child.swf", child());
    Code first;
    first.num(1).str("clip").callMethod("_root", "createEmptyMovieClip", 2);
    first.load("child.swf", "clip", true).str("asked").trace();
    Code second;
    second.say("read ", "clip.v").say("path ", "clip");
    // Each clip's _url is the file its movie came from.
    second.say("", "_url").say("", "clip._url");
    auto url = [&](const char* name) {
        return "file://" + (dir.path / name).lexically_normal().generic_string();
    };
    EXPECT_EQ(run(dir, twoFrames(first, second), 2),
              (std::vector<std::string>{"asked", "child this=_level0.clip", "child root=_level0",
                                        "read kept", "path _level0.clip", url("main.swf"),
                                        url("child.swf")}));
}

TEST(Avm1LoadedMovie, LoadMovieNumPutsTheMovieOnItsOwnLevel) {
    TempDir dir;
    dir.write("child.swf", child());
    Code first;
    first.load("child.swf", "_level3", false);
    Code second;
    second.say("read ", "_level3.v").str("_level3").op(0x1C).op(0x44).trace();
    EXPECT_EQ(run(dir, twoFrames(first, second), 2),
              (std::vector<std::string>{"child this=_level3", "child root=_level3", "read kept",
                                        "movieclip"}));
}

TEST(Avm1LoadedMovie, UnloadingRemovesTheLevelAndTellsTheClip) {
    TempDir dir;
    dir.write("child.swf", child());
    Code first;
    first.load("child.swf", "_level1", false);
    Code second;
    second.method("_level1", "onUnload", {}, Code().str("unloaded").trace());
    second.load("", "_level1", false);
    // The unload is answered at the end of the frame after the one asking for it.
    Code third;
    third.str("_level1").op(0x1C).op(0x44).trace();
    Code fourth;
    fourth.str("_level1").op(0x1C).op(0x44).trace().op(0x07);
    swftest::SwfBuilder b(8);
    for (const Code* c : {&first, &second, &third, &fourth}) {
        b.rawTag(12, c->done());
        b.showFrame();
    }
    EXPECT_EQ(run(dir, b.bytes(), 4),
              (std::vector<std::string>{"child this=_level1", "child root=_level1", "movieclip",
                                        "unloaded", "undefined"}));
}

TEST(Avm1LoadedMovie, MovieClipLoaderEventsComeInTheirOrder) {
    TempDir dir;
    dir.write("child.swf", child());
    Code c;
    c.num(1).str("clip").callMethod("_root", "createEmptyMovieClip", 2);
    c.str("mcl").num(0).str("MovieClipLoader").op(0x40).op(0x1D);
    c.method("mcl", "onLoadStart", {"mc"}, Code().say("start ", "mc"));
    c.method("mcl", "onLoadProgress", {"mc", "n"}, Code().say("progress ", "n"));
    c.method("mcl", "onLoadComplete", {"mc"}, Code().say("complete ", "mc"));
    c.method("mcl", "onLoadInit", {"mc"}, Code().say("init ", "mc"));
    c.method("mcl", "onLoadError", {"mc", "e"}, Code().say("error ", "e"));
    c.str("clip").str("child.swf").callMethod("mcl", "loadClip", 2);
    c.str("clip").str("missing.swf").callMethod("mcl", "loadClip", 2);
    const Bytes childBytes = child();
    // A file that is found arrives at the end of the asking frame; a missing one is reported
    // at the end of the next.
    EXPECT_EQ(run(dir, movie(c), 2),
              (std::vector<std::string>{
                  "start _level0.clip", "progress " + std::to_string(childBytes.size()),
                  "complete _level0.clip", "child this=_level0.clip", "child root=_level0",
                  "init _level0.clip", "error URLNotFound"}));
}

TEST(Avm1LoadedMovie, BrokenMissingAndOutsideFilesLoadNothing) {
    TempDir dir;
    fs::create_directories(dir.path / "in");
    dir.write("child.swf", child());  // beside the folder the movie plays from, not in it
    dir.write("in/junk.swf", {'F', 'W', 'S', 8, 0xff, 0xff, 0xff, 0x7f, 1, 2, 3});
    dir.write("in/empty.swf", {});
    Code c;
    c.load("junk.swf", "_level1", false).load("empty.swf", "_level2", false);
    c.load("../child.swf", "_level3", false).load("/etc/passwd", "_level4", false);
    c.load("child.swf", "_level99999", false);
    Code second;
    for (const char* l : {"_level1", "_level2", "_level3", "_level4"})
        second.str(l).op(0x1C).op(0x44).trace();
    swftest::SwfBuilder b(8);
    b.rawTag(12, c.done());
    b.showFrame();
    second.op(0x07);
    b.rawTag(12, second.done());
    b.showFrame();
    dir.write("in/main.swf", b.bytes());
    swf::Player p(swf::loadMovieFile((dir.path / "in" / "main.swf").string()));
    std::vector<std::string> lines;
    p.setTraceSink([&](std::string_view l) { lines.emplace_back(l); });
    for (int i = 0; i < 3; ++i) p.advanceFrame();
    EXPECT_EQ(lines, (std::vector<std::string>(4, "undefined")));
}

TEST(Avm1LoadedMovie, AMovieLoadingItselfForeverStaysBounded) {
    TempDir dir;
    // Each copy loads another copy into a clip of its own, every frame.
    Code c;
    c.num(1).str("inner").callMethod("this", "createEmptyMovieClip", 2);
    c.load("self.swf", "inner", true);
    c.load("self.swf", "_level7", false);
    dir.write("self.swf", movie(c));
    const auto lines = run(dir, movie(c), 40);
    EXPECT_TRUE(lines.empty());
}

TEST(Avm1LoadedMovie, LoadedPictureIsDrawnWhereItsClipStands) {
    TempDir dir;
    QImage red(20, 10, QImage::Format_ARGB32);
    red.fill(QColor(255, 0, 0));
    ASSERT_TRUE(red.save(QString::fromStdString((dir.path / "pic.png").string())));
    Code c;
    c.num(1).str("pic").callMethod("_root", "createEmptyMovieClip", 2);
    c.str("pic").num(0).num(50).op(0x23);  // pic._x = 50
    c.str("pic").num(1).num(30).op(0x23);  // pic._y = 30
    c.load("pic.png", "pic", true);
    swftest::SwfBuilder b(8, 200, 100);
    b.setBackground({255, 255, 255, 255});
    b.rawTag(12, c.op(0x07).done());
    b.showFrame();
    dir.write("main.swf", b.bytes());
    auto run = std::make_unique<avm1test::Run>();
    run->player =
        std::make_unique<swf::Player>(swf::loadMovieFile((dir.path / "main.swf").string()));
    run->player->advanceFrame();
    const QImage img = run->frame();
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 8 && std::abs(qGreen(a) - qGreen(b)) < 8 &&
               std::abs(qBlue(a) - qBlue(b)) < 8;
    };
    EXPECT_TRUE(near(img.pixel(60, 35), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(img.pixel(45, 35), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(img.pixel(60, 45), qRgb(255, 255, 255)));
}

TEST(Avm1LoadedMovie, AMovieLoadedOnLevelZeroReplacesThePlayersOwn) {
    TempDir dir;
    dir.write("child.swf", child());
    Code c;
    c.str("old").str("gone").op(0x1D);
    c.load("child.swf", "_level0", false);
    Code second;
    second.say("root v=", "_root.v").say("old=", "old");
    // Once replaced, the old movie's second frame never runs: only the child's own lines.
    EXPECT_EQ(run(dir, twoFrames(c, second), 3),
              (std::vector<std::string>{"child this=_level0", "child root=_level0"}));
}

TEST(Avm1LoadedMovie, ReplacingLevelZeroOverAndOverStaysBounded) {
    TempDir dir;
    Code c;
    c.str("self.swf").str("_level0").act(0x9A, {0}).str("tick").trace();
    dir.write("self.swf", movie(c));
    const auto lines = run(dir, movie(c), 30);
    EXPECT_GE(lines.size(), 2u);
    EXPECT_LE(lines.size(), 40u);  // one new copy a frame at most
}

// A clip's onClipEvent(load) runs when it is placed and again when a movie loaded into it
// starts, before that movie's first frame.
TEST(Avm1LoadedMovie, AClipsLoadHandlerRunsAgainForTheMovieLoadedIntoIt) {
    TempDir dir;
    dir.write("child.swf", child());
    swftest::SwfBuilder b(8);
    swftest::SpriteBuilder empty;
    empty.showFrame();
    swftest::PlaceArgs p;
    p.depth = 1;
    p.id = b.defineSprite(empty);
    p.name = "clip";
    Code load;
    load.str("load").trace();
    p.clipActions = {{1, load.done()}};
    b.placeObject(p);
    Code first;
    first.load("child.swf", "clip", true);
    b.rawTag(12, first.done());
    b.showFrame();
    Code stop;
    stop.op(0x07);
    b.rawTag(12, stop.done());
    b.showFrame();
    EXPECT_EQ(run(dir, b.bytes(), 3),
              (std::vector<std::string>{"load", "load", "child this=_level0.clip",
                                        "child root=_level0"}));
}

// A function keeps the rules of the movie that made it: one from a SWF 7 movie loaded into
// a SWF 5 player still runs on its own timeline when the parent calls it.
TEST(Avm1LoadedMovie, FunctionsFollowTheVersionOfTheirOwnMovie) {
    TempDir dir;
    Code child;
    child.str("where").str("child").op(0x1D);
    child.method("_level0", "f", {}, Code().get("where").trace());
    dir.write("child.swf", movie(child, 7));
    Code first;
    first.load("child.swf", "_level1", false);
    first.str("where").str("parent").op(0x1D);
    Code second;
    second.num(0).str("f").op(0x3D).op(0x17);  // f()
    swftest::SwfBuilder b(5);
    b.rawTag(12, first.done());
    b.showFrame();
    second.op(0x07);
    b.rawTag(12, second.done());
    b.showFrame();
    EXPECT_EQ(run(dir, b.bytes(), 2), (std::vector<std::string>{"child"}));
}
