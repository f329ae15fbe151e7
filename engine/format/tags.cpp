#include "engine/format/tags.h"

#include "engine/format/container.h"

namespace swf::format {

std::string tagName(uint16_t c) {
    switch (c) {
        case 0:
            return "End";
        case 1:
            return "ShowFrame";
        case 2:
            return "DefineShape";
        case 3:
            return "FreeCharacter";
        case 4:
            return "PlaceObject";
        case 5:
            return "RemoveObject";
        case 6:
            return "DefineBits";
        case 7:
            return "DefineButton";
        case 8:
            return "JPEGTables";
        case 9:
            return "SetBackgroundColor";
        case 10:
            return "DefineFont";
        case 11:
            return "DefineText";
        case 12:
            return "DoAction";
        case 13:
            return "DefineFontInfo";
        case 14:
            return "DefineSound";
        case 15:
            return "StartSound";
        case 17:
            return "DefineButtonSound";
        case 18:
            return "SoundStreamHead";
        case 19:
            return "SoundStreamBlock";
        case 20:
            return "DefineBitsLossless";
        case 21:
            return "DefineBitsJPEG2";
        case 22:
            return "DefineShape2";
        case 23:
            return "DefineButtonCxform";
        case 24:
            return "Protect";
        case 26:
            return "PlaceObject2";
        case 28:
            return "RemoveObject2";
        case 32:
            return "DefineShape3";
        case 33:
            return "DefineText2";
        case 34:
            return "DefineButton2";
        case 35:
            return "DefineBitsJPEG3";
        case 36:
            return "DefineBitsLossless2";
        case 37:
            return "DefineEditText";
        case 39:
            return "DefineSprite";
        case 41:
            return "ProductInfo";
        case 43:
            return "FrameLabel";
        case 45:
            return "SoundStreamHead2";
        case 46:
            return "DefineMorphShape";
        case 48:
            return "DefineFont2";
        case 56:
            return "ExportAssets";
        case 57:
            return "ImportAssets";
        case 58:
            return "EnableDebugger";
        case 59:
            return "DoInitAction";
        case 60:
            return "DefineVideoStream";
        case 61:
            return "VideoFrame";
        case 62:
            return "DefineFontInfo2";
        case 63:
            return "DebugID";
        case 64:
            return "EnableDebugger2";
        case 65:
            return "ScriptLimits";
        case 66:
            return "SetTabIndex";
        case 69:
            return "FileAttributes";
        case 70:
            return "PlaceObject3";
        case 71:
            return "ImportAssets2";
        case 72:
            return "DoABC";
        case 73:
            return "DefineFontAlignZones";
        case 74:
            return "CSMTextSettings";
        case 75:
            return "DefineFont3";
        case 76:
            return "SymbolClass";
        case 77:
            return "Metadata";
        case 78:
            return "DefineScalingGrid";
        case 82:
            return "DoABC2";
        case 83:
            return "DefineShape4";
        case 84:
            return "DefineMorphShape2";
        case 86:
            return "DefineSceneAndFrameLabelData";
        case 87:
            return "DefineBinaryData";
        case 88:
            return "DefineFontName";
        case 89:
            return "StartSound2";
        case 90:
            return "DefineBitsJPEG4";
        case 91:
            return "DefineFont4";
        case 93:
            return "EnableTelemetry";
        default:
            return "Unknown(" + std::to_string(c) + ")";
    }
}

MovieHeader readMovieHeader(std::span<const uint8_t> body) {
    BitReader r(body);
    MovieHeader h;
    h.stage = readRect(r);
    const uint16_t rate = r.u16();
    h.frameRate = (rate >> 8) + (rate & 0xff) / 256.0;
    h.frameCount = r.u16();
    if (r.overrun()) throw FormatError("truncated header");
    h.tagsOffset = r.pos();
    return h;
}

bool TagReader::next(Tag& tag) {
    if (sawEnd_ || truncated_ || pos_ >= data_.size()) return false;
    const size_t left = data_.size() - pos_;
    if (left < 2) {
        truncated_ = true;
        return false;
    }
    const uint16_t head = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    size_t at = pos_ + 2;
    uint32_t length = head & 0x3f;
    if (length == 0x3f) {
        if (data_.size() - at < 4) {
            truncated_ = true;
            return false;
        }
        length = data_[at] | (data_[at + 1] << 8) | (data_[at + 2] << 16) |
                 (uint32_t(data_[at + 3]) << 24);
        at += 4;
    }
    if (length > data_.size() - at) {
        truncated_ = true;
        return false;
    }
    tag.code = static_cast<uint16_t>(head >> 6);
    tag.body = data_.subspan(at, length);
    pos_ = at + length;
    if (tag.code == code::End) sawEnd_ = true;
    return true;
}

}  // namespace swf::format
