// TextField, TextFormat and Selection: fields made by scripts, fields placed by timelines
// (DefineEditText) with variable binding, and what the renderer shows of them.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"
#include "tests/support/swf_writer_media.h"

using namespace avm1test;

namespace {

// obj.method(args...) with obj a variable; the result stays on the stack.
ActionWriter& call(ActionWriter& a, const char* obj, const char* method,
                   std::initializer_list<P> args) {
    std::vector<P> rev(args);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()), obj}).getVariable();
    push(a, {method}).op(op::CallMethod);
    return a;
}

// trace(obj.member)
ActionWriter& traceMember(ActionWriter& a, const char* obj, const char* member) {
    push(a, {obj}).getVariable();
    push(a, {member}).op(op::GetMember).trace();
    return a;
}

// A DefineEditText body: no font (device text), the given flags, variable and text.
std::vector<uint8_t> editText(uint16_t id, int wTw, int hTw, std::string_view var,
                              std::string_view text, bool border = false) {
    swftest::BitWriter w;
    w.u16(id);
    swftest::writeRect(w, 0, wTw, 0, hTw);
    w.u8(0x80 | 0x04 | 0x08);  // HasText, HasTextColor, ReadOnly
    w.u8(border ? 0x08 : 0);
    swftest::writeRgba(w, swftest::Rgba{0, 0, 0, 255});
    w.string(var);
    w.string(text);
    return w.take();
}

// obj.method(args..., var) with the last argument the value of a variable.
ActionWriter& callWith(ActionWriter& a, const char* obj, const char* method,
                       std::initializer_list<P> args, const char* var) {
    push(a, {var}).getVariable();
    std::vector<P> rev(args);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()) + 1, obj}).getVariable();
    push(a, {method}).op(op::CallMethod);
    return a;
}

int darkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
}

}  // namespace

TEST(Avm1TextField, CreateTextFieldMakesAFieldScriptsSee) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 5, 10, 20, 100, 30}).setVariable();
    push(a, {"tf"}).getVariable().trace();                 // _level0.t
    push(a, {"tf"}).getVariable().op(op::TypeOf).trace();  // object
    push(a, {"tf"}).getVariable();
    push(a, {"TextField"}).getVariable().op(0x54).trace();  // instanceof: true
    traceMember(a, "tf", "_x");                             // 10
    traceMember(a, "tf", "_width");                         // 100
    call(a, "tf", "getDepth", {}).trace();                  // 5
    setMember(a, "tf", "text", "ab\ncd");
    traceMember(a, "tf", "length");  // 5: the newline became one "\r"
    traceMember(a, "tf", "type");    // dynamic
    setMember(a, "tf", "type", "INPUT");
    traceMember(a, "tf", "type");                // input
    push(a, {"t._name"}).getVariable().trace();  // the field is a child of its timeline: t
    setMember(a, "tf", "_width", 50);
    traceMember(a, "tf", "_width");  // 50
    call(a, "tf", "removeTextField", {}).op(op::Pop);
    push(a, {"t"}).getVariable().op(op::TypeOf).trace();  // undefined
    Stage s(8);
    EXPECT_EQ(s.run(a),
              "_level0.t\nobject\ntrue\n10\n100\n5\n5\ndynamic\ninput\nt\n50\nundefined\n");
}

TEST(Avm1TextField, PrototypeAccessorsIgnorePlainObjects) {
    // o = new TextField(): the accessors read undefined and ignore writes
    ActionWriter a;
    push(a, {"o", 0, "TextField"}).op(op::NewObject).setVariable();
    traceMember(a, "o", "text");
    setMember(a, "o", "text", "x");
    traceMember(a, "o", "text");
    Stage s(7);
    EXPECT_EQ(s.run(a), "undefined\nundefined\n");
}

TEST(Avm1TextField, HtmlTextOfAnHtmlField) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    setMember(a, "tf", "html", true);
    setMember(a, "tf", "multiline", true);  // paragraphs of single line fields run together
    setMember(a, "tf", "htmlText", "<p>one &amp; <b>two</b></p><p>three</p>");
    push(a, {"tf"}).getVariable();
    push(a, {"text"}).op(op::GetMember);
    push(a, {"\r"}).op(0x47).trace();  // paragraphs end in "\r", printed as it is
    setMember(a, "tf", "text", "a<b");
    traceMember(a, "tf", "htmlText");
    Stage s(8);
    EXPECT_EQ(s.run(a),
              "one & two\rthree\r\r\n"
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
              "LETTERSPACING=\"0\" KERNING=\"0\">a&lt;b</FONT></P>\n");
}

// From SWF 8 whole numbers are rounded half to even, before it cut toward zero; a setter keeps
// margins (and before SWF 8 indents) from going below 0, the constructor takes them signed
// before SWF 8.
TEST(Avm1TextFormat, ValuesAreConvertedAsThePlayerDoes) {
    for (auto [version, expected] : std::initializer_list<std::pair<int, const char*>>{
             {7, "null\n-3\n2\n4294967293\n0\n0\ntrue\ncenter\ncenter\ncenter\n-3\n"},
             {8, "null\n-4\n2\n4294967293\n0\n-2\ntrue\ncenter\ncenter\ncenter\n0\n"}}) {
        ActionWriter a;
        push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
        traceMember(a, "f", "font");  // null: nothing set
        for (auto [member, value] :
             std::initializer_list<std::pair<const char*, P>>{{"size", -3.5},
                                                              {"size", 2.5},
                                                              {"color", -3},
                                                              {"leftMargin", -5},
                                                              {"indent", -2},
                                                              {"bold", "x"},
                                                              {"align", "CENTER"},
                                                              {"align", "bogus"},
                                                              {"align", P::null()}}) {
            setMember(a, "f", member, value);
            traceMember(a, "f", member);
        }
        // new TextFormat(font, size, colour, bold, italic, underline, url, target, align,
        // leftMargin)
        push(a, {"g", -3.5, P::null(), P::null(), P::null(), P::null(), P::null(), P::null(),
                 P::null(), P::null(), P::null(), 10, "TextFormat"})
            .op(op::NewObject)
            .setVariable();
        traceMember(a, "g", "leftMargin");
        Stage s(version);
        EXPECT_EQ(s.run(a), expected) << "SWF " << version;
    }
}

