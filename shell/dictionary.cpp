#include "dictionary.h"

#include "framework/types/codepage.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

const vx::FieldDesc& field(const vx::RecordDesc& r, const char* name) { return *r.find(name); }

vx::store::KeyDesc key(const char* name, const vx::FieldDesc& f, bool unique, bool primary, bool autoNumber) {
    vx::store::KeyDesc k;
    k.name = name;
    k.components = {{&f, true}};
    k.unique = unique;
    k.primary = primary;
    k.autoNumber = autoNumber;
    return k;
}

// The objects the relation managers and the dictionary own on each thread.
struct Hidden {
    HIDE_ACCESS_LAST* accessLast = nullptr;
    HIDE_ACCESS_ANIM* accessAnim = nullptr;
    HIDE_ACCESS_FORMA1* accessForma1 = nullptr;
    HIDE_ACCESS_KAGENT* accessKagent = nullptr;
    std::unique_ptr<HIDE_RELATE_LAST> relateLast;
    std::unique_ptr<HIDE_RELATE_ANIM> relateAnim;
    std::unique_ptr<HIDE_RELATE_FORMA1> relateForma1;
    std::unique_ptr<HIDE_RELATE_KAGENT> relateKagent;
};
vx::eng::PerThread<Hidden> g_hidden;
vx::eng::PerThread<std::unique_ptr<DICTIONARY>> g_dictionary;
int g_firstThread = 1;

}  // namespace

namespace vexlo {

const vx::store::FileDesc& kagentFile() {
    static const vx::store::FileDesc d{"KAGENT",
                                       &KAGENT_DESC,
                                       {key("KAG:K1", field(KAGENT_DESC, "KAG:ID"), true, false, true),
                                        key("KAG:K2", field(KAGENT_DESC, "KAG:NAME"), false, false, false)},
                                       true};
    return d;
}
const vx::store::FileDesc& forma1File() {
    static const vx::store::FileDesc d{"FORMA1",
                                       &FORMA1_DESC,
                                       {key("FRM:K1", field(FORMA1_DESC, "FRM:NOMSV"), true, true, false),
                                        key("FRM:K2", field(FORMA1_DESC, "FRM:F2"), false, false, false)},
                                       true};
    return d;
}
const vx::store::FileDesc& animFile() {
    static const vx::store::FileDesc d{
        "ANIM", &ANIM_DESC, {key("ANI:K1", field(ANIM_DESC, "ANI:NFORM"), false, false, false)}, false};
    return d;
}
const vx::store::FileDesc& lastFile() {
    static const vx::store::FileDesc d{
        "LAST.DAT", &LAST_DESC, {key("LAS:K1", field(LAST_DESC, "LAS:NFORM"), false, false, false)}, true};
    return d;
}

}  // namespace vexlo

vx::ErrorClass GLOBALERRORS;
vx::eng::PerThread<vx::ErrorStatusClass> GLOBALERRORSTATUS;

vx::eng::PerThread<vexlo::DataFile<&vexlo::lastFile>> LAST;
vx::eng::PerThread<vexlo::DataFile<&vexlo::animFile>> ANIM;
vx::eng::PerThread<vexlo::DataFile<&vexlo::forma1File>> FORMA1;
vx::eng::PerThread<vexlo::DataFile<&vexlo::kagentFile>> KAGENT;
vx::eng::PerThread<vexlo::RecordBuffer<LAS_RECORD, LAST_DESC>> LAS;
vx::eng::PerThread<vexlo::RecordBuffer<ANI_RECORD, ANIM_DESC>> ANI;
vx::eng::PerThread<vexlo::RecordBuffer<FRM_RECORD, FORMA1_DESC>> FRM;
vx::eng::PerThread<vexlo::RecordBuffer<KAG_RECORD, KAGENT_DESC>> KAG;

vexlo::ThreadRef<HIDE_ACCESS_KAGENT> ACCESS_KAGENT;
vexlo::ThreadRef<HIDE_ACCESS_FORMA1> ACCESS_FORMA1;
vexlo::ThreadRef<HIDE_ACCESS_ANIM> ACCESS_ANIM;
vexlo::ThreadRef<HIDE_ACCESS_LAST> ACCESS_LAST;
vexlo::ThreadRef<HIDE_RELATE_KAGENT> RELATE_KAGENT;
vexlo::ThreadRef<HIDE_RELATE_FORMA1> RELATE_FORMA1;
vexlo::ThreadRef<HIDE_RELATE_ANIM> RELATE_ANIM;
vexlo::ThreadRef<HIDE_RELATE_LAST> RELATE_LAST;

// --- file managers ------------------------------------------------------------------------------

