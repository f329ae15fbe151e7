// Run-time loads from the movie's folder (LoadVars, XML, loadVariables), the form decoding of
// variable files, LocalConnection messages, and the Sound object's mix settings.

#include "engine/avm1/loader.h"

#include <cstring>
#include <filesystem>
#include <tuple>
#include <fstream>

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;
using swf::avm1::Args;
using swf::avm1::Object;
using swf::avm1::Value;
using swf::avm1::Vm;

namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path;
    explicit Folder(const std::string& tag = "") {
        path = fs::temp_directory_path() /
               ("avm1_loader_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + tag);
        fs::create_directories(path / "sub");
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary).write(text.data(), text.size());
    }
};

// A stage whose movie clock the test moves.
struct ClockStage : Stage {
    double now = 0;
    double timeMs() const override { return now; }
};

// A VM whose loads read from a folder; handlers record what they were called with.
struct Loading {
    ClockStage s;
    Vm& vm = s.vm;
    std::vector<std::string> calls;
    explicit Loading(const Folder& f) { vm.loads->baseDir = f.path.string(); }
    Value make(const char* cls, Args a = {}) { return vm.construct(vm.get(vm.global, cls), a); }
    // obj[name] records "name(args...)".
    void record(const Value& obj, const std::string& name) {
        vm.set(obj.o, name, vm.newMethod([this, name](Vm& vm, Object*, Args& a) -> Value {
            std::string line = name + "(";
            for (size_t i = 0; i < a.size(); ++i) line += (i ? "," : "") + vm.toString(a[i]);
            calls.push_back(line + ")");
            return {};
        }));
    }
    std::string str(const Value& o, const char* name) { return vm.toString(vm.get(o, name)); }
};

// An ID3v2.3 frame: id, size, no flags, then the body.
std::string id3Frame(const std::string& id, const std::string& body) {
    std::string f = id;
    for (int shift : {24, 16, 8, 0}) f += static_cast<char>((body.size() >> shift) & 0xFF);
    return f + std::string(2, '\0') + body;
}

// An MP3 file: an ID3 tag, then `frames` MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz
// with some junk between them.
std::string mp3(int frames, const std::string& tagFrames) {
    std::string f = "ID3";
    f += std::string("\x03\0\0", 3);
    const size_t n = tagFrames.size();
    for (int shift : {21, 14, 7, 0}) f += static_cast<char>((n >> shift) & 0x7F);
    f += tagFrames;
    for (int i = 0; i < frames; ++i) {
        std::string frame(417, '\0');
        frame[0] = '\xFF', frame[1] = '\xFB', frame[2] = '\x90';
        f += frame;
        if (i == 3) f += "junk";
    }
    return f;
}

// An FLV of tags (type, time in ms, data), each written whole, then `tail` (a cut tag, junk).
std::string flv(const std::vector<std::tuple<int, int, std::string>>& tags, std::string tail = {}) {
    std::string f("FLV\x01\x01\0\0\0\x09\0\0\0\0", 13);
    auto be = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) f += char((v >> (8 * i)) & 0xFF);
    };
    for (const auto& [type, ms, data] : tags) {
        f += char(type);
        be(uint32_t(data.size()), 3);
        be(uint32_t(ms) & 0xFFFFFF, 3);
        f += char(uint32_t(ms) >> 24);
        be(0, 3);
        f += data;
        be(uint32_t(data.size() + 11), 4);
    }
    return f + tail;
}

// onMetaData({duration: seconds}) as AMF0 script data.
std::string metaData(double seconds) {
    std::string d("\x02\0\x0aonMetaData\x08\0\0\0\x01\0\x08" "duration\0", 29);
    uint64_t bits;
    std::memcpy(&bits, &seconds, 8);
    for (int i = 7; i >= 0; --i) d += char((bits >> (8 * i)) & 0xFF);
    return d + std::string("\0\0\x09", 3);
}

}  // namespace

