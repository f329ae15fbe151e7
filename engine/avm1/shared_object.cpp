// Local shared objects: SharedObject.getLocal keeps a named data tree per movie, written to the
// host's storage folder by flush() and when the player goes away, read back by the next
// getLocal of the same name.
//
// File format (little-endian), one file "<name>.sol" per object:
//   "LFSO", version byte (1), then the value of `data`:
//   0 undefined | 1 null | 2 false | 3 true | 4 number: f64 | 5 string: u32 length, UTF-8
//   6 object: u32 count, count x (string key, value)
//   7 array: u32 length, length x value, u32 count, count x (string key, value) for names
//   8 reference: u32 index of an object or array written earlier (shared parts, cycles)
//   9 date: f64 time | 10 XML: its text as a string
// A file larger than kMaxBytes, deeper than kMaxDepth or cut short is ignored whole.

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "engine/avm1/loader.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

constexpr char kMagic[4] = {'L', 'F', 'S', 'O'};
constexpr uint8_t kVersion = 1;
constexpr size_t kMaxBytes = 100 * 1024;  // the usual per-object allowance
constexpr int kMaxDepth = 64;
constexpr size_t kEmptySize = 10;  // header, object tag and a zero count
// What one movie (or one localPath folder) may keep on disk in all.
constexpr int kMaxFilesPerFolder = 32;
constexpr qint64 kMaxFolderBytes = 1024 * 1024;

enum Tag : uint8_t { Undef, Null, False, True, Num, Str, Obj, Arr, Ref, DateV, XmlV };

// Through the VM's own bounded walk: a movie may make prototype chains that loop.
bool isXmlObject(Vm& vm, Object* o) {
    const Value xml = vm.get(vm.global, "XML");
    return xml.isObject() && vm.instanceOf(Value(o), xml.o);
}

class Writer {
public:
    explicit Writer(Vm& vm) : vm_(vm) { out_.append(kMagic, 4).push_back(char(kVersion)); }

    // False once the tree outgrows the allowance.
    bool value(const Value& v, int depth) {
        if (out_.size() > kMaxBytes || depth > kMaxDepth) return false;
        switch (v.type) {
            case Type::Undefined:
                return tag(Undef);
            case Type::Null:
                return tag(Null);
            case Type::Boolean:
                return tag(v.b ? True : False);
            case Type::Number:
                return tag(Num) && number(v.n);
            case Type::String:
                return tag(Str) && string(v.s);
            case Type::Object:
                break;
        }
        Object* o = v.o;
        if (o->fn || o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField)
            return tag(Undef);
        if (o->cls == ObjClass::String || o->cls == ObjClass::Number || o->cls == ObjClass::Boolean)
            return value(o->primitive, depth);
        if (o->cls == ObjClass::Date) return tag(DateV) && number(vm_.toNumber(o->primitive));
        if (auto it = seen_.find(o); it != seen_.end()) return tag(Ref) && u32(it->second);
        if (isXmlObject(vm_, o)) return tag(XmlV) && string(vm_.toString(Value(o)));
        seen_.emplace(o, static_cast<uint32_t>(seen_.size()));
        // Own enumerable properties only; array elements are written apart.
        std::vector<std::string> names;
        for (const Property& p : o->props())
            if (!p.hidden && !(p.flags & DontEnum)) names.push_back(p.name);
        if (o->cls == ObjClass::Array) {
            // Elements one at a time (an array may be huge; the allowance stops it early), and
            // read again each step since a getter may have changed the array meanwhile.
            const size_t length = std::min<size_t>(o->elems.size(), kMaxBytes);
            if (!tag(Arr) || !u32(static_cast<uint32_t>(length))) return false;
            for (size_t i = 0; i < length; ++i) {
                const Value e = i < o->elems.size() ? o->elems[i] : Value();
                if (!value(e, depth + 1)) return false;
            }
        } else if (!tag(Obj)) {
            return false;
        }
        if (!u32(static_cast<uint32_t>(names.size()))) return false;
        for (const std::string& n : names)
            if (!string(n) || !value(vm_.get(o, n), depth + 1)) return false;
        return out_.size() <= kMaxBytes;
    }
    const std::string& bytes() const { return out_; }

private:
    bool tag(uint8_t t) {
        out_.push_back(char(t));
        return true;
    }
    bool u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(char((v >> (8 * i)) & 0xFF));
        return true;
    }
    bool number(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        for (int i = 0; i < 8; ++i) out_.push_back(char((bits >> (8 * i)) & 0xFF));
        return true;
    }
    bool string(const std::string& s) {
        if (s.size() > kMaxBytes) return false;
        u32(static_cast<uint32_t>(s.size()));
        out_ += s;
        return out_.size() <= kMaxBytes;
    }

    Vm& vm_;
    std::string out_;
    std::unordered_map<Object*, uint32_t> seen_;
};

class Reader {
public:
    Reader(Vm& vm, std::string_view in) : vm_(vm), in_(in) {}