void HIDE_ACCESS_KAGENT::Init() {
    Initialized = false;
    Buffer = static_cast<KAG_RECORD*>(&*KAG);
    Record = &KAGENT_DESC;
    FileName = u("kagent");
    Errors = &GLOBALERRORS;
    File = &*KAGENT;
    FileManager::Init();
    ACCESS_KAGENT = this;
}
void HIDE_ACCESS_KAGENT::Kill() {
    FileManager::Kill();
    ACCESS_KAGENT = nullptr;
}
int HIDE_ACCESS_KAGENT::UseFile(int useType) {
    if (useType != vx::UseType::Initialise) UseFile(vx::UseType::Initialise);
    if (useType == vx::UseType::Initialise && !Initialized) {
        Initialized = true;
        FileManager::Init(*KAGENT, GLOBALERRORS);
        Create = 1;
        LockRecover = 10;
        AddKey(KAG_K1, u("По iD"), true);
        AddKey(KAG_K2, u("По наименованию"));
    }
    return FileManager::UseFile(useType);
}

void HIDE_ACCESS_FORMA1::Init() {
    Initialized = false;
    Buffer = static_cast<FRM_RECORD*>(&*FRM);
    Record = &FORMA1_DESC;
    FileName = u("forma1");
    Errors = &GLOBALERRORS;
    File = &*FORMA1;
    FileManager::Init();
    ACCESS_FORMA1 = this;
}
void HIDE_ACCESS_FORMA1::Kill() {
    FileManager::Kill();
    ACCESS_FORMA1 = nullptr;
}
void HIDE_ACCESS_FORMA1::PrimeFields() {
    auto* r = static_cast<FRM_RECORD*>(Buffer);
    r->COMMENT = vx::cp::toCp1251(u("Выдано"));
    r->SPIN1 = 8;
    r->SPIN2 = 8;
    r->SPIN3 = 8;
    r->SPIN4 = 8;
    r->SPIN5 = 8;
    r->SPIN6 = 8;
    r->SPIN7 = 8;
    r->SPIN8 = 8;
    r->SPIN9 = 8;
    r->SPIN10 = 8;
    r->SPIN11 = 8;
    r->SPIN12 = 8;
    r->SPIN13 = 8;
    r->SPIN14 = 8;
    r->SPIN15 = 8;
    r->RSH = 0;
}
int HIDE_ACCESS_FORMA1::UseFile(int useType) {
    if (useType != vx::UseType::Initialise) UseFile(vx::UseType::Initialise);
    if (useType == vx::UseType::Initialise && !Initialized) {
        Initialized = true;
        FileManager::Init(*FORMA1, GLOBALERRORS);
        Create = 1;
        LockRecover = 10;
        AddKey(FRM_K1, u("По номеру свидетельства"));
        AddKey(FRM_K2, u("Наименование контрагента [физического/юридического лица]"));
    }
    return FileManager::UseFile(useType);
}

void HIDE_ACCESS_ANIM::Init() {
    Initialized = false;
    Buffer = static_cast<ANI_RECORD*>(&*ANI);
    Record = &ANIM_DESC;
    FileName = u("anim");
    Errors = &GLOBALERRORS;
    File = &*ANIM;
    FileManager::Init();
    ACCESS_ANIM = this;
}
void HIDE_ACCESS_ANIM::Kill() {
    FileManager::Kill();
    ACCESS_ANIM = nullptr;
}
int HIDE_ACCESS_ANIM::UseFile(int useType) {
    if (useType != vx::UseType::Initialise) UseFile(vx::UseType::Initialise);
    if (useType == vx::UseType::Initialise && !Initialized) {
        Initialized = true;
        FileManager::Init(*ANIM, GLOBALERRORS);
        Create = 1;
        LockRecover = 10;
        AddKey(ANI_K1, u("ani:k1"));
    }
    return FileManager::UseFile(useType);
}

void HIDE_ACCESS_LAST::Init() {
    Initialized = false;
    Buffer = static_cast<LAS_RECORD*>(&*LAS);
    Record = &LAST_DESC;
    FileName = u("LAST");
    Errors = &GLOBALERRORS;
    File = &*LAST;
    FileManager::Init();
    ACCESS_LAST = this;
}
void HIDE_ACCESS_LAST::Kill() {
    FileManager::Kill();
    ACCESS_LAST = nullptr;
}
int HIDE_ACCESS_LAST::UseFile(int useType) {
    if (useType != vx::UseType::Initialise) UseFile(vx::UseType::Initialise);
    if (useType == vx::UseType::Initialise && !Initialized) {
        Initialized = true;
        FileManager::Init(*LAST, GLOBALERRORS);
        Create = 1;
        LockRecover = 10;
        AddKey(LAS_K1, u("LAS:k1"));
    }
    return FileManager::UseFile(useType);
}

// --- relation managers --------------------------------------------------------------------------

template <class Access>
HideRelate<Access>::HideRelate() = default;
template <class Access>
HideRelate<Access>::~HideRelate() = default;

template <class Access>
void HideRelate<Access>::Init() {
    access_->Init();
    vx::RelationManager::Init(*access_, true);
}

template <class Access>
void HideRelate<Access>::Kill() {
    if (access_) access_->Kill();
    vx::RelationManager::Kill();
}