TEST(Avm1Loader, VariableFilesDecodeLikeForms) {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(swf::avm1::decodeVariables("a=1&spaced+name=two+words&&c=%41%zz&flag", false),
              (Pairs{{"a", "1"}, {"spaced name", "two words"}, {"c", "A%zz"}, {"flag", ""}}));
    // Bytes that are no UTF-8 read as Latin-1 only under the system code page.
    EXPECT_EQ(swf::avm1::decodeVariables("v=%C4", true), (Pairs{{"v", "\xC3\x84"}}));
    EXPECT_EQ(swf::avm1::decodeVariables("v=%C3%84", true), (Pairs{{"v", "\xC3\x84"}}));
    EXPECT_EQ(swf::avm1::decodeVariables("v=%C4", false), (Pairs{{"v", "\xC4"}}));
    // Japanese text of the code page is told apart from Latin-1 by its two-byte characters.
    EXPECT_EQ(swf::avm1::decodeVariables("v=%95%D0%89%BC%96%BC", true),
              (Pairs{{"v", "\xE7\x89\x87\xE4\xBB\xAE\xE5\x90\x8D"}}));
    EXPECT_EQ(swf::avm1::decodeVariables("v=%C4%D6%95", true),
              (Pairs{{"v", "\xC3\x84\xC3\x96\xC2\x95"}}));
}

TEST(Avm1Loader, LoadVarsAndXmlArriveWhenTheFrameEnds) {
    Folder f;
    f.write("vars.txt", "name=lan+feng&n=3");
    f.write("sub/doc.xml", "<a><b/></a>");
    Loading l(f);
    Value vars = l.make("LoadVars"), xml = l.make("XML"), missing = l.make("LoadVars");
    l.record(vars, "onLoad");
    l.record(xml, "onLoad");
    l.record(missing, "onLoad");
    EXPECT_TRUE(l.vm.callMethod(vars, "load", {Value("vars.txt")}).b);
    l.vm.callMethod(xml, "load", {Value("sub/doc.xml")});
    l.vm.callMethod(missing, "load", {Value("http://example.com/vars.txt")});
    EXPECT_EQ(l.str(vars, "loaded") + " " + l.str(vars, "_bytesLoaded"), "false 0");
    EXPECT_EQ(l.str(vars, "_bytesTotal"), "undefined");
    EXPECT_TRUE(l.calls.empty());
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"onLoad(true)", "onLoad(true)", "onLoad(false)"}));
    // The load's own fields stay out of for..in.
    const auto names = l.vm.enumerate(vars.o);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.end()),
              (std::vector<std::string>{"n", "name", "onLoad"}));
    EXPECT_EQ(l.str(vars, "name"), "lan feng");
    EXPECT_EQ(l.vm.toString(l.vm.callMethod(vars, "getBytesTotal", {})), "17");
    // A new load knows no size until its file is read.
    l.vm.callMethod(vars, "load", {Value("missing.txt")});
    EXPECT_EQ(l.vm.toString(l.vm.callMethod(vars, "getBytesTotal", {})), "undefined");
    EXPECT_EQ(l.vm.toString(l.vm.callMethod(xml, "toString", {})), "<a><b /></a>");
    Value fresh = l.make("LoadVars");
    l.vm.callMethod(fresh, "decode", {Value("a=x+y&b=%26")});
    const std::string text = l.vm.toString(l.vm.callMethod(fresh, "toString", {}));
    EXPECT_NE(text.find("a=x+y"), std::string::npos) << text;
    EXPECT_NE(text.find("b=%26"), std::string::npos) << text;
}