// o: an object whose valueOf traces "v" and answers 1, 2, ... and whose toString traces "s".
void countingObject(ActionWriter& a) {
    ActionWriter valueOf, toString;
    push(valueOf, {"n", "n"}).getVariable();
    push(valueOf, {1}).add2().setVariable();
    push(valueOf, {"v"}).trace();
    push(valueOf, {"n"}).getVariable().op(op::Return);
    push(toString, {"s"}).trace();
    push(toString, {"x"}).op(op::Return);
    push(a, {"n", 0}).setVariable();
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    push(a, {"valueOf"});
    defineFunction(a, "", {}, valueOf).op(op::SetMember);
    push(a, {"o"}).getVariable();
    push(a, {"toString"});
    defineFunction(a, "", {}, toString).op(op::SetMember);
}

// Before SWF 8 a setter asks an object for a number twice and a text once (display twice
// more), whatever the property; from SWF 8 it converts it once, as the property needs. An
// object without a length gives no tab stops.
TEST(Avm1TextFormat, SettersAskAnObjectAsThePlayerDoes) {
    for (auto [version, expected] : std::initializer_list<std::pair<int, const char*>>{
             {7, "v\nv\ns\n1\nv\nv\ns\ns\nblock\nv\nv\ns\nnull\n"},
             {8, "v\n1\ns\nblock\nnull\n"}}) {
        ActionWriter a;
        countingObject(a);
        push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
        for (const char* member : {"size", "display", "tabStops"}) {
            push(a, {"f"}).getVariable();
            push(a, {member, "o"}).getVariable().op(op::SetMember);
            traceMember(a, "f", member);
        }
        Stage st(version);
        EXPECT_EQ(st.run(a), expected) << "SWF " << version;
    }
}

TEST(Avm1TextFormat, FieldFormatsRoundTrip) {
    // tf.setTextFormat(fmt) with size 20; getTextFormat().size; getNewTextFormat().font
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    setMember(a, "tf", "text", "hello");
    push(a, {"fmt", 0, "TextFormat"}).op(op::NewObject).setVariable();
    setMember(a, "fmt", "size", 20);
    push(a, {"fmt"}).getVariable();
    push(a, {1, "tf"}).getVariable();
    push(a, {"setTextFormat"}).op(op::CallMethod).op(op::Pop);
    push(a, {0, "tf"}).getVariable();
    push(a, {"getTextFormat"}).op(op::CallMethod);
    push(a, {"size"}).op(op::GetMember).trace();
    push(a, {0, "tf"}).getVariable();
    push(a, {"getNewTextFormat"}).op(op::CallMethod);
    push(a, {"font"}).op(op::GetMember).trace();
    Stage s(8);
    EXPECT_EQ(s.run(a), "20\nTimes New Roman\n");
}

TEST(Avm1Selection, FocusGoesToFocusableObjects) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    call(a, "Selection", "getFocus", {}).trace();  // null
    push(a, {"tf"}).getVariable();
    push(a, {1, "Selection"}).getVariable();
    push(a, {"setFocus"}).op(op::CallMethod).trace();   // true
    call(a, "Selection", "getFocus", {}).trace();       // _level0.t
    call(a, "Selection", "setFocus", {false}).trace();  // false: not a target
    Stage s(8);
    EXPECT_EQ(s.run(a), "null\ntrue\n_level0.t\nfalse\n");
}

// A field placed by the timeline with a variable: the variable takes the field's text, the
// field follows the variable, writing the field sets the variable, and the stage shows it.
TEST(Avm1TextField, PlacedFieldsBindTheirVariable) {
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t id = b.reserveId();
    b.rawTag(37, editText(id, 3000, 600, "v", "Hello"));
    swftest::PlaceArgs p;
    p.id = id;
    p.depth = 1;
    p.name = "field";
    b.placeObject(p);
    ActionWriter a;
    push(a, {"v"}).getVariable().trace();  // Hello
    push(a, {"v", "Bye"}).setVariable();
    traceMember(a, "field", "text");  // Bye
    setMember(a, "field", "text", "X");
    push(a, {"v"}).getVariable().trace();  // X
    push(a, {"field"}).getVariable().trace();
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "Hello\nBye\nX\n_level0.field\n");

    // The stage shows the field's current text: more of it, more ink.
    const int one = darkPixels(r->frame());
    EXPECT_GT(one, 0);
    swftest::SwfBuilder b2(6, 200, 100);
    const uint16_t id2 = b2.reserveId();
    b2.rawTag(37, editText(id2, 3000, 600, "v", "Hello"));
    p.id = id2;
    b2.placeObject(p);
    ActionWriter a2;
    push(a2, {"v", "XXXXXXXX"}).setVariable();
    a2.stop();
    b2.doAction(a2);
    b2.showFrame();
    auto r2 = play(b2);
    r2->player->advanceFrame();  // bound text is read again each frame
    EXPECT_GT(darkPixels(r2->frame()), one * 3);
}

// A field in a button's state binds on the timeline holding the button, and the first frame
// shows what that frame's actions left in the variable.
TEST(Avm1TextField, FieldsInButtonsBindOnTheirTimeline) {
    auto run = [](bool set) {
        swftest::SwfBuilder b(6, 200, 100);
        const uint16_t field = b.reserveId();
        b.rawTag(37, editText(field, 3000, 600, "v", "Hello"));
        swftest::ButtonDesc button;
        button.records.push_back({});
        button.records.back().characterId = field;
        const uint16_t bid = b.defineButton2(button);
        swftest::SpriteBuilder sprite;
        sprite.place(bid, 1);
        sprite.showFrame();
        const uint16_t sid = b.defineSprite(sprite);
        swftest::PlaceArgs p;
        p.id = sid;
        p.depth = 1;
        p.name = "s";
        b.placeObject(p);
        ActionWriter a;
        traceMember(a, "s", "v");
        if (set) setMember(a, "s", "v", "XXXXXXXX");
        a.stop();
        b.doAction(a);
        b.showFrame();
        return play(b);
    };
    auto shown = run(false);
    EXPECT_EQ(shown->take(), "Hello\n");
    const int one = darkPixels(shown->frame());
    EXPECT_GT(one, 0);
    auto changed = run(true);
    EXPECT_EQ(changed->take(), "Hello\n");
    EXPECT_GT(darkPixels(changed->frame()), one * 2);
}

TEST(Avm1TextField, CreatedFieldsAreDrawn) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 10, 10, 150, 40}).setVariable();
    setMember(a, "tf", "text", "WWWW");
    setMember(a, "tf", "border", true);
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    const QImage img = r->frame();
    EXPECT_GT(darkPixels(img.copy(10, 10, 150, 40)), 50);
    EXPECT_EQ(darkPixels(img.copy(0, 60, 200, 40)), 0);
}

