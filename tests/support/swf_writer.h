#pragma once
// swftest: builds SWF files byte by byte for the engine's tests, the app's tests, the
// benchmarks and the sample-movie generator. Pure C++ (zlib and liblzma in the .cpp only),
// so that any tool or test can link it without Qt.
//
// Coordinates are twips (1/20 pixel) unless a name says Px. Character ids are handed out
// from 1 upwards by the define* calls; reserveId() gives one for a rawTag definition.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swftest {

enum class Compression { None, Zlib, Lzma };  // FWS, CWS, ZWS

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// a b c d of the SWF MATRIX: sx = ScaleX, sy = ScaleY, r0 = RotateSkew0, r1 = RotateSkew1.
struct Matrix {
    double sx = 1, sy = 1, r0 = 0, r1 = 0;
    int tx = 0, ty = 0;  // twips
};

// Multipliers are 8.8 fixed (256 = 1.0); adds are added after multiplying (-255..255 typical).
struct Cxform {
    int rm = 256, gm = 256, bm = 256, am = 256, ra = 0, ga = 0, ba = 0, aa = 0;
};

// Bit-level writer, most significant bit first as SWF packs its records. The byte helpers
// (u8, u16 ...) align first and write little-endian.
class BitWriter {
public:
    void writeUB(uint32_t value, int nbits);
    void writeSB(int32_t value, int nbits);
    void writeFB(double value, int nbits);  // 16.16 fixed, nbits signed bits
    void align();                           // pads the current byte with zero bits

    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void s16(int16_t v) { u16(static_cast<uint16_t>(v)); }
    void fixed8(double v);  // 8.8 fixed, u16
    void fixed(double v);   // 16.16 fixed, u32
    void f32(float v);
    void f64(double v);               // plain little-endian IEEE double
    void string(std::string_view s);  // bytes then a terminating 0
    void raw(std::span<const uint8_t> b);

    const std::vector<uint8_t>& bytes() const { return out_; }
    std::vector<uint8_t> take();
    size_t size() const { return out_.size(); }

private:
    std::vector<uint8_t> out_;
    int bitPos_ = 0;  // bits used in out_.back(); 0 = byte aligned
};

// Bit counts as SWF needs them (at least 1 for signed; 0 for unsigned 0).
int ubBits(uint32_t v);
int sbBits(int32_t v);
int sbBits(std::initializer_list<int32_t> vs);  // enough for each of them
int fbBits(double v);                           // for 16.16 fixed values

// Records, each written from the current bit position and aligned at the end
// (MATRIX, CXFORM and RECT are byte-aligned records in every place they occur).
void writeRect(BitWriter& w, int xMin, int xMax, int yMin, int yMax);
void writeMatrix(BitWriter& w, const Matrix& m);
void writeCxform(BitWriter& w, const Cxform& c, bool withAlpha);
void writeRgb(BitWriter& w, Rgba c);
void writeRgba(BitWriter& w, Rgba c);

// Tag header: short form when length < 0x3f (and not forced long), else 0x3f + u32 length.
std::vector<uint8_t> tagHeader(uint16_t code, uint32_t length, bool forceLong = false);

// Tag codes used by the builder, for tests that count or hand-write tags.
namespace tag {
constexpr uint16_t End = 0, ShowFrame = 1, DefineShape = 2, PlaceObject = 4, RemoveObject = 5,
                   SetBackgroundColor = 9, DoAction = 12, DefineShape2 = 22, PlaceObject2 = 26,
                   RemoveObject2 = 28, DefineShape3 = 32, FrameLabel = 43, DefineSprite = 39,
                   DoInitAction = 59, PlaceObject3 = 70, FileAttributes = 69, DefineShape4 = 83;
}

struct PathCmd {
    enum Kind { Move, Line, Curve } kind;
    int x, y, cx = 0, cy = 0;  // twips, absolute; Curve: control (cx,cy), anchor (x,y)
};

struct ShapeDesc {
    std::vector<Rgba> fills;  // solid fill styles (index 1..n)
    struct Line {
        int width;  // twips
        Rgba color;
    };
    std::vector<Line> lines;  // line styles (index 1..n)
    struct Path {
        int fill0 = 0, fill1 = 0, line = 0;
        std::vector<PathCmd> cmds;  // a leading Move sets the pen; otherwise it starts where
                                    // the previous path ended (0,0 for the first)
    };
    std::vector<Path> paths;  // each path: a style change then edges
    int version = 1;  // DefineShape 1..4 (alpha colours from 3; 4 writes edge bounds + flags,
                      // LINESTYLE2 with plain caps/joins)
};

// Shape bounds as the writer computes them: (xMin, xMax, yMin, yMax) in twips, over anchors
// and curve control points; withStrokes widens by half the widest line style used.
struct Bounds {
    int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};
Bounds shapeBounds(const ShapeDesc& s, bool withStrokes);

// The SHAPEWITHSTYLE record (styles + records, no id and no bounds), for hand-built tags.
std::vector<uint8_t> shapeWithStyle(const ShapeDesc& s);

// Full control over a PlaceObject2/3; place(), move(), replace() and place3() fill this in.
struct PlaceArgs {
    int depth = 1;
    bool move = false;
    std::optional<uint16_t> id;
    std::optional<Matrix> matrix;
    std::optional<Cxform> cxform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    // PlaceObject3 only (version 3 is written when any of these is set or v3 is true)
    bool v3 = false;
    std::optional<std::string> className;
    std::optional<uint8_t> blendMode;  // 1 normal ... 14 hardlight
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    // onClipEvent handlers: event flags (SWF 6 layout, 1 load, 2 enterFrame, 4 unload) and
    // action bytes ending in ActionEndFlag.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> clipActions;
};