TEST(Avm1Loader, OnlyFilesOfTheMoviesFolderAreRead) {
    Folder f;
    f.write("in.txt", "x");
    Loading l(f);
    EXPECT_TRUE(swf::avm1::readLocalFile(l.vm, "in.txt?cache=1"));
    EXPECT_TRUE(swf::avm1::readLocalFile(l.vm, "sub/../in.txt"));
    for (const char* url : {"../in.txt", "/etc/passwd", "file:///etc/passwd", "http://x/in.txt",
                            "sub", "nothere.txt", ""})
        EXPECT_FALSE(swf::avm1::readLocalFile(l.vm, url)) << url;
    // A file:// URL into the folder (as a movie builds from its _url) is a name below it.
    const std::string url = swf::avm1::fileUrl(l.vm, "sub/../in.txt?x=1");
    EXPECT_EQ(url, "file://" + f.path.lexically_normal().generic_string() + "/in.txt");
    EXPECT_TRUE(swf::avm1::readLocalFile(l.vm, url));
    EXPECT_FALSE(swf::avm1::readLocalFile(l.vm, url.substr(0, url.size() - 7) + "/../in.txt"));
}

TEST(Avm1Loader, LocalConnectionDeliversCopiesAfterItsStatus) {
    Folder f;
    Loading l(f);
    Value rx = l.make("LocalConnection"), other = l.make("LocalConnection");
    Value tx = l.make("LocalConnection");
    EXPECT_TRUE(l.vm.callMethod(rx, "connect", {Value("Chan")}).b);
    EXPECT_FALSE(l.vm.callMethod(other, "connect", {Value("chan")}).b);  // names ignore case
    EXPECT_FALSE(l.vm.callMethod(rx, "connect", {Value("again")}).b);
    l.vm.set(tx.o, "onStatus", l.vm.newMethod([&](Vm& vm, Object*, Args& a) -> Value {
        l.calls.push_back(vm.toString(vm.get(a.at(0), "level")));
        return {};
    }));
    Value seen;
    l.vm.set(rx.o, "got", l.vm.newMethod([&](Vm&, Object*, Args& a) -> Value {
        l.calls.push_back("got");
        seen = a.empty() ? Value() : a[0];
        return {};
    }));
    Object* payload = l.vm.newObject();
    l.vm.set(payload, "k", Value("v"));
    l.vm.set(payload, "clip", Value(l.vm.clipObject(&l.s)));
    EXPECT_TRUE(l.vm.callMethod(tx, "send", {Value("CHAN"), Value("got"), Value(payload)}).b);
    l.vm.callMethod(tx, "send", {Value("nowhere"), Value("got")});
    l.vm.set(payload, "k", Value("changed later"));
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"status", "got", "error"}));
    ASSERT_TRUE(seen.isObject());
    EXPECT_NE(seen.o, payload);
    EXPECT_EQ(l.str(seen, "k"), "v");
    EXPECT_TRUE(l.vm.get(seen, "clip").isUndefined());
    // Names carry the movie's host unless the sender gives one; the object's own methods
    // are not for calling; a name taken only after the send fails.
    l.calls.clear();
    l.vm.callMethod(tx, "send", {Value("LocalHost:chan"), Value("got")});
    l.vm.callMethod(tx, "send", {Value("otherhost:chan"), Value("got")});
    EXPECT_FALSE(l.vm.callMethod(tx, "send", {Value("chan"), Value("close")}).b);
    l.vm.callMethod(tx, "send", {Value("later"), Value("got")});
    EXPECT_TRUE(l.vm.callMethod(other, "connect", {Value("later")}).b);
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"status", "got", "error", "error"}));
    // After close the name is free again.
    l.vm.callMethod(rx, "close", {});
    l.vm.callMethod(other, "close", {});
    EXPECT_TRUE(l.vm.callMethod(other, "connect", {Value("chan")}).b);
}

