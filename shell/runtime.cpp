#include "shell/runtime.h"

#include "framework/classlib/errordisplay.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/vars.h"
#include "shell/globals.h"
#include "shell/notices.h"

vx::IniClass INIMGR;
vx::FuzzyClass FUZZYMATCHER;

namespace vexlo {

void processStart(int firstThread) {
    static bool done = false;
    if (done) return;
    done = true;
    namespace vars = vx::eng::vars;
    for (const GlobalVar& g : globals()) vars::add(g.name, g.ref);
    // A field takes only what its file keeps: 866 for KAGENT, FORMA1 and LAST.
    vars::addRecord(KAGENT_DESC, [] { return static_cast<void*>(static_cast<KAG_RECORD*>(&*KAG)); }, kagentFile().oem);
    vars::addRecord(FORMA1_DESC, [] { return static_cast<void*>(static_cast<FRM_RECORD*>(&*FRM)); }, forma1File().oem);
    vars::addRecord(ANIM_DESC, [] { return static_cast<void*>(static_cast<ANI_RECORD*>(&*ANI)); }, animFile().oem);
    vars::addRecord(LAST_DESC, [] { return static_cast<void*>(static_cast<LAS_RECORD*>(&*LAS)); }, lastFile().oem);
    installDictionaryHooks(firstThread);
    vx::InstallErrorDisplay(GLOBALERRORS);
    installProfileNotices();
    vx::SetProcedureGlobals(&GLOBALERRORS, &INIMGR);
}

}  // namespace vexlo