    // Nullopt for anything that is not a whole, well-formed tree.
    std::optional<Value> read() {
        if (in_.size() < 5 || in_.substr(0, 4) != std::string_view(kMagic, 4) ||
            uint8_t(in_[4]) != kVersion)
            return std::nullopt;
        pos_ = 5;
        std::optional<Value> v = value(0);
        if (!v || pos_ != in_.size()) return std::nullopt;
        return v;
    }

private:
    std::optional<Value> value(int depth) {
        if (depth > kMaxDepth || pos_ >= in_.size()) return std::nullopt;
        switch (uint8_t(in_[pos_++])) {
            case Undef:
                return Value();
            case Null:
                return Value::null();
            case False:
                return Value(false);
            case True:
                return Value(true);
            case Num:
                if (auto d = number()) return Value(*d);
                return std::nullopt;
            case Str:
                if (auto s = string()) return Value(std::move(*s));
                return std::nullopt;
            case DateV: {
                auto d = number();
                if (!d) return std::nullopt;
                return vm_.construct(vm_.get(vm_.global, "Date"), {Value(*d)});
            }
            case XmlV: {
                auto s = string();
                if (!s) return std::nullopt;
                return vm_.construct(vm_.get(vm_.global, "XML"), {Value(std::move(*s))});
            }
            case Ref: {
                auto i = u32();
                if (!i || *i >= objects_.size()) return std::nullopt;
                return Value(objects_[*i]);
            }
            case Arr: {
                auto length = u32();
                // Every element takes at least a byte: a larger count is a lie.
                if (!length || *length > in_.size() - pos_) return std::nullopt;
                Object* a = vm_.newArray();
                objects_.push_back(a);
                std::vector<Value> elems;
                elems.reserve(*length);
                for (uint32_t i = 0; i < *length; ++i) {
                    auto e = value(depth + 1);
                    if (!e) return std::nullopt;
                    elems.push_back(std::move(*e));
                }
                a->elems = std::move(elems);
                if (!members(a, depth)) return std::nullopt;
                return Value(a);
            }
            case Obj: {
                Object* o = vm_.newObject();
                objects_.push_back(o);
                if (!members(o, depth)) return std::nullopt;
                return Value(o);
            }
            default:
                return std::nullopt;
        }
    }
    bool members(Object* o, int depth) {
        auto count = u32();
        if (!count || *count > in_.size() - pos_) return false;
        for (uint32_t i = 0; i < *count; ++i) {
            auto name = string();
            if (!name) return false;
            auto v = value(depth + 1);
            if (!v) return false;
            vm_.set(o, *name, std::move(*v));
        }
        return true;
    }
    std::optional<uint32_t> u32() {
        if (in_.size() - pos_ < 4) return std::nullopt;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(in_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::optional<double> number() {
        if (in_.size() - pos_ < 8) return std::nullopt;
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= uint64_t(uint8_t(in_[pos_ + i])) << (8 * i);
        pos_ += 8;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    std::optional<std::string> string() {
        auto n = u32();
        if (!n || *n > in_.size() - pos_) return std::nullopt;
        std::string s(in_.substr(pos_, *n));
        pos_ += *n;
        return s;
    }

    Vm& vm_;
    std::string_view in_;
    size_t pos_ = 0;
    std::vector<Object*> objects_;
};

// One path component that stays inside its folder and is not hidden: letters, digits, '-' and
// '_' kept, anything else (dots and slashes too) written as '_', at most 64 characters.
std::string safeComponent(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 64)) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        out.push_back(keep ? c : '_');
    }
    return out.empty() ? std::string("_") : out;
}

// Distinct spellings that sanitize alike stay apart.
std::string hashOf(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ uint8_t(c)) * 1099511628211ull;
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return std::string(buf, 8);
}

// The file of a local object: the movie's folder, or the one localPath names (shared by the
// movies that give it). Empty when the player keeps objects in memory.
QString fileFor(Vm& vm, const std::string& name, const Value& localPath) {
    if (!vm.loads || vm.loads->sharedObjectFolder.empty()) return {};
    std::string dir;
    if (localPath.isString()) {
        dir = "paths/" + safeComponent(localPath.s) + "-" + hashOf(localPath.s);
    } else {
        const std::string& key = vm.loads->movieKey;
        const size_t slash = key.find_last_of("/\\");
        const std::string base = slash == std::string::npos ? key : key.substr(slash + 1);
        dir = "movies/" + safeComponent(base.empty() ? "movie" : base) + "-" + hashOf(key);
    }
    const std::string file = safeComponent(name) + "-" + hashOf(name) + ".sol";
    return QString::fromStdString(vm.loads->sharedObjectFolder + "/" + dir + "/" + file);
}

QString fileOf(Object* so) {
    const Value f = getSlot(so, "file");
    return f.isString() ? QString::fromStdString(f.s) : QString();
}

