#include "globals.h"

#include <QString>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "framework/types/codepage.h"
#include "framework/types/refs.h"

#define VEXLO_DEFINE_GLOBAL(k, n, p, id, name) VEXLO_GTYPE_##k(n, p) id;
VEXLO_GLOBALS(VEXLO_DEFINE_GLOBAL)
#undef VEXLO_DEFINE_GLOBAL

namespace vexlo {
namespace {

// Defaults for a district veterinary station; replaced by the settings file when it has them.
const char* const kHeaderUtf8[4] = {
    "Тверская область",
    "Бежецкий район, г. Бежецк",
    "ГБУ \"Бежецкая районная станция по борьбе",
    "с болезнями животных\"",
};

const std::vector<GlobalVar>& table() {
    static const std::vector<GlobalVar> t = [] {
        std::vector<GlobalVar> v;
#define VEXLO_LIST_GLOBAL(k, n, p, id, name) v.push_back({name, vx::ref(id)});
        VEXLO_GLOBALS(VEXLO_LIST_GLOBAL)
#undef VEXLO_LIST_GLOBAL
        return v;
    }();
    return t;
}

std::string upperAscii(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return u;
}

const std::map<std::string, vx::VarRef, std::less<>>& index() {
    static const auto m = [] {
        std::map<std::string, vx::VarRef, std::less<>> r;
        for (const GlobalVar& g : table()) r.emplace(g.name, g.ref);
        return r;
    }();
    return m;
}

// The process initialiser runs before main, like every module's.
const bool kInitialised = (initGlobals(), true);

}  // namespace

std::string_view defaultHeaderLine(int i) {
    static const std::array<std::string, 4> lines = [] {
        std::array<std::string, 4> a;
        for (int k = 0; k < 4; ++k) a[static_cast<std::size_t>(k)] = vx::cp::toCp1251(QString::fromUtf8(kHeaderUtf8[k]));
        return a;
    }();
    return i >= 0 && i < 4 ? std::string_view(lines[static_cast<std::size_t>(i)]) : std::string_view();
}

void initGlobals() {
    for (const GlobalVar& g : table()) {
        vx::VarRef r = g.ref;
        r.clear();
    }
    Z1 = defaultHeaderLine(0);
    Z2 = defaultHeaderLine(1);
    Z3 = defaultHeaderLine(2);
    Z4 = defaultHeaderLine(3);
    SPIN = 8;
    SPINW = 8;
    POLOSA = 1;
    BLANK = 1;
}

std::span<const GlobalVar> globals() { return table(); }

vx::VarRef findGlobal(std::string_view name) {
    const auto& m = index();
    auto it = m.find(upperAscii(name));
    return it == m.end() ? vx::VarRef{} : it->second;
}

}  // namespace vexlo