// htmlText keeps Flash's rules for white space and paragraphs, and writes nested FONT tags
// for changes inside a paragraph.
TEST(Avm1TextField, HtmlTextWhiteSpaceParagraphsAndFonts) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    setMember(a, "tf", "html", true);
    setMember(a, "tf", "htmlText", "\n<p>a</p> <p>b</p>\n");
    traceMember(a, "tf", "text");  // ab: no line ends without multiline
    setMember(a, "tf", "multiline", true);
    setMember(a, "tf", "htmlText", "\n<p>a</p> <p>b</p>\n");
    traceMember(a, "tf", "text");  // a\rb\r
    setMember(a, "tf", "htmlText", "x\ny");
    traceMember(a, "tf", "text");  // newlines in text end paragraphs
    setMember(a, "tf", "htmlText", " <b> </b> ");
    traceMember(a, "tf", "htmlText");  // no text: no paragraph either
    setMember(a, "tf", "condenseWhite", true);
    setMember(a, "tf", "htmlText", "  a \n\t b  ");
    traceMember(a, "tf", "text");
    setMember(a, "tf", "condenseWhite", false);
    setMember(a, "tf", "htmlText", "<font size=\"20\">x</font><b>y</b>");
    traceMember(a, "tf", "htmlText");
    Stage s(8);
    EXPECT_EQ(s.run(a),
              "ab\na\rb\r\nx\ry\n\na b \n"
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"20\" COLOR=\"#000000\" "
              "LETTERSPACING=\"0\" KERNING=\"0\">x<FONT SIZE=\"12\"><B>y</B></FONT></FONT></P>\n");
}

// setTextFormat and getTextFormat work on ranges: character formats on the characters,
// paragraph formats on whole paragraphs; what differs along a range reads as null.
TEST(Avm1TextFormat, RangesOfCharactersAndParagraphs) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    setMember(a, "tf", "text", "ab\ncd");
    push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
    setMember(a, "f", "bold", true);
    setMember(a, "f", "align", "center");
    callWith(a, "tf", "setTextFormat", {1, 2}, "f").op(op::Pop);
    auto traceFormat = [&](std::initializer_list<P> range, const char* member) {
        call(a, "tf", "getTextFormat", range);
        push(a, {member}).op(op::GetMember).trace();
    };
    traceFormat({0, 2}, "bold");   // null
    traceFormat({1}, "bold");      // true
    traceFormat({0}, "align");     // left: a paragraph format goes to the range only
    traceFormat({1}, "align");     // center
    traceFormat({2, 2}, "bold");   // an empty range: null
    traceFormat({-1}, "bold");     // one index before the text: no character, null
    traceFormat({-1, 2}, "bold");  // a range starting before it starts at 0: null
    setMember(a, "tf", "text", "z");
    traceFormat({}, "bold");  // new text takes the new text format
    Stage s(8);
    EXPECT_EQ(s.run(a), "null\ntrue\nleft\ncenter\nnull\nnull\nnull\nfalse\n");
    // Kerning and letter spacing are formats from Flash 8.
    for (int version : {7, 8}) {
        Stage sv(version);
        const auto fmt = sv.vm.construct(sv.vm.get(sv.vm.global, "TextFormat"), {});
        for (const char* name : {"kerning", "letterSpacing"})
            EXPECT_EQ(sv.vm.toString(sv.vm.get(fmt, name)), version < 8 ? "undefined" : "null")
                << name;
    }
}

// textWidth/textHeight come from the layout with the embedded font's advances and metrics;
// autoSize fits the box around the text.
TEST(Avm1TextField, MetricsAndAutoSizeWithAnEmbeddedFont) {
    namespace media = swftest::media;
    swftest::SwfBuilder b(8, 300, 200);
    const std::vector<media::Glyph> glyphs = {
        {'a', {{0, 0}, {400, 0}, {400, -600}, {0, -600}}, 512},
        {' ', {{0, 0}, {1, 0}, {1, -1}}, 512},
    };
    b.rawTag(media::code::DefineFont3, media::fontBody(b.reserveId(), 3, "Sq", glyphs));
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 10, 0, 100, 30}).setVariable();
    setMember(a, "tf", "embedFonts", true);
    setMember(a, "tf", "wordWrap", true);
    setMember(a, "tf", "multiline", true);
    push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
    setMember(a, "f", "font", "Sq");
    setMember(a, "f", "size", 20);
    callWith(a, "tf", "setNewTextFormat", {}, "f").op(op::Pop);
    setMember(a, "tf", "text", "aaaa aaaa aaaa");
    traceMember(a, "tf", "textWidth");   // 100: two words a line and, left aligned, a space
    traceMember(a, "tf", "textHeight");  // two lines of whole-twip ascent and descent
    setMember(a, "tf", "wordWrap", false);
    setMember(a, "tf", "text", "aaaa");
    setMember(a, "tf", "autoSize", "right");
    traceMember(a, "tf", "_width");
    traceMember(a, "tf", "_x");  // the right edge stays
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "100\n39\n44\n66\n");
}

// Text set in Arial is measured with a face of Arial's advances, so lines break where the
// author saw them break.
TEST(Avm1TextField, ArialDeviceTextHasArialAdvances) {
    ensureGuiApp();
    swftest::SwfBuilder b(8, 300, 200);
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 10, 0, 200, 30}).setVariable();
    push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
    setMember(a, "f", "font", "Arial");
    setMember(a, "f", "size", 20);
    callWith(a, "tf", "setNewTextFormat", {}, "f").op(op::Pop);
    setMember(a, "tf", "text", "Hello");
    traceMember(a, "tf", "textWidth");  // Arial: (1479 + 1139 + 2 * 455 + 1139) / 2048 * 20
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    const double width = std::stod(r->take());
    EXPECT_NEAR(width, 45.6, 1.0);
}

namespace {

// A movie whose root shows "ABC" on one line and "DE" below it as static text (DefineText of
// a DefineFont2), then runs a.
std::unique_ptr<Run> playWithStaticText(ActionWriter& a, int version = 8) {
    namespace media = swftest::media;
    swftest::SwfBuilder b(version, 300, 200);
    std::vector<media::Glyph> glyphs;
    for (char c : std::string("ABCDE"))
        glyphs.push_back(
            {static_cast<uint16_t>(c), {{0, 0}, {500, 0}, {500, -700}, {0, -700}}, 600});
    const uint16_t font = b.reserveId();
    b.rawTag(media::code::DefineFont2, media::fontBody(font, 2, "Box", glyphs));
    const uint16_t text = b.reserveId();
    const swftest::Rgba black{0, 0, 0, 255};
    b.rawTag(media::code::DefineText,
             media::textBody(text, 1, 0, 2000, 0, 1000,
                             {{font, black, 200, 400, 400, {{0, 240}, {1, 240}, {2, 240}}},
                              {font, black, 200, 800, 400, {{3, 240}, {4, 240}}}}));
    b.place(text, 1);
    a.stop();
    b.doAction(a);
    b.showFrame();
    return play(b);
}

}  // namespace