template class HideRelate<HIDE_ACCESS_KAGENT>;
template class HideRelate<HIDE_ACCESS_FORMA1>;
template class HideRelate<HIDE_ACCESS_ANIM>;
template class HideRelate<HIDE_ACCESS_LAST>;

void HIDE_RELATE_KAGENT::Kill() {
    HideRelate::Kill();
    RELATE_KAGENT = nullptr;
    access_.reset();
    g_hidden->accessKagent = nullptr;
}
void HIDE_RELATE_KAGENT::DeferedAddRelations() {
    AddRelation(*RELATE_FORMA1, vx::RI::Cascade, vx::RI::Restrict, FRM_K2);
    AddRelationLink(field(KAGENT_DESC, "KAG:NAME"), field(FORMA1_DESC, "FRM:F2"));
}

void HIDE_RELATE_FORMA1::Kill() {
    HideRelate::Kill();
    RELATE_FORMA1 = nullptr;
    access_.reset();
    g_hidden->accessForma1 = nullptr;
}
void HIDE_RELATE_FORMA1::DeferedAddRelations() {
    AddRelation(*RELATE_ANIM, vx::RI::Cascade, vx::RI::Cascade, ANI_K1);
    AddRelationLink(field(FORMA1_DESC, "FRM:NOMSV"), field(ANIM_DESC, "ANI:NFORM"));
    AddRelation(*RELATE_KAGENT);
}

void HIDE_RELATE_ANIM::Kill() {
    HideRelate::Kill();
    RELATE_ANIM = nullptr;
    access_.reset();
    g_hidden->accessAnim = nullptr;
}
void HIDE_RELATE_ANIM::DeferedAddRelations() { AddRelation(*RELATE_FORMA1); }

void HIDE_RELATE_LAST::Kill() {
    HideRelate::Kill();
    RELATE_LAST = nullptr;
    access_.reset();
    g_hidden->accessLast = nullptr;
}

// --- the dictionary -----------------------------------------------------------------------------

void DCTINIT() {
    Hidden& h = *g_hidden;
    if (h.relateLast) return;
    // Objects first, in file order.
    h.accessLast = new HIDE_ACCESS_LAST;
    h.relateLast = std::make_unique<HIDE_RELATE_LAST>();
    h.relateLast->Adopt(h.accessLast);
    h.accessAnim = new HIDE_ACCESS_ANIM;
    h.relateAnim = std::make_unique<HIDE_RELATE_ANIM>();
    h.relateAnim->Adopt(h.accessAnim);
    h.accessForma1 = new HIDE_ACCESS_FORMA1;
    h.relateForma1 = std::make_unique<HIDE_RELATE_FORMA1>();
    h.relateForma1->Adopt(h.accessForma1);
    h.accessKagent = new HIDE_ACCESS_KAGENT;
    h.relateKagent = std::make_unique<HIDE_RELATE_KAGENT>();
    h.relateKagent->Adopt(h.accessKagent);
    RELATE_LAST = h.relateLast.get();
    RELATE_ANIM = h.relateAnim.get();
    RELATE_FORMA1 = h.relateForma1.get();
    RELATE_KAGENT = h.relateKagent.get();
    // Then the initialisation, in the same order.
    h.relateLast->Init();
    h.relateAnim->Init();
    h.relateForma1->Init();
    h.relateKagent->Init();
}

void DCTKILL() {
    if (!g_hidden.exists()) return;
    Hidden& h = *g_hidden;
    if (h.relateLast) h.relateLast->Kill();
    h.relateLast.reset();
    if (h.relateAnim) h.relateAnim->Kill();
    h.relateAnim.reset();
    if (h.relateForma1) h.relateForma1->Kill();
    h.relateForma1.reset();
    if (h.relateKagent) h.relateKagent->Kill();
    h.relateKagent.reset();
}

DICTIONARY::DICTIONARY() {
    if (vx::eng::THREAD() != g_firstThread) DCTINIT();
}

DICTIONARY::~DICTIONARY() { DCTKILL(); }

namespace vexlo {

void installDictionaryHooks(int firstThread) {
    g_firstThread = firstThread;
    GLOBALERRORS.SetStatusLocator([] { return &*GLOBALERRORSTATUS; });
    vx::installStoreWaitHook();
    vx::eng::addThreadHooks(
        [] {
            LAST.create();
            LAS.create();
            ANIM.create();
            ANI.create();
            FORMA1.create();
            FRM.create();
            KAGENT.create();
            KAG.create();
            GLOBALERRORSTATUS.create();
            g_dictionary.create(std::make_unique<DICTIONARY>());
        },
        [] {
            g_dictionary.destroy();
            GLOBALERRORSTATUS.destroy();
            KAG.destroy();
            KAGENT.destroy();
            FRM.destroy();
            FORMA1.destroy();
            ANI.destroy();
            ANIM.destroy();
            LAS.destroy();
            LAST.destroy();
        });
}

}  // namespace vexlo