TEST(Avm1Loader, SoundPanAndTransformShareOneMix) {
    Folder f;
    Loading l(f);
    Value s = l.make("Sound");
    auto get = [&](const char* m) { return l.vm.toString(l.vm.callMethod(s, m, {})); };
    EXPECT_EQ(get("getVolume"), "100");
    EXPECT_EQ(get("getPan"), "0");
    l.vm.callMethod(s, "setPan", {Value(-25)});
    EXPECT_EQ(get("getPan"), "-25");
    Value t = l.vm.callMethod(s, "getTransform", {});
    EXPECT_EQ(l.str(t, "ll") + " " + l.str(t, "rr") + " " + l.str(t, "lr"), "100 75 0");
    Object* o = l.vm.newObject();
    l.vm.set(o, "ll", Value(30));
    l.vm.callMethod(s, "setTransform", {Value(o)});
    EXPECT_EQ(get("getPan"), "70");
    // A second Sound of the movie hears the same settings.
    Value again = l.make("Sound");
    EXPECT_EQ(l.vm.toString(l.vm.callMethod(again, "getPan", {})), "70");
    // A sound that names no sound of the library has no duration to play.
    l.vm.callMethod(s, "attachSound", {Value("nothing")});
    EXPECT_EQ(get("getDuration"), "undefined");
}

// loadSound puts the sound on a fresh channel of its own: full volume, whatever was set
// before; later settings stay with it and leave the target's other sounds alone.
TEST(Avm1Loader, LoadSoundStartsAFreshMixOfItsOwn) {
    Folder f;
    Loading l(f);
    auto volume = [&](const Value& s) {
        return l.vm.toString(l.vm.callMethod(s, "getVolume", {}));
    };
    const struct {
        int before, after;
        const char *own, *others;
    } cases[] = {{25, -1, "100", "25"}, {-1, 25, "25", "100"}, {40, 60, "60", "40"}};
    for (const auto& c : cases) {
        l.vm.callMethod(l.make("Sound"), "setVolume", {Value(100)});
        Value s = l.make("Sound");
        if (c.before >= 0) l.vm.callMethod(s, "setVolume", {Value(c.before)});
        l.vm.callMethod(s, "loadSound", {Value("missing.mp3"), Value(true)});
        if (c.after >= 0) l.vm.callMethod(s, "setVolume", {Value(c.after)});
        EXPECT_EQ(volume(s), c.own);
        EXPECT_EQ(volume(l.make("Sound")), c.others);
    }
}

TEST(Avm1Loader, LoadSoundReadsLengthAndTagsThenPlaysToItsEnd) {
    Folder f;
    const std::string utf16Title("\x01\xFF\xFET\0i\0t\0l\0e\0", 13);
    f.write("a.mp3", mp3(10, id3Frame("TPE1", std::string("\0Artist", 7)) +
                                 id3Frame("COMM", std::string("\0eng\0first", 10)) +
                                 id3Frame("TIT2", utf16Title) +
                                 id3Frame("COMM", std::string("\0eng\0second", 11))));
    f.write("empty.mp3", "not audio at all");
    Loading l(f);
    Value s = l.make("Sound"), bad = l.make("Sound");
    for (const char* h : {"onID3", "onLoad", "onSoundComplete"}) {
        l.record(s, h);
        l.record(bad, h);
    }
    l.vm.callMethod(s, "loadSound", {Value("a.mp3"), Value(false)});
    l.vm.callMethod(s, "start", {});  // before the file is here
    l.vm.callMethod(bad, "loadSound", {Value("empty.mp3"), Value(true)});
    EXPECT_EQ(l.str(s, "duration"), "0");
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"onID3()", "onLoad(true)", "onLoad(false)"}));
    // 10 frames of 1152 samples at 44.1 kHz; the junk between frames is skipped.
    EXPECT_EQ(l.str(s, "duration"), "261");
    Value id3 = l.vm.get(s, "id3");
    EXPECT_EQ(l.str(id3, "artist"), "Artist");
    EXPECT_EQ(l.str(id3, "songname"), "Title");
    EXPECT_EQ(l.str(id3, "COMM"), "first,second");
    EXPECT_EQ(l.str(id3, "comment"), "second");
    l.vm.set(s.o, "duration", Value("ignored"));
    EXPECT_EQ(l.str(s, "duration"), "261");
    l.calls.clear();
    l.s.now = 200;
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.str(s, "position"), "200");
    l.s.now = 300;
    swf::avm1::completeLoads(l.vm);
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"onSoundComplete()"}));
    EXPECT_EQ(l.str(s, "position"), "261");
}

