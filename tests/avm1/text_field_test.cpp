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

// obj.member = value
ActionWriter& setMember(ActionWriter& a, const char* obj, const char* member, P value) {
    push(a, {obj}).getVariable();
    push(a, {member, value}).op(op::SetMember);
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
    push(a, {"\r"}).op(0x47).trace();  // paragraphs end in "\r"
    setMember(a, "tf", "text", "a<b");
    traceMember(a, "tf", "htmlText");
    Stage s(8);
    EXPECT_EQ(s.run(a),
              "one & two\nthree\n\n\n"
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" "
              "LETTERSPACING=\"0\" KERNING=\"0\">a&lt;b</FONT></P>\n");
}

TEST(Avm1TextFormat, ValuesAreConvertedAsThePlayerDoes) {
    ActionWriter a;
    push(a, {"f", 0, "TextFormat"}).op(op::NewObject).setVariable();
    traceMember(a, "f", "font");  // null: nothing set
    for (auto [member, value] :
         std::initializer_list<std::pair<const char*, P>>{{"size", -3.5},
                                                          {"size", 2.5},
                                                          {"color", -3},
                                                          {"leftMargin", -5},
                                                          {"bold", "x"},
                                                          {"align", "CENTER"},
                                                          {"align", "bogus"}}) {
        setMember(a, "f", member, value);
        traceMember(a, "f", member);
    }
    Stage s(8);
    EXPECT_EQ(s.run(a), "null\n-4\n2\n4294967293\n0\ntrue\ncenter\ncenter\n");
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
              "ab\na\nb\n\nx\ny\n\na b \n"
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
    traceFormat({0, 2}, "bold");  // null
    traceFormat({1}, "bold");     // true
    traceFormat({0}, "align");    // center: the whole first paragraph
    traceFormat({4}, "align");    // left
    traceFormat({2, 2}, "bold");  // an empty range: null
    setMember(a, "tf", "text", "z");
    traceFormat({}, "bold");  // new text takes the new text format
    Stage s(8);
    EXPECT_EQ(s.run(a), "null\ntrue\ncenter\nleft\nnull\nfalse\n");
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
    traceMember(a, "tf", "textWidth");   // 90: two words a line, the space left out
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
    EXPECT_EQ(r->take(), "90\n39\n44\n66\n");
}