// A snapshot reads the static text a clip shows, glyph by glyph through the fonts' codes.
TEST(Avm1TextSnapshot, ReadsAndSearchesStaticText) {
    ActionWriter a;
    push(a, {"ts"});
    call(a, "this", "getTextSnapshot", {}).setVariable();
    call(a, "ts", "getCount", {}).trace();                // 5
    call(a, "ts", "getText", {0, 10}).trace();            // ABCDE
    call(a, "ts", "getText", {1, 4, true}).trace();       // BC, a line end, D
    call(a, "ts", "getText", {3, 1}).trace();             // D: an empty range keeps its start
    call(a, "ts", "findText", {0, "cd", false}).trace();  // 2
    call(a, "ts", "findText", {0, "cd", true}).trace();   // -1
    call(a, "ts", "findText", {3, "B", true}).trace();    // -1: before the start
    call(a, "ts", "findText", {0, "B"}).trace();          // undefined: too few arguments
    call(a, "ts", "getCount", {1}).trace();               // undefined: too many
    auto r = playWithStaticText(a);
    EXPECT_EQ(r->take(), "5\nABCDE\nBC\nD\nD\n2\n-1\n-1\nundefined\nundefined\n");
}

TEST(Avm1TextSnapshot, SelectionAndHitTests) {
    ActionWriter a;
    push(a, {"ts"});
    call(a, "this", "getTextSnapshot", {}).setVariable();
    call(a, "ts", "setSelected", {1, 3, true}).op(op::Pop);
    call(a, "ts", "getSelected", {0, 1}).trace();  // false
    call(a, "ts", "getSelected", {0, 2}).trace();  // true
    call(a, "ts", "getSelectedText", {}).trace();  // BC
    // Glyph cells are 12 pixels wide from x = 10; the first line's baseline is at y = 20.
    call(a, "ts", "hitTestTextNearPos", {23, 15}).trace();       // 1
    call(a, "ts", "hitTestTextNearPos", {23, 80}).trace();       // -1: too far
    call(a, "ts", "hitTestTextNearPos", {23, 80, 100}).trace();  // 4: E is right above
    auto r = playWithStaticText(a);
    EXPECT_EQ(r->take(), "false\ntrue\nBC\n1\n-1\n4\n");
}

// parseColor takes "#" and six hex digits alone; the generic CSS families name device fonts.
TEST(Avm1StyleSheet, ParsesColoursAndFontFamilies) {
    ActionWriter a;
    push(a, {"s", 0, "TextField"}).getVariable();
    push(a, {"StyleSheet"}).op(0x53).setVariable();  // new TextField.StyleSheet()
    for (const char* c : {"#FF0000", "#abcabc", "#FFF", "#FFXXFF", " #FF00FF"})
        call(a, "s", "parseColor", {c}).trace();
    for (const char* f : {"mONo", "SANS-SERIF", "serif", "serif ", "Arial"})
        call(a, "s", "parseCSSFontFamily", {f}).trace();
    Stage st(7);
    EXPECT_EQ(st.run(a),
              "16711680\n11258556\nnull\nnull\nnull\n_typewriter\n_sans\n_serif\nserif \nArial\n");
}

// A snapshot needs a clip; anything else gives one whose methods return undefined.
TEST(Avm1TextSnapshot, OnlyClipsMakeWorkingSnapshots) {
    ActionWriter a;
    push(a, {"s1", "x", 1, "TextSnapshot"}).op(op::NewObject).setVariable();
    call(a, "s1", "getCount", {}).trace();
    push(a, {"s2", "_root"}).getVariable();
    push(a, {1, "TextSnapshot"}).op(op::NewObject).setVariable();
    call(a, "s2", "getCount", {}).trace();
    call(a, "s2", "getText", {0, 5}).trace();
    auto r = playWithStaticText(a);
    EXPECT_EQ(r->take(), "undefined\n5\nABCDE\n");
}

// parseCSS takes a whole sheet or nothing; names become camel case, values keep what follows
// them up to the ';' or '}'.
TEST(Avm1StyleSheet, ParsesCssIntoStyles) {
    ActionWriter a;
    // ss = new TextField.StyleSheet()
    push(a, {"ss", 0, "TextField"}).getVariable();
    push(a, {"StyleSheet"}).op(0x53).setVariable();
    call(a, "ss", "parseCSS", {"a { color: blue }\np, .x{font-style:italic;text-align:right}"})
        .trace();  // true
    call(a, "ss", "getStyle", {"a"});
    push(a, {"color"}).op(op::GetMember).trace();  // "blue "
    call(a, "ss", "getStyle", {".x"});
    push(a, {"fontStyle"}).op(op::GetMember).trace();                       // italic
    call(a, "ss", "parseCSS", {"b { color: red } c has no rule"}).trace();  // false
    call(a, "ss", "getStyle", {"b"}).trace();                               // null: none taken
    Stage s(8);
    EXPECT_EQ(s.run(a), "true\nblue \nitalic\nfalse\nnull\n");
}

// With a style sheet a field takes HTML whatever its html flag: htmlText reads back as written,
// classes (in any letter case) and tag rules style the text, and a new sheet restyles it.
TEST(Avm1StyleSheet, StylesAFieldsHtml) {
    ActionWriter a;
    push(a, {"ss", 0, "TextField"}).getVariable();
    push(a, {"StyleSheet"}).op(0x53).setVariable();
    call(a, "ss", "parseCSS", {".red { color: #FF0000 } p { font-size: 30 }"}).op(op::Pop);
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    push(a, {"tf"}).getVariable();
    push(a, {"styleSheet", "ss"}).getVariable().op(op::SetMember);
    setMember(a, "tf", "text", "<p>a<span class=\"RED\">b</span></p>");
    traceMember(a, "tf", "htmlText");
    traceMember(a, "tf", "text");
    auto traceFormat = [&](int at, const char* member) {
        call(a, "tf", "getTextFormat", {at});
        push(a, {member}).op(op::GetMember).trace();
    };
    traceFormat(0, "color");  // 0
    traceFormat(1, "color");  // 16711680
    traceFormat(1, "size");   // 30
    call(a, "ss", "parseCSS", {".red { color: #00FF00 }"}).op(op::Pop);
    push(a, {"tf"}).getVariable();
    push(a, {"styleSheet", "ss"}).getVariable().op(op::SetMember);
    traceFormat(1, "color");  // 65280
    setMember(a, "tf", "styleSheet", P::null());
    traceMember(a, "tf", "htmlText");  // a plain field again
    Stage s(8);
    EXPECT_EQ(s.run(a), "<p>a<span class=\"RED\">b</span></p>\nab\n0\n16711680\n30\n65280\nab\n");
}