TEST(Avm1Loader, MovieClipLoaderChecksTargetsAndDialogsAreCancelled) {
    Folder f;
    f.write("a.txt", "12345");
    Loading l(f);
    Value mcl = l.make("MovieClipLoader");
    Value listeners = l.vm.get(mcl, "_listeners");
    EXPECT_EQ(l.str(listeners, "length"), "1");
    EXPECT_TRUE(l.vm.strictEquals(l.vm.get(listeners, "0"), mcl));
    for (const char* h : {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadError"})
        l.record(mcl, h);
    auto load = [&](Args a) { return l.vm.toString(l.vm.callMethod(mcl, "loadClip", a)); };
    EXPECT_EQ(load({Value("a.txt")}), "undefined");
    EXPECT_EQ(load({Value(0), Value(0)}), "false");
    EXPECT_EQ(load({Value("a.txt"), Value("nothere")}), "false");
    EXPECT_EQ(load({Value("a.txt"), Value(-1)}), "false");
    EXPECT_EQ(load({Value("a.txt"), Value(2.9)}), "true");
    EXPECT_EQ(load({Value("gone.swf"), Value(l.vm.clipObject(&l.s))}), "true");
    EXPECT_TRUE(l.calls.empty());

    Object* net = l.vm.get(l.vm.get(l.vm.global, "flash"), "net").o;
    Value list = l.vm.construct(l.vm.get(net, "FileReferenceList"), {});
    Object* listener = l.vm.newObject();
    l.record(Value(listener), "onCancel");
    l.vm.callMethod(list, "addListener", {Value(listener)});
    EXPECT_TRUE(l.vm.callMethod(list, "browse", {}).b);
    swf::avm1::completeLoads(l.vm);
    // A file that is not there is reported a frame later.
    EXPECT_EQ(l.calls,
              (std::vector<std::string>{"onLoadStart(_level2)", "onLoadProgress(_level2,0,0)",
                                        "onLoadComplete(_level2,0)", "onCancel([object Object])"}));
    swf::avm1::loadsNextFrame(l.vm);
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls.back(), "onLoadError(_level0,URLNotFound,0)");
    // Text is no movie: nothing took the level.
    Value progress = l.vm.callMethod(mcl, "getProgress", {Value(2)});
    EXPECT_EQ(l.str(progress, "bytesLoaded") + "/" + l.str(progress, "bytesTotal"),
              "undefined/undefined");
}

// Hidden files and folders and links leading out are never read, whatever the spelling.
TEST(Avm1Loader, HiddenFilesAndLinksOutAreNotRead) {
    Folder f, other("_other");
    f.write("in.txt", "x");
    f.write(".secret", "x");
    fs::create_directories(f.path / ".ssh");
    f.write(".ssh/id", "x");
    other.write("in.txt", "x");
    fs::create_symlink(other.path / "in.txt", f.path / "out.txt");
    fs::create_symlink(f.path / ".ssh", f.path / "keys");
    Loading l(f);
    for (const char* url : {".secret", ".ssh/id", "sub/../.ssh/id", "out.txt", "keys/id",
                            "%2Essh/id", "sub/..%2F..%2Fx"})
        EXPECT_FALSE(swf::avm1::readLocalFile(l.vm, url)) << url;
    EXPECT_TRUE(swf::avm1::readLocalFile(l.vm, "in.txt"));
}

// The shared load works on any object: it answers through onData, counts bytes in fields of
// its own, reads text marked as UTF-16, and ends a name at an escaped NUL. A quit asked for as
// a movie load ends the movie when the loads are done, and no load after it runs.
TEST(Avm1Loader, TheSharedLoadAndQuitAsALoad) {
    Folder f;
    f.write("u16.txt", std::string("\xFF\xFEh\0i\0", 6));
    f.write("be.txt", std::string("\xFE\xFF\0o\0k", 6));
    Loading l(f);
    Object* o = l.vm.newObject();
    Value load = l.vm.call(l.vm.get(l.vm.global, "ASnative"), nullptr, {Value(301), Value(0)});
    l.vm.set(o, "load", load);
    l.record(Value(o), "onData");
    EXPECT_FALSE(l.vm.callMethod(Value(o), "load", {}).b);
    EXPECT_EQ(l.str(Value(o), "_bytesLoaded"), "undefined");
    for (const char* url : {"u16.txt%00junk", "be.txt", "missing.txt"})
        EXPECT_TRUE(l.vm.callMethod(Value(o), "load", {Value(url)}).b) << url;
    EXPECT_EQ(l.str(Value(o), "_bytesLoaded") + " " + l.str(Value(o), "loaded"), "0 false");
    swf::avm1::requestMovie(l.vm, &l.s, "FSCommand:QUIT", "", true);
    l.vm.callMethod(Value(o), "load", {Value("be.txt")});
    swf::avm1::completeLoads(l.vm);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"onData(hi)", "onData(ok)", "onData(undefined)"}));
    EXPECT_EQ(l.str(Value(o), "_bytesTotal"), "6");
    EXPECT_TRUE(l.vm.quitRequested);
}

