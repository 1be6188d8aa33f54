#pragma once
// The data dictionary: the four data files as every logical thread sees them.
//
// Per thread (made at thread start, in the order LAST, ANIM, FORMA1, KAGENT, and released at
// thread end in the reverse order): the driver handles LAST, ANIM, FORMA1, KAGENT and the record
// buffers LAS, ANI, FRM, KAG (FRM->NOMSV is the running thread's certificate number); the error
// status GLOBALERRORSTATUS; the file managers ACCESS_… and relation managers RELATE_…, null until
// DCTINIT has run on the thread. The process-wide error manager GLOBALERRORS lives here too.
//
// Relations: KAGENT 1:n FORMA1 by KAG:NAME = FRM:F2 through FRM:K2 (rename cascades, delete is
// restricted); FORMA1 1:n ANIM by FRM:NOMSV = ANI:NFORM through ANI:K1 (renumber and delete
// cascade). A new certificate is primed with COMMENT "Выдано", SPIN1..SPIN15 8 and RSH 0.

#include <memory>

#include "framework/classlib/errors.h"
#include "framework/classlib/filemanager.h"
#include "framework/classlib/relationmanager.h"
#include "framework/engine/threads.h"
#include "framework/store/store.h"
#include "shell/records.h"

namespace vexlo {

// A record buffer that starts cleared (numbers 0, texts blank).
template <class R, const vx::RecordDesc& D>
struct RecordBuffer : R {
    RecordBuffer() { D.clear(static_cast<R*>(this)); }
};

// The driver declarations of the four files (names, records, keys, code page).
const vx::store::FileDesc& kagentFile();
const vx::store::FileDesc& forma1File();
const vx::store::FileDesc& animFile();
const vx::store::FileDesc& lastFile();

// A thread's handle of one data file, in the working directory.
template <const vx::store::FileDesc& (*Desc)()>
struct DataFile : vx::store::File {
    DataFile() : vx::store::File(Desc()) {}
};

// A per-thread reference: ACCESS_FORMA1->Insert() reaches the running thread's manager.
template <class T>
class ThreadRef {
public:
    T* get() const { return *p_; }
    T* operator->() const { return *p_; }
    T& operator*() const { return **p_; }
    operator T*() const { return *p_; }  // NOLINT(google-explicit-constructor)
    ThreadRef& operator=(T* v) {
        *p_ = v;
        return *this;
    }

private:
    vx::eng::PerThread<T*> p_;
};

}  // namespace vexlo

// Key numbers of the files (the driver's 1-based key numbers).
inline constexpr int KAG_K1 = 1;  // +KAG:ID, unique, auto-numbered: "По iD"
inline constexpr int KAG_K2 = 2;  // +KAG:NAME, duplicates: "По наименованию"
inline constexpr int FRM_K1 = 1;  // +FRM:NOMSV, unique, primary: "По номеру свидетельства"
inline constexpr int FRM_K2 = 2;  // +FRM:F2, duplicates: "Наименование контрагента [физического/юридического лица]"
inline constexpr int ANI_K1 = 1;  // +ANI:NFORM: "ani:k1"
inline constexpr int LAS_K1 = 1;  // +LAS:NFORM: "LAS:k1"

// The process-wide error manager.
extern vx::ErrorClass GLOBALERRORS;
// The running thread's error status.
extern vx::eng::PerThread<vx::ErrorStatusClass> GLOBALERRORSTATUS;

// The running thread's file handles and record buffers.
extern vx::eng::PerThread<vexlo::DataFile<&vexlo::lastFile>> LAST;
extern vx::eng::PerThread<vexlo::DataFile<&vexlo::animFile>> ANIM;
extern vx::eng::PerThread<vexlo::DataFile<&vexlo::forma1File>> FORMA1;
extern vx::eng::PerThread<vexlo::DataFile<&vexlo::kagentFile>> KAGENT;
extern vx::eng::PerThread<vexlo::RecordBuffer<LAS_RECORD, LAST_DESC>> LAS;
extern vx::eng::PerThread<vexlo::RecordBuffer<ANI_RECORD, ANIM_DESC>> ANI;
extern vx::eng::PerThread<vexlo::RecordBuffer<FRM_RECORD, FORMA1_DESC>> FRM;
extern vx::eng::PerThread<vexlo::RecordBuffer<KAG_RECORD, KAGENT_DESC>> KAG;

