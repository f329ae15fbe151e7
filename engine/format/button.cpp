#include "engine/format/button.h"

namespace swf::format {

Button parseDefineButton(std::span<const uint8_t> body, int version) {
    BitReader r(body);
    Button b;
    b.version = version;
    b.id = r.u16();
    if (version >= 2) {
        r.u8();   // track as menu
        r.u16();  // offset of the actions
    }
    while (!r.overrun()) {
        const uint8_t flags = r.u8();
        if (flags == 0 || r.overrun()) break;
        ButtonRecord rec;
        const bool hasBlend = flags & 0x20, hasFilters = flags & 0x10;
        rec.hitTest = flags & 0x08;
        rec.down = flags & 0x04;
        rec.over = flags & 0x02;
        rec.up = flags & 0x01;
        rec.characterId = r.u16();
        rec.depth = r.u16();
        rec.matrix = readMatrix(r);
        if (version >= 2) {
            rec.cxform = readCxform(r, true);
            if (hasFilters && !readFilters(r, r.u8(), rec.filters)) break;
            if (hasBlend) rec.blendMode = r.u8();
        }
        if (r.overrun()) break;
        b.records.push_back(std::move(rec));
    }
    return b;
}

std::optional<Cxform> parseButtonCxform(std::span<const uint8_t> body) {
    BitReader r(body);
    r.u16();
    const Cxform c = readCxform(r, false);
    if (r.overrun()) return std::nullopt;
    return c;
}

}  // namespace swf::format