// decode (ASnative 301, 3) works on any object, and only a call with nothing to decode
// answers: false.
TEST(Avm1Loader, DecodeAnswersFalseOnlyWithNothingToDecode) {
    Stage s(7);
    auto& vm = s.vm;
    Value native = vm.callMethod(Value(vm.global), "ASnative", {Value(301), Value(3)});
    Value vars = vm.construct(vm.get(vm.global, "LoadVars"), {});
    const struct {
        Args args;
        const char* result;
    } cases[] = {{{Value("a=b&c=d")}, "undefined"},
                 {{}, "false"},
                 {{Value("")}, "undefined"},
                 {{Value()}, "undefined"},
                 {{Value("a=b"), Value("e=f")}, "undefined"}};
    for (const auto& c : cases) {
        for (Value target : {vars, Value(vm.newObject())}) {
            Args a = c.args;
            EXPECT_EQ(vm.toString(vm.call(native, target.o, a)), c.result);
            a = c.args;
            EXPECT_EQ(vm.toString(vm.call(vm.get(vars, "decode"), target.o, a)), c.result);
        }
    }
    Value o(vm.newObject());
    vm.call(native, o.o, {Value("a=b&c=d")});
    EXPECT_EQ(vm.toString(vm.get(o, "c")), "d");
}

// getProgress answers a bare record (no prototype), and only to a MovieClipLoader.
TEST(Avm1Loader, ProgressIsABareRecordForLoadersOnly) {
    Stage s(7);
    auto& vm = s.vm;
    Value loader = vm.construct(vm.get(vm.global, "MovieClipLoader"), {});
    Value root(vm.clipObject(&s));
    Value p = vm.callMethod(loader, "getProgress", {root});
    ASSERT_TRUE(p.isObject());
    EXPECT_EQ(p.o->proto, nullptr);
    EXPECT_TRUE(vm.get(p, "bytesTotal").isNumber());
    Value fn = vm.get(loader, "getProgress");
    for (Object* self : {p.o, vm.newObject()}) EXPECT_TRUE(vm.call(fn, self, {root}).isUndefined());
}