// A border lies on whole pixels: the edges' own pixel rows and columns, solid, without the
// far corner.
TEST(Avm1TextField, BorderOnWholePixels) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 10, 10, 50, 20}).setVariable();
    setMember(a, "tf", "border", true);
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    const QImage img = r->frame();
    auto gray = [&](int x, int y) { return qGray(img.pixel(x, y)); };
    EXPECT_LT(gray(10, 20), 32);   // left
    EXPECT_LT(gray(60, 20), 32);   // right, at x + width
    EXPECT_LT(gray(30, 10), 32);   // top
    EXPECT_LT(gray(30, 30), 32);   // bottom, at y + height
    EXPECT_GT(gray(60, 30), 224);  // the far corner stays empty
    EXPECT_GT(gray(11, 20), 224);
    EXPECT_GT(gray(59, 20), 224);
    EXPECT_GT(gray(9, 20), 224);
}

// A field drawing embedded glyphs draws its border smooth with them: its lines meet over part
// of the far corner, unless drawn hard.
TEST(Avm1TextField, EmbeddedFontBorderCorner) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 10, 10, 50, 20}).setVariable();
    setMember(a, "tf", "border", true);
    setMember(a, "tf", "embedFonts", true);
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    const QImage img = r->frame();
    EXPECT_GT(qGray(img.pixel(60, 30)), 64);
    EXPECT_LT(qGray(img.pixel(60, 30)), 160);
    EXPECT_LT(qGray(img.pixel(59, 30)), 32);
    EXPECT_LT(qGray(img.pixel(60, 29)), 32);
    EXPECT_GT(qGray(img.pixel(61, 31)), 224);
    r->player->setQuality(swf::Quality::Low);
    EXPECT_GT(qGray(r->frame().pixel(60, 30)), 224);
}

// A field a clip is masked by shows the clip through its glyphs, even those past its box, and
// is not drawn itself; a mask named by path works the same.
TEST(Avm1TextField, FieldMasksByItsGlyphs) {
    namespace media = swftest::media;
    for (const bool byPath : {false, true}) {
        swftest::SwfBuilder b(8, 200, 100);
        const std::vector<media::Glyph> glyphs = {
            {'a', {{0, 0}, {400, 0}, {400, -600}, {0, -600}}, 512}};
        b.rawTag(media::code::DefineFont3, media::fontBody(b.reserveId(), 3, "Sq", glyphs));
        ActionWriter a;
        push(a, {"c", 1, "c", 2, "this"}).getVariable();
        push(a, {"createEmptyMovieClip"}).op(op::CallMethod).setVariable();
        call(a, "c", "beginFill", {0xff0000, 100}).op(op::Pop);
        call(a, "c", "moveTo", {0, 0}).op(op::Pop);
        call(a, "c", "lineTo", {200, 0}).op(op::Pop);
        call(a, "c", "lineTo", {200, 100}).op(op::Pop);
        call(a, "c", "lineTo", {0, 100}).op(op::Pop);
        call(a, "c", "endFill", {}).op(op::Pop);
        push(a, {"tf"});
        call(a, "this", "createTextField", {"t", 2, 10, 10, 40, 40}).setVariable();
        setMember(a, "tf", "embedFonts", true);
        push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
        setMember(a, "f", "font", "Sq");
        setMember(a, "f", "size", 20);
        callWith(a, "tf", "setNewTextFormat", {}, "f").op(op::Pop);
        setMember(a, "tf", "text", "aaaaaa");
        if (byPath)
            call(a, "c", "setMask", {"t"}).op(op::Pop);
        else
            callWith(a, "c", "setMask", {}, "tf").op(op::Pop);
        a.stop();
        b.doAction(a);
        b.showFrame();
        auto r = play(b);
        const QImage img = r->frame();
        auto red = [&](int x, int y) { return img.pixel(x, y) == qRgb(255, 0, 0); };
        auto empty = [&](int x, int y) { return img.pixel(x, y) == qRgb(255, 255, 255); };
        // Glyphs 7.8 px wide every 10 px from x = 12, from y = 16 to the baseline near 27.
        EXPECT_TRUE(red(15, 22)) << byPath;
        EXPECT_TRUE(red(25, 18)) << byPath;
        EXPECT_TRUE(red(65, 22)) << byPath;  // past the box
        EXPECT_TRUE(empty(20, 22)) << byPath;
        EXPECT_TRUE(empty(15, 40)) << byPath;
        EXPECT_TRUE(empty(5, 5)) << byPath;
        EXPECT_TRUE(empty(150, 60)) << byPath;
    }
}

// createTextField takes whole pixels (as 32-bit integers); a negative size reads as its size.
TEST(Avm1TextField, CreateTextFieldTakesWholePixels) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 2.7, -2.9, -50.5, 3.9}).setVariable();
    traceMember(a, "tf", "_x");
    traceMember(a, "tf", "_y");
    traceMember(a, "tf", "_width");
    traceMember(a, "tf", "_height");
    setMember(a, "tf", "restrict", "");
    traceMember(a, "tf", "restrict");  // null: an empty restriction is none
    Stage s(8);
    EXPECT_EQ(s.run(a), "2\n-2\n50\n3\nnull\n");
}

// Turning HTML off leaves new text aligned left; other paragraph formats stay.
TEST(Avm1TextField, HtmlOffAlignsNewTextLeft) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    setMember(a, "tf", "html", true);
    push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
    setMember(a, "f", "align", "center");
    setMember(a, "f", "indent", 10);
    callWith(a, "tf", "setNewTextFormat", {}, "f").op(op::Pop);
    setMember(a, "tf", "html", false);
    call(a, "tf", "getNewTextFormat", {});
    push(a, {"align"}).op(op::GetMember).trace();
    call(a, "tf", "getNewTextFormat", {});
    push(a, {"indent"}).op(op::GetMember).trace();
    Stage s(8);
    EXPECT_EQ(s.run(a), "left\n10\n");
}