std::optional<std::string> serialize(Vm& vm, Object* so) {
    Writer w(vm);
    if (!w.value(vm.get(so, "data"), 0)) return std::nullopt;
    return w.bytes();
}

// Whether a file of size bytes fits the folder's allowance beside the other objects there.
bool fitsFolder(const QString& file, qint64 size) {
    const QFileInfo target(file);
    int count = 1;
    qint64 total = size;
    for (const QFileInfo& f : target.dir().entryInfoList({QStringLiteral("*.sol")}, QDir::Files)) {
        if (f.fileName() == target.fileName()) continue;
        ++count;
        total += f.size();
    }
    return count <= kMaxFilesPerFolder && total <= kMaxFolderBytes;
}

bool writeObject(Vm& vm, Object* so) {
    const QString file = fileOf(so);
    if (file.isEmpty()) return true;
    const std::optional<std::string> bytes = serialize(vm, so);
    if (!bytes) return false;
    if (!fitsFolder(file, qint64(bytes->size()))) {
        vm.host().log("SharedObject: the movie's allowance of " +
                      std::to_string(kMaxFilesPerFolder) + " objects and " +
                      std::to_string(kMaxFolderBytes / 1024) + " KB is spent");
        return false;
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(bytes->data(), qint64(bytes->size()));
    return out.commit();
}

Value readObject(Vm& vm, const QString& file) {
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly) || in.size() > qint64(kMaxBytes))
        return Value(vm.newObject());
    const QByteArray bytes = in.read(qint64(kMaxBytes) + 1);
    if (bytes.size() > qsizetype(kMaxBytes)) return Value(vm.newObject());
    std::optional<Value> v = Reader(vm, std::string_view(bytes.constData(), bytes.size())).read();
    if (!v || !v->isObject()) return Value(vm.newObject());
    return *v;
}

Value undefinedFn(Vm&, Object*, Args&) { return {}; }

Object* localObjects(Vm& vm) {
    Value ctor = vm.get(vm.global, "SharedObject");
    if (!ctor.isObject()) return nullptr;
    Property* p = ctor.o->findAny("__localObjects");
    return p && p->value.isObject() ? p->value.o : nullptr;
}

}  // namespace

void installSharedObject(Vm& vm) {
    if (vm.global->findAny(vm.key("SharedObject"))) return;
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction(undefinedFn, proto);
    for (const char* m : {"close", "connect", "send", "setFps"})
        vm.defineMethod(proto, m, undefinedFn);
    vm.defineValue(vm.global, "SharedObject", ctor);
    vm.defineMethod(proto, "flush", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return Value(false);
        return Value(writeObject(vm, self));
    });
    vm.defineMethod(proto, "getSize", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return Value(0);
        const std::optional<std::string> bytes = serialize(vm, self);
        // The header alone is an empty object's size: none.
        return Value(bytes && bytes->size() > kEmptySize ? double(bytes->size()) : 0.0);
    });
    vm.defineMethod(proto, "clear", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        vm.set(self, "data", Value(vm.newObject()));
        if (const QString file = fileOf(self); !file.isEmpty()) QFile::remove(file);
        return {};
    });
    // Local objects live as long as the movie; the same name gives the same object.
    Object* store = vm.newObject(nullptr);
    vm.defineValue(ctor, "__localObjects", store, DontEnum | DontDelete);
    vm.defineMethod(ctor, "getLocal", [proto, store](Vm& vm, Object*, Args& a) -> Value {
        const Value nameV = arg(a, 0), pathV = arg(a, 1);
        if (nameV.isNullish()) return Value::null();
        const std::string name = vm.toString(nameV);
        // Names the player refuses: empty, too long, or holding characters of paths and URLs.
        if (name.empty() || name.size() > 255 ||
            name.find_first_of("~%&\\;:\"',<>?# ") != std::string::npos)
            return Value::null();
        const std::string key = name + "\n" + vm.toString(pathV);
        if (Property* p = store->findAny(key)) return p->value;
        Object* so = vm.newObject(proto);
        const QString file = fileFor(vm, name, pathV);
        vm.set(so, "data", readObject(vm, file));
        if (!file.isEmpty()) setSlot(vm, so, "file", Value(file.toStdString()));
        store->setOwn(key, key, Value(so));
        return Value(so);
    });
    vm.defineMethod(ctor, "getRemote", [](Vm&, Object*, Args&) -> Value { return Value::null(); });
}

void flushSharedObjects(Vm& vm) {
    Object* store = localObjects(vm);
    if (!store) return;
    std::vector<Object*> objects;
    for (const Property& p : store->props())
        if (p.value.isObject()) objects.push_back(p.value.o);
    for (Object* so : objects) {
        // An emptied object (clear()) leaves no file behind.
        const std::optional<std::string> bytes = serialize(vm, so);
        if (bytes && bytes->size() <= kEmptySize) {
            if (const QString file = fileOf(so); !file.isEmpty()) QFile::remove(file);
            continue;
        }
        writeObject(vm, so);
    }
}

}  // namespace swf::avm1
