#include "vars.h"

#include <map>

#include "threads.h"

namespace vx::eng::vars {

namespace {

struct Entry {
    VarRef ref;
    VarResolver resolver;
    bool oem = false;
    VarRef get() const { return resolver ? resolver() : ref; }
};

std::map<std::string, Entry, std::less<>>& globals() {
    static std::map<std::string, Entry, std::less<>> m;
    return m;
}

using LocalMap = std::map<std::string, VarRef, std::less<>>;
PerThread<LocalMap>& locals() {
    static PerThread<LocalMap> l;
    return l;
}

}  // namespace

std::string normalise(std::string_view name) {
    std::string s;
    s.reserve(name.size());
    for (char c : name) {
        if (c == ' ') continue;
        s.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return s;
}

void add(std::string_view name, VarRef ref) { globals()[normalise(name)] = Entry{ref, {}}; }

void add(std::string_view name, VarResolver resolver) {
    globals()[normalise(name)] = Entry{{}, std::move(resolver)};
}

void addRecord(const RecordDesc& rec, std::function<void*()> buffer, bool oem) {
    for (const FieldDesc& f : rec.fields) {
        const FieldDesc* fd = &f;
        globals()[normalise(f.name)] = Entry{{}, VarResolver([fd, buffer] { return VarRef::of(*fd, buffer()); }), oem};
    }
}

void remove(std::string_view name) {
    auto& g = globals();
    auto it = g.find(normalise(name));
    if (it != g.end()) g.erase(it);
}

void bindLocal(std::string_view name, VarRef ref) { (*locals())[normalise(name)] = ref; }

void unbindLocal(std::string_view name) {
    auto& l = *locals();
    auto it = l.find(normalise(name));
    if (it != l.end()) l.erase(it);
}

VarRef find(std::string_view name) {
    std::string k = normalise(name);
    if (locals().exists()) {
        auto& l = *locals();
        if (auto it = l.find(k); it != l.end()) return it->second;
    }
    auto& g = globals();
    if (auto it = g.find(k); it != g.end()) return it->second.get();
    return {};
}

bool known(std::string_view name) { return find(name).valid(); }

bool keptIn866(std::string_view name) {
    std::string k = normalise(name);
    if (locals().exists() && locals()->count(k)) return false;
    auto& g = globals();
    auto it = g.find(k);
    return it != g.end() && it->second.oem;
}

}  // namespace vx::eng::vars
