#pragma once
// Text fields as scripts see them: DefineEditText instances placed by timelines and fields
// made by createTextField, their TextField objects, variable binding, TextFormat, Selection
// and TextSnapshot. Each field hands the renderer a TextFieldView of its current content.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/avm1/host.h"
#include "engine/avm1/value.h"
#include "engine/format/text.h"
#include "engine/render/text_render.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/text_field_view.h"

namespace swf {
class Movie;
}

namespace swf::avm1 {

class Vm;
class Object;
class TextFields;

using swf::FieldFormat;
using swf::RichText;

class TextFieldHost : public ClipHost {
public:
    // A field a timeline placed (o is its display object there).
    TextFieldHost(TextFields& owner, ClipHost* parent, const DisplayObject& o,
                  const format::EditText& def, std::string name);
    // A field createTextField made: at (x, y), w x h pixels.
    TextFieldHost(TextFields& owner, ClipHost* parent, std::string name, int depth, double x,
                  double y, double w, double h);

    int currentFrame() const override { return 0; }
    int totalFrames() const override { return 1; }
    bool isPlaying() const override { return false; }
    void play() override {}
    void stop() override {}
    void gotoFrame(int, bool) override {}
    std::optional<int> labelFrame(std::string_view) const override { return std::nullopt; }
    std::string name() const override { return name_; }
    void setName(std::string_view n) override { name_ = std::string(n); }
    ClipHost* parent() const override { return parent_; }
    int depth() const override { return created_ ? depth_ + 16384 : depth_; }
    std::optional<double> property(int index) const override;
    void setProperty(int index, double v) override;

    // The display object behind the field (a placed one's in its parent's list; a created one's
    // own copy); null once a placed field left the stage.
    DisplayObject* object() const;
    bool matches(const DisplayObject& o) const;
    bool created() const { return created_; }
    int rawDepth() const { return depth_; }

    // ---- state scripts read and write
    format::EditText def;     // layout and flags; bounds in twips
    RichText content;         // paragraphs end in "\r"
    std::string initialText;  // the definition's, UTF-8
    FieldFormat newFmt;       // getNewTextFormat / setNewTextFormat
    bool background = false;
    uint32_t backgroundColor = 0xffffff, borderColor = 0;
    std::string autoSize = "none";
    std::optional<double> maxChars;
    std::optional<std::string> restrict;
    bool condenseWhite = false, mouseWheelEnabled = true;
    int hscroll = 0;  // pixels; held within maxHScroll() whenever the text or box changes
    Value tabIndex;
    bool alive = true;
    // A style sheet set by script (also held by the field's object) and the HTML last given
    // while it was, which htmlText then reads back as written.
    Object* styleSheet = nullptr;
    std::optional<std::string> styledHtml;

    std::string text() const;                 // the characters, UTF-8
    void setText(std::string_view utf8);      // as `text =` does (newlines become "\r")
    void setHtmlText(std::string_view html);  // as `htmlText =` does
    std::string htmlText() const;             // as Flash writes it back
    // Variable binding: reads the bound variable into the text (clips only unless initial),
    // or writes the text to it.
    void pullVariable(bool initial);
    void pushVariable();
    void changed() { dirty_ = true; }
    // The room the text takes (pixels), laid out as drawn.
    render::TextExtent extent() const;
    // How far the text can be scrolled sideways (pixels): what of the widest line does not fit.
    int maxHScroll() const { return extent().maxHScroll; }
    // Vertical scrolling in lines, from 1: the first line shown, the last scroll that still
    // shows the last line, and the last line shown.
    int scrollLine() const { return std::clamp(scroll_, 1, maxScroll()); }
    void setScroll(double line);
    // Laying the field out holds the scroll within what the text now allows; the player does
    // so as a frame ends, or when a script reads the box of a field that sizes itself.
    void holdScroll() const {
        if (scroll_ > 1) scroll_ = scrollLine();  // the first line needs no layout
    }
    int maxScroll() const;
    int bottomScroll() const;
    void setHScroll(double px);
    // autoSize: fits the box around the text.
    void fitSize();
    // Puts the current view into the display object (and a created field into its parent's
    // display list).
    void publish();

private:
    friend class TextFields;
    TextFields& owner_;
    ClipHost* parent_;
    std::string name_;
    int depth_;
    bool created_;
    uint16_t characterId_ = 0;
    int placedAt_ = 0;
    DisplayObject own_;  // a created field's display object
    bool dirty_ = true;
    std::string bound_;       // the bound variable's value the text last came from or went to
    mutable int scroll_ = 1;  // the first line shown; held within maxScroll() by holdScroll()
    std::shared_ptr<const TextFieldView> view_;
};

class TextFields {
public:
    explicit TextFields(Vm& vm);
    ~TextFields();

    // Set by the player's script runner: display lists of timelines, the movie's characters.
    std::function<DisplayList*(const ClipHost*)> listOf;
    const Movie* movie = nullptr;

    Vm& vm() { return vm_; }
    Object* proto = nullptr;        // TextField.prototype
    Object* formatProto = nullptr;  // TextFormat.prototype
    // Puts a field's properties on a prototype; done once per prototype, by its first field.
    std::function<void(Vm&, Object*)> fieldProperties;
    void nativeProperties(Object* proto);

    // The fields below parent (found in its display list, or created there).
    std::vector<ClipHost*> childrenOf(ClipHost* parent);
    TextFieldHost* create(ClipHost* parent, std::string_view name, int depth, double x, double y,
                          double w, double h);
    void remove(TextFieldHost* field);
    // A timeline went away: so do the fields on it.
    void parentGone(const ClipHost* parent);
    // After the player moved: fields found or gone, bound variables read, views published.
    void sync();
    Object* objectFor(TextFieldHost* field);
    // The focus and selection as fields show them.
    void noteFocus();
    struct ShownFocus {
        const TextFieldHost* field = nullptr;
        int selBegin = 0, selEnd = 0;
    };
    const ShownFocus& shownFocus() const { return shownFocus_; }

    int swfVersion() const;
    std::string fontName(uint16_t fontId) const;
    const format::Font* font(uint16_t fontId) const;  // null when fontId is no font

private:
    TextFieldHost* placed(ClipHost* parent, const DisplayObject& o, const format::EditText& def);
    Vm& vm_;
    std::map<std::tuple<const ClipHost*, int, uint16_t, int>, std::unique_ptr<TextFieldHost>>
        placed_;
    std::vector<std::unique_ptr<TextFieldHost>> created_;
    std::vector<std::unique_ptr<TextFieldHost>> gone_;
    ShownFocus shownFocus_;
};

// The field behind a TextField object; null for anything else.
TextFieldHost* textFieldOf(Object* o);

// A click at a stage point (twips) on a link of a field's text follows it: "asfunction:f,arg"
// calls f(arg) on the field's timeline, any other address goes to getURL. False off links.
bool followLinkAt(Vm& vm, double x, double y);

void installTextBuiltins(Vm& vm);
// TextField.StyleSheet (text_stylesheet.cpp), and how a sheet's rules style a field's HTML.
void installStyleSheet(Vm& vm, Object* textFieldCtor);
render::HtmlStyler styleSheetStyler(Vm& vm, Object* sheet);
// TextSnapshot and MovieClip.getTextSnapshot (text_snapshot.cpp).
void installTextSnapshot(Vm& vm, TextFields& fields);

}  // namespace swf::avm1