// The per-file managers. Init binds the manager to the running thread's file and buffer; the
// first UseFile registers the keys and makes the settings final.
class HIDE_ACCESS_KAGENT : public vx::FileManager {
public:
    void Init() override;
    void Kill() override;
    int UseFile(int useType = vx::UseType::Use) override;
};
class HIDE_ACCESS_FORMA1 : public vx::FileManager {
public:
    void Init() override;
    void Kill() override;
    void PrimeFields() override;  // the new-certificate defaults
    int UseFile(int useType = vx::UseType::Use) override;
};
class HIDE_ACCESS_ANIM : public vx::FileManager {
public:
    void Init() override;
    void Kill() override;
    int UseFile(int useType = vx::UseType::Use) override;
};
class HIDE_ACCESS_LAST : public vx::FileManager {
public:
    void Init() override;
    void Kill() override;
    int UseFile(int useType = vx::UseType::Use) override;
};

// The relation managers own their file managers.
template <class Access>
class HideRelate : public vx::RelationManager {
public:
    HideRelate();
    ~HideRelate() override;
    void Init();  // the file manager's Init, then the relation manager's with transactions on
    void Kill() override;
    void Adopt(Access* access) { access_.reset(access); }  // takes ownership

protected:
    std::unique_ptr<Access> access_;
};
class HIDE_RELATE_KAGENT : public HideRelate<HIDE_ACCESS_KAGENT> {
public:
    void Kill() override;
    void DeferedAddRelations() override;
};
class HIDE_RELATE_FORMA1 : public HideRelate<HIDE_ACCESS_FORMA1> {
public:
    void Kill() override;
    void DeferedAddRelations() override;
};
class HIDE_RELATE_ANIM : public HideRelate<HIDE_ACCESS_ANIM> {
public:
    void Kill() override;
    void DeferedAddRelations() override;
};
class HIDE_RELATE_LAST : public HideRelate<HIDE_ACCESS_LAST> {
public:
    void Kill() override;
};

extern vexlo::ThreadRef<HIDE_ACCESS_KAGENT> ACCESS_KAGENT;
extern vexlo::ThreadRef<HIDE_ACCESS_FORMA1> ACCESS_FORMA1;
extern vexlo::ThreadRef<HIDE_ACCESS_ANIM> ACCESS_ANIM;
extern vexlo::ThreadRef<HIDE_ACCESS_LAST> ACCESS_LAST;
extern vexlo::ThreadRef<HIDE_RELATE_KAGENT> RELATE_KAGENT;
extern vexlo::ThreadRef<HIDE_RELATE_FORMA1> RELATE_FORMA1;
extern vexlo::ThreadRef<HIDE_RELATE_ANIM> RELATE_ANIM;
extern vexlo::ThreadRef<HIDE_RELATE_LAST> RELATE_LAST;

// Builds the running thread's managers (LAST, ANIM, FORMA1, KAGENT). Nothing happens when the
// thread already has them.
void DCTINIT();
// Removes them, in the same order.
void DCTKILL();

// Every thread's dictionary object: built at thread start (DCTINIT, except on the program's first
// thread, whose main procedure calls DCTINIT itself), destroyed at thread end (DCTKILL).
class DICTIONARY {
public:
    DICTIONARY();
    ~DICTIONARY();
    DICTIONARY(const DICTIONARY&) = delete;
    DICTIONARY& operator=(const DICTIONARY&) = delete;
};

namespace vexlo {
// Registers the thread start and end steps with the engine (call once, before the first START):
// at start the file handles and buffers (LAST, ANIM, FORMA1, KAGENT), GLOBALERRORSTATUS and the
// DICTIONARY object; at end the DICTIONARY (DCTKILL), the error status, then the files in the
// order KAGENT, FORMA1, ANIM, LAST. firstThread is the thread number that runs the program's
// main procedure. Also points GLOBALERRORS at the running thread's status and lets a thread
// waiting for a driver lock give the others their turn.
void installDictionaryHooks(int firstThread = 1);
}  // namespace vexlo