// FONT colours need a "#" and read hex digits up to the first other character, keeping the
// last six; an unquoted attribute value ends the text.
TEST(Avm1TextField, HtmlFontColoursAndUnquotedValues) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 100, 30}).setVariable();
    setMember(a, "tf", "html", true);
    auto colourOf = [&](const char* html) {
        setMember(a, "tf", "htmlText", html);
        call(a, "tf", "getTextFormat", {0});
        push(a, {"color"}).op(op::GetMember).trace();
    };
    colourOf("<font color=\"#ff0\">x</font>");         // 0xff0
    colourOf("<font color=\"ff00ff\">x</font>");       // no "#": unchanged
    colourOf("<font color=\"#ff00ffffee\">x</font>");  // 0xffffee
    colourOf("<font color=\"#ff00gp\">x</font>");      // 0xff00
    setMember(a, "tf", "htmlText", "<font color=#00FF00>x</font>y");
    traceMember(a, "tf", "text");
    Stage s(8);
    EXPECT_EQ(s.run(a), "4080\n0\n16777198\n65280\n\n");
}

namespace {

// A movie with the 10-pixel square font "Sq" (advances 10 px at size 20, a bullet of half
// that, and an "n" of 201.95 twips) that runs a.
std::unique_ptr<Run> playWithSquareFont(ActionWriter& a,
                                        const swftest::media::EditText* placed = nullptr,
                                        int version = 8) {
    namespace media = swftest::media;
    swftest::SwfBuilder b(version, 200, 100);
    const std::vector<media::Glyph> glyphs = {
        {'a', {{0, 0}, {512, 0}, {512, -600}, {0, -600}}, 512},
        {'n', {{0, 0}, {512, 0}, {512, -600}, {0, -600}}, 517},
        {' ', {{0, 0}, {1, 0}, {1, -1}}, 512},
        {'\t', {{0, 0}, {1, 0}, {1, -1}}, 512},
        {0x2022, {{0, 0}, {256, 0}, {256, -256}, {0, -256}}, 512},  // a small square bullet
    };
    const uint16_t font = b.reserveId();
    b.rawTag(media::code::DefineFont3, media::fontBody(font, 3, "Sq", glyphs));
    if (placed) {
        media::EditText e = *placed;
        e.fontId = font;
        const uint16_t id = b.reserveId();
        b.rawTag(media::code::DefineEditText, media::editTextBody(id, e));
        b.place(id, 1, {}, {}, std::string("p"));
    }
    a.stop();
    b.doAction(a);
    b.showFrame();
    return play(b);
}

// A created field "tf" in Sq at size 20, embedded, holding text.
void squareField(ActionWriter& a, const char* text, int w = 150) {
    call(a, "this", "createTextField", {"t", 1, 10, 10, w, 30}).op(op::Pop);
    push(a, {"tf", "t"}).getVariable().setVariable();  // createTextField returns it from SWF 8
    setMember(a, "tf", "embedFonts", true);
    push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
    setMember(a, "f", "font", "Sq");
    setMember(a, "f", "size", 20);
    callWith(a, "tf", "setNewTextFormat", {}, "f").op(op::Pop);
    setMember(a, "tf", "text", text);
}

}  // namespace

// A field's place and size are whole twips with the fraction cut off; the layout values of
// its definition are whole pixels, the indent signed.
TEST(Avm1TextField, PlaceSizeAndDefinedLayoutAreWholeUnits) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 0, 0, 10, 10}).setVariable();
    setMember(a, "tf", "_x", 2.1);
    setMember(a, "tf", "_y", 3.94);
    setMember(a, "tf", "_height", 3.94);
    traceMember(a, "tf", "_x");
    traceMember(a, "tf", "_y");
    traceMember(a, "tf", "_height");
    push(a, {"g"});
    call(a, "p", "getTextFormat", {}).setVariable();
    traceMember(a, "g", "indent");
    traceMember(a, "g", "leftMargin");
    traceMember(a, "g", "leading");
    swftest::media::EditText e;
    e.align = 0;
    e.indent = -215;    // -10.75 px
    e.leftMargin = 39;  // 1.95 px
    e.leading = 32767;  // 1638.35 px
    e.useOutlines = true;
    e.text = "a";
    auto r = playWithSquareFont(a, &e);
    EXPECT_EQ(r->take(), "2.1\n3.9\n3.9\n-10\n1\n1638\n");
}

// textWidth counts the first line's indent but not the margins; tabs go to the paragraph's
// stops, past the last one they move nothing, and without stops they go every 32 pixels.
TEST(Avm1TextField, TextWidthWithMarginsIndentAndTabs) {
    ActionWriter a;
    squareField(a, "aa");
    setMember(a, "f", "leftMargin", 5);
    setMember(a, "f", "blockIndent", 3);
    setMember(a, "f", "indent", 4);
    callWith(a, "tf", "setTextFormat", {}, "f").op(op::Pop);
    traceMember(a, "tf", "textWidth");  // 4 + 20
    squareField(a, "a\ta");
    traceMember(a, "tf", "textWidth");  // the tab to 32, then 10
    push(a, {"f"}).getVariable();
    push(a, {"tabStops", 15, 1}).op(op::InitArray).op(op::SetMember);
    setMember(a, "tf", "text", "a\ta\ta");
    callWith(a, "tf", "setTextFormat", {}, "f").op(op::Pop);
    traceMember(a, "tf", "textWidth");  // 10, to 15, 25, no move, 35
    auto r = playWithSquareFont(a);
    EXPECT_EQ(r->take(), "24\n42\n35\n");
}

// Left aligned text counts its trailing spaces in textWidth, other alignments only from
// SWF 8 on leave them out; each advance comes to whole twips before it is added up.
TEST(Avm1TextField, TextWidthTrailingSpacesAndWholeTwipAdvances) {
    auto widths = [](int version) {
        ActionWriter a;
        squareField(a, "aa ");
        traceMember(a, "tf", "textWidth");  // 30
        setMember(a, "f", "align", "right");
        callWith(a, "tf", "setTextFormat", {}, "f").op(op::Pop);
        traceMember(a, "tf", "textWidth");  // 20 from SWF 8, else 30
        squareField(a, "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", 400);
        traceMember(a, "tf", "textWidth");  // 30 x 201 twips; 302 with the fractions kept
        return playWithSquareFont(a, nullptr, version)->take();
    };
    EXPECT_EQ(widths(8), "30\n20\n301\n");
    EXPECT_EQ(widths(7), "30\n30\n301\n");
}

