#pragma once
// Variables the test layouts bind to (T:NAME and the others of dialog.lay and form.lay).

#include "framework/engine/vars.h"
#include "framework/types/codepage.h"

namespace enginetest {

struct Vars {
    vx::STRING<20> NAME;
    vx::DEC<3, 0> COUNT;
    vx::DEC<3, 1> STEP;
    vx::BYTE FLAG;
    vx::STRING<9> STATUS;
    vx::STRING<10> ONTAB1, ONTAB2;
    vx::STRING<1> CHOICE;
};

inline Vars& T() {
    static Vars v;
    return v;
}

// Clears the variables and (re)registers them.
inline void resetVars() {
    Vars& v = T();
    v.NAME.clear();
    v.COUNT = 0;
    v.STEP = 0;
    v.FLAG = 0;
    v.STATUS.clear();
    v.ONTAB1.clear();
    v.ONTAB2.clear();
    v.CHOICE.clear();
    using vx::ref;
    namespace vars = vx::eng::vars;
    vars::add("T:NAME", ref(v.NAME));
    vars::add("T:COUNT", ref(v.COUNT));
    vars::add("T:STEP", ref(v.STEP));
    vars::add("T:FLAG", ref(v.FLAG));
    vars::add("T:STATUS", ref(v.STATUS));
    vars::add("T:ONTAB1", ref(v.ONTAB1));
    vars::add("T:ONTAB2", ref(v.ONTAB2));
    vars::add("T:CHOICE", ref(v.CHOICE));
}

inline std::string cp(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

}  // namespace enginetest