TEST(Avm1Loader, NetStreamKeepsTheMoviesTimeAndTellsItsStatus) {
    Folder f;
    // Sorenson video: key frames at 0 and 400 ms, others between; the pictures are junk, which
    // the decoder refuses without harm.
    std::vector<std::tuple<int, int, std::string>> tags{{18, 0, metaData(0.6)}};
    for (int ms = 0; ms <= 600; ms += 100)
        tags.emplace_back(9, ms, std::string(1, ms % 400 == 0 ? '\x12' : '\x22') + "junk");
    f.write("v.flv", flv(tags));
    f.write("cut.flv", flv({{18, 0, metaData(1)}}, std::string("\x09\0\x10\0", 4)));
    f.write("deep.flv", flv({{18, 0, "\x02\0\x01x" + std::string(5000, '\x0a')}}));
    f.write("text.flv", "not a video");
    Loading l(f);
    Value nc = l.make("NetConnection");
    l.vm.callMethod(nc, "connect", {Value::null()});
    auto stream = [&](const char* tag) {
        Value ns = l.make("NetStream", {nc});
        l.vm.set(ns.o, "onStatus", l.vm.newMethod([&l, tag](Vm& vm, Object*, Args& a) -> Value {
            l.calls.push_back(std::string(tag) + " " + vm.toString(vm.get(arg(a, 0), "code")));
            return {};
        }));
        l.vm.set(ns.o, "onMetaData", l.vm.newMethod([&l, tag](Vm& vm, Object*, Args& a) -> Value {
            l.calls.push_back(std::string(tag) + " meta " + vm.toString(vm.get(arg(a, 0), "duration")));
            return {};
        }));
        return ns;
    };
    auto frameEnd = [&](double ms) {
        l.s.now += ms;
        swf::avm1::completeLoads(l.vm);
        swf::avm1::loadsNextFrame(l.vm);
    };
    Value ns = stream("v");
    l.vm.callMethod(ns, "play", {Value("v.flv")});
    EXPECT_TRUE(l.calls.empty());  // news comes when the frame ends, never within the script
    frameEnd(0);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"v NetStream.Play.Start",
                                                 "v NetStream.Buffer.Full", "v meta 0.6"}));
    l.calls.clear();
    frameEnd(250);
    EXPECT_EQ(l.str(ns, "time"), "0.25");
    EXPECT_EQ(l.str(ns, "bytesTotal"), l.str(ns, "bytesLoaded"));
    // Paused, the stream's time stands still; a seek lands on the keyframe before it.
    l.vm.callMethod(ns, "pause", {});
    frameEnd(1000);
    EXPECT_EQ(l.str(ns, "time"), "0.25");
    l.vm.callMethod(ns, "seek", {Value(0.55)});
    frameEnd(0);
    EXPECT_EQ(l.str(ns, "time"), "0.4");
    l.vm.callMethod(ns, "pause", {Value(false)});
    frameEnd(100);
    EXPECT_EQ(l.str(ns, "time"), "0.5");
    frameEnd(100);
    frameEnd(100);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"v NetStream.Seek.Notify", "v NetStream.Buffer.Flush",
                                                 "v NetStream.Play.Stop"}));
    l.calls.clear();
    // Files that are missing, cut short, nested without end or no FLV at all.
    Value system = l.vm.get(l.vm.global, "System");
    l.record(system, "onStatus");
    Value quiet = l.make("NetStream", {nc});
    l.vm.callMethod(quiet, "play", {Value("missing.flv")});
    for (auto [file, tag] : {std::pair{"missing.flv", "m"}, {"cut.flv", "c"}, {"deep.flv", "d"},
                             {"text.flv", "t"}, {"../v.flv", "o"}})
        l.vm.callMethod(stream(tag), "play", {Value(file)});
    frameEnd(0);
    frameEnd(2000);
    EXPECT_EQ(l.calls,
              (std::vector<std::string>{
                  "onStatus([object Object])", "m NetStream.Play.StreamNotFound",
                  "c NetStream.Play.Start", "c NetStream.Buffer.Flush", "c meta 1",
                  "d NetStream.Play.Start", "d NetStream.Buffer.Flush",
                  "t NetStream.Play.FileStructureInvalid", "o NetStream.Play.StreamNotFound",
                  "c NetStream.Play.Stop", "d NetStream.Play.Stop"}));
}
