// System.capabilities. The player presents itself as the Windows stand-alone Flash Player 9
// the movies of this program's collections were made for: movies read the major version from
// $version, and some take a branch by its platform prefix.

#include "engine/avm1/capabilities.h"

#include <cctype>
#include <variant>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

struct Capability {
    const char* name;
    const char* serverKey;  // its code in serverString; null: not listed there
    std::variant<bool, double, const char*> value;
};

constexpr const char* kVersion = "WIN 9,0,999,0";

// In serverString's order.
const Capability kCapabilities[] = {
    {"hasAudio", "A", true},
    {"hasStreamingAudio", "SA", true},
    {"hasStreamingVideo", "SV", true},
    {"hasEmbeddedVideo", "EV", true},
    {"hasMP3", "MP3", true},
    {"hasAudioEncoder", "AE", false},
    {"hasVideoEncoder", "VE", false},
    {"hasAccessibility", "ACC", false},
    {"hasPrinting", "PR", false},
    {"hasScreenPlayback", "SP", false},
    {"hasScreenBroadcast", "SB", false},
    {"isDebugger", "DEB", false},
    {"version", "V", kVersion},
    {"manufacturer", nullptr, "Macromedia Windows"},
    {"screenResolutionX", nullptr, 1024.0},
    {"screenResolutionY", nullptr, 768.0},
    {"screenDPI", "DP", 96.0},
    {"screenColor", "COL", "color"},
    {"pixelAspectRatio", nullptr, 1.0},
    {"os", "OS", "Windows XP"},
    {"language", "L", "en"},
    {"hasIME", "IME", false},
    {"playerType", "PT", "StandAlone"},
    {"avHardwareDisable", "AVD", false},
    {"localFileReadDisable", "LFD", false},
    {"windowlessDisable", "WD", false},
    {"hasTLS", "TLS", false},
};

std::string encoded(std::string_view s) {
    return percentEncoded(s, [](unsigned char ch) { return std::isalnum(ch) != 0; });
}

Value toValue(const Capability& c) {
    if (auto* b = std::get_if<bool>(&c.value)) return Value(*b);
    if (auto* n = std::get_if<double>(&c.value)) return Value(*n);
    return Value(std::get<const char*>(c.value));
}

std::string serverValue(const Capability& c) {
    if (auto* b = std::get_if<bool>(&c.value)) return *b ? "t" : "f";
    if (auto* n = std::get_if<double>(&c.value)) return std::to_string(static_cast<int>(*n));
    return encoded(std::get<const char*>(c.value));
}

// The query string a server is sent: the manufacturer, resolution and aspect ratio take
// their place after the version, in the player's own spelling.
std::string serverString() {
    std::string out;
    auto add = [&out](std::string_view key, const std::string& v) {
        if (!out.empty()) out += '&';
        out.append(key).append("=").append(v);
    };
    for (const Capability& c : kCapabilities) {
        if (!c.serverKey) continue;
        add(c.serverKey, serverValue(c));
        if (std::string_view(c.serverKey) == "V") {
            add("M", encoded("Adobe Windows"));
            add("R", "1024x768");
        }
        if (std::string_view(c.serverKey) == "COL") add("AR", "1.0");
    }
    return out;
}

}  // namespace

std::string playerVersion() { return kVersion; }

Value queryCapabilities(Vm& vm, Object* self, Args&) {
    if (!self) return {};
    for (const Capability& c : kCapabilities) vm.set(self, c.name, toValue(c));
    vm.set(self, "serverString", Value(serverString()));
    return {};
}

}  // namespace swf::avm1
