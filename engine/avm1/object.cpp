#include "engine/avm1/object.h"

namespace swf::avm1 {

bool hiddenByVersion(uint16_t flags, int version) {
    return ((flags & From6) && version < 6) || ((flags & Not6) && version == 6) ||
           ((flags & From7) && version < 7) || ((flags & From8) && version < 8) ||
           ((flags & From9) && version < 9) || ((flags & From10) && version < 10);
}

void Property::setFlags(uint16_t f, int version) {
    flags = f & kKnownFlags;
    hidden = listedWhenHidden = hiddenByVersion(flags, version);
}

Property* Object::findOwn(std::string_view key) {
    Property* p = findAny(key);
    return p && !p->hidden ? p : nullptr;
}

Property* Object::findAny(std::string_view key) {
    auto it = index_.find(std::string(key));
    return it == index_.end() ? nullptr : &props_[it->second];
}

Property& Object::setOwn(std::string_view name, std::string_view key, Value v, uint16_t flags) {
    auto it = index_.find(std::string(key));
    if (it != index_.end()) {
        Property& p = props_[it->second];
        p.value = std::move(v);
        p.getter = p.setter = nullptr;
        p.flags = flags;
        p.hidden = p.listedWhenHidden = false;
        if (key == kProtoKey) proto = p.value.isObject() ? p.value.o : nullptr;
        return p;
    }
    if (key == kProtoKey) proto = v.isObject() ? v.o : nullptr;
    index_.emplace(std::string(key), static_cast<uint32_t>(props_.size()));
    props_.push_back(
        Property{std::string(name), std::string(key), std::move(v), nullptr, nullptr, flags});
    return props_.back();
}

void Object::setProto(Object* p) {
    if (Property* own = findAny(kProtoKey)) {
        const bool hidden = own->hidden, listed = own->listedWhenHidden;
        Property& q = setOwn(kProtoKey, kProtoKey, p ? Value(p) : Value(), own->flags);
        q.hidden = hidden;
        q.listedWhenHidden = listed;
        return;
    }
    if (p) setOwn(kProtoKey, kProtoKey, Value(p), DontEnum | DontDelete);
}

bool Object::removeOwn(std::string_view key) {
    auto it = index_.find(std::string(key));
    if (it == index_.end()) return false;
    if (key == kProtoKey) proto = nullptr;
    props_.erase(props_.begin() + it->second);
    index_.clear();
    for (uint32_t i = 0; i < props_.size(); ++i) index_.emplace(props_[i].key, i);
    return true;
}

int64_t arrayIndex(std::string_view s) {
    if (s.empty() || s.size() > 10) return -1;
    if (s.size() > 1 && s[0] == '0') return -1;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v < 2147483648LL ? v : -1;
}

}  // namespace swf::avm1