// AVM1 action bytes for DoAction / DoInitAction. end() appends ActionEndFlag (0).
class ActionWriter {
public:
    ActionWriter& stop();
    ActionWriter& play();
    ActionWriter& nextFrame();
    ActionWriter& prevFrame();
    ActionWriter& gotoFrame(uint16_t frame);  // ActionGotoFrame, 0-based
    ActionWriter& gotoLabel(std::string_view label);
    ActionWriter& pushString(std::string_view s);
    ActionWriter& pushInt(int32_t v);    // push type 7
    ActionWriter& pushDouble(double v);  // push type 6
    ActionWriter& pushBool(bool v);
    ActionWriter& pushNull();
    ActionWriter& pushUndefined();
    ActionWriter& trace();
    ActionWriter& getVariable();
    ActionWriter& setVariable();
    ActionWriter& add2();
    ActionWriter& pop();
    ActionWriter& op(uint8_t code);                                    // no payload
    ActionWriter& op(uint8_t code, std::span<const uint8_t> payload);  // code >= 0x80
    ActionWriter& end();
    const std::vector<uint8_t>& bytes() const { return out_; }

private:
    std::vector<uint8_t> out_;
};

// A tag stream with frames: the root timeline (SwfBuilder) or a sprite's (SpriteBuilder).
class Timeline {
public:
    void place(uint16_t id, int depth, const Matrix& m = {}, std::optional<Cxform> cx = {},
               std::optional<std::string> name = {}, int clipDepth = 0,
               std::optional<int> ratio = {});  // PlaceObject2 new char
    void placeV1(uint16_t id, int depth, const Matrix& m = {},
                 std::optional<Cxform> cx = {});  // PlaceObject (1)
    void place3(uint16_t id, int depth, const Matrix& m = {}, std::optional<Cxform> cx = {},
                std::optional<std::string> name = {}, int clipDepth = 0,
                std::optional<int> ratio = {}, std::optional<uint8_t> blendMode = {},
                std::optional<bool> cacheAsBitmap = {});                   // PlaceObject3 new char
    void placeObject(const PlaceArgs& a);                                  // any PlaceObject2/3
    void move(int depth, const Matrix& m, std::optional<Cxform> cx = {});  // PlaceObject2 move
    void replace(uint16_t id, int depth, const Matrix& m = {});  // PlaceObject2 move+character
    void remove(int depth);                                      // RemoveObject2
    void removeV1(uint16_t id, int depth);                       // RemoveObject
    void label(const std::string& name);                         // FrameLabel
    void doAction(const ActionWriter& a);                        // DoAction (adds end if missing)
    void showFrame();
    void rawTag(uint16_t code, std::span<const uint8_t> body, bool forceLong = false);

    int framesWritten() const { return frames_; }
    const std::vector<uint8_t>& tagBytes() const { return tags_; }  // without End

protected:
    std::vector<uint8_t> tags_;
    int frames_ = 0;
};

// A DefineButton2: its records (which states show each character) and its actions, each
// run on the conditions given (1 rollOver, 2 rollOut, 4 press, 8 release, 0x40
// releaseOutside ...; a key press as code << 9).
struct ButtonDesc {
    struct Record {
        bool up = true, over = true, down = true, hitTest = true;
        uint16_t characterId = 0;
        int depth = 1;
        Matrix matrix;
    };
    std::vector<Record> records;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> actions;  // conditions, bytes
    bool trackAsMenu = false;
};

// A DefineSprite's timeline; only control tags belong in it. Its frame count is the number of
// showFrame() calls.
class SpriteBuilder : public Timeline {};

class SwfBuilder : public Timeline {
public:
    SwfBuilder(int version = 6, int widthPx = 550, int heightPx = 400, double fps = 24.0);

    void setBackground(Rgba c);                // SetBackgroundColor
    uint16_t defineShape(const ShapeDesc& s);  // returns the new character id
    uint16_t defineRect(int xTw, int yTw, int wTw, int hTw, Rgba fill, int version = 1);
    uint16_t defineSprite(const SpriteBuilder& sprite);  // DefineSprite, returns its id
    uint16_t defineButton2(const ButtonDesc& button);    // DefineButton2, returns its id
    void doInitAction(uint16_t spriteId, const ActionWriter& a);
    void fileAttributes(uint32_t flags = 0);  // FileAttributes (put it first for SWF 8+)
    uint16_t reserveId() { return nextId_++; }

    // Header fields that may disagree with the content, for loader tests.
    void setFrameCountOverride(std::optional<uint16_t> n);  // header frame count
    void setLengthOverride(std::optional<uint32_t> n);      // header file length field
    void setStage(int xMinTw, int yMinTw, int xMaxTw, int yMaxTw);
    void setFrameRate(double fps) { fps_ = fps; }
    void setVersion(int v) { version_ = v; }

    // The whole file; appends End and fills the header length (of the uncompressed file).
    std::vector<uint8_t> bytes(Compression c = Compression::None) const;
    // Same, optionally without the End tag (a stream that just stops).
    std::vector<uint8_t> bytes(Compression c, bool appendEnd) const;

private:
    int version_;
    int xMin_ = 0, yMin_ = 0, xMax_, yMax_;
    double fps_;
    uint16_t nextId_ = 1;
    std::optional<uint16_t> frameCountOverride_;
    std::optional<uint32_t> lengthOverride_;
};

}  // namespace swftest
