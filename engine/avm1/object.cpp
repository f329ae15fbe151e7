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
    props_.back().made = made_++;
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

void Object::trackElems() {
    if (elemMade.size() != elems.size()) elemMade.assign(elems.size(), 0);
}

bool Object::hasElem(size_t i) const {
    if (i >= elems.size()) return false;
    // A value a built-in moved into a place with none is there all the same.
    return elemMade.size() != elems.size() || elemMade[i] != kNoElement ||
           !elems[i].isUndefined();
}

uint32_t Object::elemMadeAt(size_t i) const {
    return elemMade.size() == elems.size() && elemMade[i] != kNoElement ? elemMade[i] : 0;
}

void Object::setElem(size_t i, Value v) {
    trackElems();
    if (i >= elems.size()) resizeElems(i + 1);
    elems[i] = std::move(v);
    if (elemMade[i] == kNoElement) elemMade[i] = made_++;
}

void Object::resizeElems(size_t n) {
    trackElems();
    elems.resize(n);
    elemMade.resize(n, kNoElement);
}

void Object::deleteElem(size_t i) {
    if (i >= elems.size()) return;
    trackElems();
    elems[i] = Value();
    elemMade[i] = kNoElement;
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