// A word wraps once it reaches past the line's room, not into the gutter; a multiline field
// of one line keeps that line's leading in textHeight, as a single line field does.
TEST(Avm1TextField, WrapAtTheRoomAndLeadingOfALoneLine) {
    ActionWriter a;
    squareField(a, "aaaaa", 72);  // 68 px of room
    setMember(a, "tf", "wordWrap", true);
    setMember(a, "tf", "multiline", true);
    traceMember(a, "tf", "textHeight");     // one line
    setMember(a, "tf", "text", "aaaaa a");  // 70 px: two lines
    traceMember(a, "tf", "textHeight");
    setMember(a, "f", "leading", 5);
    callWith(a, "tf", "setTextFormat", {}, "f").op(op::Pop);
    traceMember(a, "tf", "textHeight");  // two lines, one leading between them
    setMember(a, "tf", "text", "a");
    callWith(a, "tf", "setTextFormat", {}, "f").op(op::Pop);
    traceMember(a, "tf", "textHeight");  // one line and its leading
    auto r = playWithSquareFont(a);
    EXPECT_EQ(r->take(), "19\n39\n44\n24\n");
}

// A field's _width and _height are its box's bounds as its parent sees them, turned with it;
// setting them sizes the box in its own space, whatever the field's scale.
TEST(Avm1TextField, WidthAndHeightOfATurnedOrScaledField) {
    ActionWriter a;
    push(a, {"tf"});
    call(a, "this", "createTextField", {"t", 1, 50, 40, 100, 30}).setVariable();
    setMember(a, "tf", "_rotation", 20);
    traceMember(a, "tf", "_width");   // 100 cos 20 + 30 sin 20, edges on whole twips
    traceMember(a, "tf", "_height");  // 100 sin 20 + 30 cos 20
    setMember(a, "tf", "_rotation", 0);
    setMember(a, "tf", "_xscale", 200);
    setMember(a, "tf", "_width", 20);
    traceMember(a, "tf", "_width");
    traceMember(a, "tf", "_xscale");
    Stage s(8);
    EXPECT_EQ(s.run(a), "104.2\n62.4\n40\n200\n");
}

// A focused input field shows its caret one pixel wide, a line high, where the text ends; its
// selection shows inverted: black behind, the glyphs white.
TEST(Avm1TextField, FocusShowsTheCaretAndTheSelection) {
    ActionWriter a;
    squareField(a, "a a");
    setMember(a, "tf", "type", "input");
    push(a, {"tf"}).getVariable();
    push(a, {1, "Selection"}).getVariable();
    push(a, {"setFocus"}).op(op::CallMethod).op(op::Pop);  // selects all
    auto r = playWithSquareFont(a);
    r->player->advanceFrame();
    QImage img = r->frame();
    auto gray = [&](const QImage& i, int x, int y) { return qGray(i.pixel(x, y)); };
    // Text from x = 12, y = 12: glyphs 10 px wide (cells 10 px), 15 px high on a 20 px line.
    EXPECT_GT(gray(img, 16, 20), 224);  // a glyph, white
    EXPECT_LT(gray(img, 26, 20), 32);   // the space between, black
    EXPECT_LT(gray(img, 16, 30), 32);   // below the glyphs, still the selection
    EXPECT_GT(gray(img, 45, 20), 224);  // past the text
    EXPECT_GT(gray(img, 16, 40), 224);  // below the line

    ActionWriter b;
    squareField(b, "a a");
    setMember(b, "tf", "type", "input");
    push(b, {"tf"}).getVariable();
    push(b, {1, "Selection"}).getVariable();
    push(b, {"setFocus"}).op(op::CallMethod).op(op::Pop);
    push(b, {3, 3, 2, "Selection"}).getVariable();
    push(b, {"setSelection"}).op(op::CallMethod).op(op::Pop);
    r = playWithSquareFont(b);
    r->player->advanceFrame();
    img = r->frame();
    EXPECT_LT(gray(img, 16, 20), 32);   // glyphs black again
    EXPECT_GT(gray(img, 26, 20), 224);  // the space white
    EXPECT_LT(gray(img, 42, 14), 64);   // the caret after the text, x = 12 + 30
    EXPECT_LT(gray(img, 42, 28), 64);
    EXPECT_GT(gray(img, 43, 20), 224);  // one pixel wide
    EXPECT_GT(gray(img, 42, 40), 224);  // a line high
}

// A field that does not wrap scrolls sideways by as much as its widest line overflows its
// room: hscroll stays within 0..maxhscroll, whole pixels, and is held there when the text
// shrinks; a wrapping field has nothing to scroll.
TEST(Avm1TextField, HScrollStaysWithinTheWidestLinesOverflow) {
    ActionWriter a;
    squareField(a, "aaaaaaaaaa\raaaaaaaaaaaaaaaaaaaa", 100);  // 200 px on 96 of room
    setMember(a, "tf", "multiline", true);
    traceMember(a, "tf", "maxhscroll");  // 104
    traceMember(a, "tf", "hscroll");     // 0
    setMember(a, "tf", "hscroll", 30.7);
    traceMember(a, "tf", "hscroll");  // 30
    setMember(a, "tf", "hscroll", 500);
    traceMember(a, "tf", "hscroll");  // 104
    setMember(a, "tf", "hscroll", -5);
    traceMember(a, "tf", "hscroll");  // 0
    setMember(a, "tf", "hscroll", 80);
    setMember(a, "tf", "text", "aaaaaaaaaaaa");  // 120 px: 24 to scroll
    traceMember(a, "tf", "hscroll");             // 24
    traceMember(a, "tf", "maxhscroll");
    setMember(a, "tf", "text", "aaaa");
    traceMember(a, "tf", "maxhscroll");  // 0: it fits
    traceMember(a, "tf", "hscroll");
    setMember(a, "tf", "text", "aaaaaaaaaaaa");
    setMember(a, "tf", "hscroll", 10);
    setMember(a, "tf", "wordWrap", true);
    traceMember(a, "tf", "maxhscroll");  // 0
    traceMember(a, "tf", "hscroll");
    auto r = playWithSquareFont(a);
    EXPECT_EQ(r->take(), "104\n0\n30\n104\n0\n24\n24\n0\n0\n0\n0\n");
}

// scroll, maxscroll and bottomScroll count the lines that fit in the box less its gutters;
// the scroll stays within 1 and maxscroll.
TEST(Avm1TextField, ScrollCountsTheLinesThatFit) {
    ActionWriter a;
    squareField(a, "a\ra\ra\ra");
    setMember(a, "tf", "multiline", true);
    setMember(a, "tf", "_height", 60);
    auto show = [&] {
        for (const char* m : {"scroll", "bottomScroll", "maxscroll"}) traceMember(a, "tf", m);
    };
    show();
    setMember(a, "tf", "scroll", 2.7);
    show();
    setMember(a, "tf", "scroll", 99);
    show();
    setMember(a, "tf", "scroll", -3);
    show();
    auto r = playWithSquareFont(a);
    EXPECT_EQ(r->take(), "1\n2\n3\n2\n3\n3\n3\n4\n3\n1\n2\n3\n");
}

