#include "engine/format/place.h"

#include "engine/format/bit_reader.h"
#include "engine/format/filter.h"

namespace swf::format {

PlaceObject parsePlaceObject(std::span<const uint8_t> body, int version) {
    BitReader r(body);
    PlaceObject p;
    p.version = version;
    if (version == 1) {
        p.characterId = r.u16();
        p.depth = r.u16();
        p.matrix = readMatrix(r);
        if (!r.atEnd()) p.cxform = readCxform(r, false);
        p.truncated = r.overrun();
        return p;
    }
    const uint8_t f1 = r.u8();
    const uint8_t f2 = version >= 3 ? r.u8() : 0;
    p.move = f1 & 0x01;
    p.depth = r.u16();
    const bool hasCharacter = f1 & 0x02;
    if ((f2 & 0x08) || ((f2 & 0x10) && hasCharacter)) p.className = r.string();
    if (hasCharacter) p.characterId = r.u16();
    if (f1 & 0x04) p.matrix = readMatrix(r);
    if (f1 & 0x08) p.cxform = readCxform(r, true);
    if (f1 & 0x10) p.ratio = r.u16();
    if (f1 & 0x20) p.name = r.string();
    if (f1 & 0x40) p.clipDepth = r.u16();
    if (f2 & 0x01) {
        p.filterCount = r.u8();
        if (!readFilters(r, p.filterCount, p.filters)) {
            p.truncated = true;
            return p;
        }
    }
    if (f2 & 0x02) p.blendMode = r.u8();
    if (f2 & 0x04) p.cacheAsBitmap = r.u8() != 0;
    if (f2 & 0x20) p.visible = r.u8() != 0;
    if (f2 & 0x40) p.backgroundColor = readRgba(r);
    p.hasClipActions = f1 & 0x80;  // clip actions are read with scripts
    p.truncated = r.overrun();
    return p;
}

RemoveObject parseRemoveObject(std::span<const uint8_t> body, int version) {
    BitReader r(body);
    RemoveObject o;
    if (version == 1) o.characterId = r.u16();
    o.depth = r.u16();
    return o;
}

}  // namespace swf::format