// Most field setters ask an object for its primitive before converting it; the text and
// colour setters do not. maxChars keeps a 32-bit integer.
TEST(Avm1TextField, SettersAskAnObjectForItsPrimitiveFirst) {
    ActionWriter a;
    countingObject(a);
    call(a, "this", "createTextField", {"t", 1, 0, 0, 50, 20}).op(op::Pop);
    for (const char* member : {"html", "type", "maxChars", "text", "textColor"}) {
        push(a, {"t"}).getVariable();
        push(a, {member, "o"}).getVariable().op(op::SetMember);
        traceMember(a, "t", member);
    }
    auto r = playWithSquareFont(a);
    EXPECT_EQ(r->take(), "v\ntrue\nv\ns\ndynamic\nv\nv\n4\ns\nx\nv\n5\n");
}

// Scrolled text moves left by hscroll pixels and shows only between the box's gutters.
TEST(Avm1TextField, HScrollDrawsTheTextMovedLeft) {
    ActionWriter a;
    squareField(a, "a a a a a a a a a a a a", 100);  // glyphs on every other 10 px cell
    setMember(a, "tf", "hscroll", 10);
    auto r = playWithSquareFont(a);
    const QImage img = r->frame();
    auto gray = [&](int x, int y) { return qGray(img.pixel(x, y)); };
    // Unscrolled the glyphs would start at x = 12; now the first falls on 2..12 of the box.
    EXPECT_GT(gray(11, 20), 224);  // in the left gutter: hidden
    EXPECT_GT(gray(16, 20), 224);  // where the first glyph was: a space now
    EXPECT_LT(gray(26, 20), 32);   // the second glyph, moved 10 px left
    EXPECT_LT(gray(105, 20), 32);
    EXPECT_GT(gray(109, 20), 224);  // a glyph in the right gutter: hidden
}

// A scrolled field draws from its scroll line at the box's top, the lines above it hidden;
// the empty line after a last paragraph end is not scrolled to.
TEST(Avm1TextField, ScrollDrawsFromTheScrollLine) {
    struct Case {
        const char* text;
        double scroll;
        int firstX;  // where the top row's glyph starts
    };
    // Line k holds k spaces and an "a": its glyph starts 10 px further right than the last.
    const Case cases[] = {{"a\r a\r  a\r   a", 1, 12},
                          {"a\r a\r  a\r   a", 2, 22},
                          {"a\r a\r  a\r   a", 3, 32},
                          {"a\r a\r  a\r   a\r", 99, 32}};
    for (const Case& c : cases) {
        ActionWriter a;
        squareField(a, c.text);
        setMember(a, "tf", "multiline", true);
        setMember(a, "tf", "_height", 60);  // two lines fit
        setMember(a, "tf", "scroll", c.scroll);
        auto r = playWithSquareFont(a);
        const QImage img = r->frame();
        auto leftmost = [&](int top, int bottom) {
            for (int x = 0; x < img.width(); ++x)
                for (int y = top; y < bottom; ++y)
                    if (qGray(img.pixel(x, y)) < 128) return x;
            return -1;
        };
        SCOPED_TRACE(c.text);
        SCOPED_TRACE(c.scroll);
        EXPECT_EQ(leftmost(10, 33), c.firstX);               // the top row
        EXPECT_EQ(leftmost(33, 70), c.firstX + 10);          // the next line below it
        EXPECT_EQ(darkPixels(img.copy(0, 0, 200, 10)), 0);   // nothing above the box
        EXPECT_EQ(darkPixels(img.copy(0, 70, 200, 30)), 0);  // nor below it
    }
}

// A list item stands 36 pixels in from its margin, its bullet in the item's font to the left
// of its text; a style sheet's rule for li styles it too.
TEST(Avm1TextField, ListItemsStandInWithTheirBullet) {
    ActionWriter a;
    squareField(a, "");
    push(a, {"ss", 0, "TextField"}).getVariable();
    push(a, {"StyleSheet"}).op(0x53).setVariable();
    call(a, "ss", "parseCSS", {"li { color: #0000FF }"}).op(op::Pop);
    push(a, {"tf"}).getVariable();
    push(a, {"styleSheet", "ss"}).getVariable().op(op::SetMember);
    setMember(a, "tf", "htmlText", "<li>a</li>");
    traceMember(a, "tf", "text");
    auto r = playWithSquareFont(a);
    EXPECT_EQ(r->take(), "a\n");
    const QImage img = r->frame();
    const QRgb text = img.pixel(52, 20);  // 12 + 36 + 4
    EXPECT_LT(qRed(text), 32);
    EXPECT_GT(qBlue(text), 224);
    EXPECT_GT(qGray(img.pixel(61, 20)), 224);             // the glyph is 10 px wide
    EXPECT_GT(darkPixels(img.copy(12, 10, 36, 30)), 10);  // the bullet
    EXPECT_EQ(darkPixels(img.copy(40, 10, 8, 30)), 0);    // ... left of the text
}

// A style sheet's textAlign aligns the paragraphs its rule reaches; the paragraph's own align
// attribute wins over it.
TEST(Avm1StyleSheet, TextAlignAlignsParagraphs) {
    auto glyphLeft = [](const char* html) {
        ActionWriter a;
        squareField(a, "");  // 150 px wide at x = 10: 146 of room from x = 12
        push(a, {"ss", 0, "TextField"}).getVariable();
        push(a, {"StyleSheet"}).op(0x53).setVariable();
        call(a, "ss", "parseCSS", {"p { text-align: center } .r { text-align: right }"})
            .op(op::Pop);
        push(a, {"tf"}).getVariable();
        push(a, {"styleSheet", "ss"}).getVariable().op(op::SetMember);
        setMember(a, "tf", "htmlText", html);
        auto r = playWithSquareFont(a);
        const QImage img = r->frame();
        for (int x = 11; x < 170; ++x)
            if (qGray(img.pixel(x, 20)) < 128) return x;
        return -1;
    };
    EXPECT_EQ(glyphLeft("<p>a</p>"), 80);                 // 12 + (146 - 10) / 2
    EXPECT_EQ(glyphLeft("<p class=\"r\">a</p>"), 148);    // the class's rule after the tag's
    EXPECT_EQ(glyphLeft("<p align=\"left\">a</p>"), 12);  // the attribute over the rule
}
