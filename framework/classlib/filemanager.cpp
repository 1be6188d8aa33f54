#include "filemanager.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "framework/engine/threads.h"

namespace vx {

namespace detail {
// Replays a cascade journal of an earlier version left behind in the directory of `file`
// (relationmanager.cpp); an unreadable one is set aside and `notice` says so.
void recoverCascade(const store::File& file, QString* notice);
}  // namespace detail

namespace {

vx::eng::PerThread<std::vector<FileManager*>> g_managers;

// The messages of writes that fail for another reason than a duplicate key.
void addFileMessages(ErrorClass& e) {
    if (!e.Find(FileMsg::WriteFailed))
        e.AddMessage({FileMsg::WriteFailed, Level::Notify, "File Write Error",
                      "Error: (%ErrorText) writing %File. No change was made."});
    if (!e.Find(FileMsg::RestrictUpdate))
        e.AddMessage({FileMsg::RestrictUpdate, Level::Notify, "Referential Integrity Update Error",
                      "This record is referenced from the file %File. Its linking fields cannot be changed while these references exist."});
    if (!e.Find(FileMsg::ChangedByOther))
        e.AddMessage({FileMsg::ChangedByOther, Level::Notify, QString::fromUtf8("Запись изменена"),
                      QString::fromUtf8("Пока запись была открыта, её изменила или удалила другая программа (или другое окно). "
                                        "Ваши изменения не записаны: файл %File оставлен таким, каким его сделала та программа.")});
    if (!e.Find(FileMsg::ReadFailed))
        e.AddMessage({FileMsg::ReadFailed, Level::Notify, QString::fromUtf8("Ошибка чтения"),
                      QString::fromUtf8("Не удалось прочитать файл %File: %ErrorText. Остальные записи доступны.")});
    if (!e.Find(FileMsg::LeftOut))
        e.AddMessage({FileMsg::LeftOut, Level::Notify, QString::fromUtf8("Не все записи прочитаны"),
                      QString::fromUtf8("%Message|Не удалось прочитать файл %File: %ErrorText. Остальные записи доступны.")});
    if (!e.Find(FileMsg::JournalSetAside))
        e.AddMessage({FileMsg::JournalSetAside, Level::Notify, QString::fromUtf8("Повреждён журнал изменений"),
                      QString::fromUtf8("Журнал незавершённого изменения %File повреждён и не может быть применён. "
                                        "Он переименован в CASCADE.BAD; данные оставлены как есть.")});
}

// The driver's error for %ErrorText: its name and what failed, without the directories.
QString shortText(int code, const std::string& detail) {
    QString d = QString::fromStdString(detail);
    static const QRegularExpression dirs(QStringLiteral("(/[^/ :]*)*/"));
    d.replace(dirs, QString());
    QString t = QString::fromLatin1(store::errorText(code));
    return d.isEmpty() ? t : t + QStringLiteral(" (") + d + QStringLiteral(")");
}
QString driverText(const store::File& f) { return shortText(f.lastError(), f.errorDetail()); }

}  // namespace

const std::vector<FileManager*>& threadFileManagers() { return *g_managers; }

FileManager::~FileManager() {
    if (registered_) std::erase(*g_managers, this);
}

void FileManager::Init() {
    if (!registered_) {
        g_managers->push_back(this);
        registered_ = true;
    }
    LazyOpen = true;
    opened_ = 0;
}

void FileManager::Init(store::File& file, ErrorClass& errors) {
    File = &file;
    Errors = &errors;
    OpenMode = store::mode::ReadWrite;
    Create = 1;
    LockRecover = 10;
    FileName = QString::fromStdString(file.desc().name);
    addFileMessages(errors);
}

void FileManager::Kill() {
    if (File && File->isOpen()) File->close();
    opened_ = 0;
    if (registered_) {
        std::erase(*g_managers, this);
        registered_ = false;
    }
    keys_.clear();
    Initialized = false;
}

int FileManager::UseFile(int useType) {
    if (useType == UseType::Initialise) return Level::Benign;
    if (!File || opened_ < 1) {
        if (Errors) return Errors->ThrowFile(Msg::UseClosedFile, FileName);
        return Level::Program;
    }
    if (File->isOpen()) return Level::Benign;
    // Opening must not change what the record buffer holds.
    std::string saved = SaveBuffer();
    int level = openFile();
    RestoreBuffer(saved);
    return level;
}

// At most two attempts; each failure that can be mended (a missing file, a lock, invalid keys)
// is mended once and the open tried again.
int FileManager::openFile() {
    int mode = OpenMode;
    for (int attempt = 1;; ++attempt) {
        File->setQuickScan(quickScan_);
        int err = File->open(mode);
        if (err == store::NoError) {
            QString notice;
            detail::recoverCascade(*File, &notice);
            if (!notice.isEmpty()) Errors->ThrowFile(FileMsg::JournalSetAside, notice);
            return Level::Benign;
        }
        bool last = attempt >= 2;
        if (err == store::AccessDenied) {
            // A lock left by a dead holder goes with its process, so recovering is one more try.
            if (LockRecover > 0) err = File->open(mode);
            if (err == store::NoError) return Level::Benign;
            if (err == store::AccessDenied && (mode & 0x0F) != 0 && !last) {
                mode &= 0xF0;
                Errors->SetErrors(err, driverText(*File));
                int level = Errors->ThrowFile(Msg::AccessDenied, FileName);
                if (level != Level::Benign && level != Level::Notify) return level;
                continue;
            }
        } else if (err == store::FileNotFound && Create && !last) {
            if (File->create() != store::NoError) {
                Errors->SetErrors(File->lastError(), driverText(*File));
                return Errors->ThrowFile(Msg::CreateFailed, FileName);
            }
            continue;
        } else if (err == store::KeyFileRebuild && !last) {
            Errors->SetErrors(err, driverText(*File));
            int level = Errors->ThrowFile(Msg::RebuildKey, FileName);
            if (level != Level::Benign && level != Level::Notify) return level;
            if (File->build() != store::NoError) {
                Errors->SetErrors(File->lastError(), driverText(*File));
                return Errors->ThrowFile(Msg::RebuildFailed, FileName);
            }
            continue;
        }
        Errors->SetErrors(err, driverText(*File));
        return Errors->ThrowFile(Msg::OpenFailed, FileName);
    }
}

void FileManager::AddKey(int key, const QString& displayName, bool autoNumber) {
    for (auto& k : keys_)
        if (k.key == key) {
            k.display = displayName;
            k.autoNumber = autoNumber;
            return;
        }
    keys_.push_back({key, displayName, autoNumber});
}

const FileManager::KeyEntry* FileManager::keyEntry(int key) const {
    for (auto& k : keys_)
        if (k.key == key) return &k;
    return nullptr;
}

QString FileManager::KeyDisplayName(int key) const {
    auto* k = keyEntry(key);
    return k ? k->display : QString();
}

QString FileManager::KeyName(int key) const {
    if (!File || key < 1 || key > static_cast<int>(File->desc().keys.size())) return {};
    return QString::fromStdString(File->desc().keys[key - 1].name);
}

bool FileManager::KeyAutoNumber(int key) const {
    auto* k = keyEntry(key);
    return k && k->autoNumber;
}

int FileManager::FindKey(const QString& name) const {
    for (auto& k : keys_)
        if (k.display.compare(name, Qt::CaseInsensitive) == 0 || KeyName(k.key).compare(name, Qt::CaseInsensitive) == 0)
            return k.key;
    return 0;
}

int FileManager::autoNumberKey() const {
    for (auto& k : keys_)
        if (k.autoNumber) return k.key;
    return 0;
}

int FileManager::Open() {
    UseFile(UseType::Initialise);
    ++opened_;
    if (!LazyOpen) {
        int level = UseFile(UseType::Use);
        if (level != Level::Benign) {
            --opened_;
            return level;
        }
    }
    return Level::Benign;
}

int FileManager::Close() {
    if (opened_ > 0 && --opened_ == 0 && File && File->isOpen()) File->close();
    return Level::Benign;
}

// --- writes ------------------------------------------------------------------------------------

int FileManager::TryInsert() {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    int err = File->add(Buffer);
    // Another writer took the primed number in the meantime: the driver gives the next one.
    if (err == store::DuplicateKey) {
        int k = autoNumberKey();
        if (k && File->errorDetail() == File->desc().keys[k - 1].name) {
            VarRef::of(*File->desc().keys[k - 1].components[0].field, Buffer).clear();
            err = File->add(Buffer);
        }
    }
    return err;
}

int FileManager::TryUpdate() {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    return File->put(Buffer);
}

int FileManager::TryDelete() {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    return File->remove();
}

int FileManager::duplicateKey() { return ReportFailure(LastFailure()); }

int FileManager::writeFailed() {
    Errors->SetErrors(File->lastError(), driverText(*File));
    return Errors->ThrowFile(FileMsg::WriteFailed, FileName);
}

int FileManager::ReportWriteError() {
    if (File->lastError() == store::DuplicateKey) return duplicateKey();
    return writeFailed();
}

int FileManager::Insert() {
    for (;;) {
        if (int l = UseFile(); l != Level::Benign) return l;
        int err = TryInsert();
        if (err == store::NoError) {
            WatchWritten();
            return Level::Benign;
        }
        if (err == store::DuplicateKey) return duplicateKey();
        if (err == store::AutoNumberFailed) {
            int k = autoNumberKey();
            Errors->SetErrors(err, driverText(*File));
            Errors->SetKey(k ? KeyDisplayName(k) : QString());
            int level = Errors->ThrowFile(Msg::RetryAutoInc, FileName);
            if (level == Level::Benign) continue;
            return level;
        }
        return writeFailed();
    }
}

int FileManager::Update() {
    if (int l = UseFile(); l != Level::Benign) return l;
    int err = File->put(Buffer);
    if (err == store::NoError) {
        WatchWritten();
        return Level::Benign;
    }
    if (err == store::DuplicateKey) return duplicateKey();
    return writeFailed();
}

int FileManager::Delete() {
    if (int l = UseFile(); l != Level::Benign) return l;
    if (File->remove() == store::NoError) return Level::Benign;
    return writeFailed();
}

// --- reads -------------------------------------------------------------------------------------

// "Not found" and "end of file" are answers, not failures: no message. A damaged record read by
// its position or key, a file that cannot be read or stays locked is told, once per read. (The
// damaged records a sequence passes over are told by its read operation, see stepPast.)
int FileManager::readLevel(int code) {
    if (code == store::NoError) return Level::Benign;
    if (Errors) Errors->SetErrors(code, driverText(*File));
    if (code == store::NoMoreRecords || code == store::RecordNotFound || !Errors) return Level::Notify;
    Errors->ThrowFile(FileMsg::ReadFailed, FileName);
    return Level::Notify;
}

// A successful read is what a later change is checked against. A key file found damaged on the
// way is rebuilt (message 30) and the read made again, so a list never stops silently half-way.
int FileManager::noteRead(int code) {
    if (code == store::NoError) Watch();
    return code;
}

int FileManager::readFailed(int code) {
    if (code != store::KeyFileRebuild || !Errors) return code;
    Errors->SetErrors(code, driverText(*File));
    int level = Errors->ThrowFile(Msg::RebuildKey, FileName);
    if (level != Level::Benign && level != Level::Notify) return code;
    if (File->build() != store::NoError) {
        Errors->SetErrors(File->lastError(), driverText(*File));
        Errors->ThrowFile(Msg::RebuildFailed, FileName);
        return code;
    }
    return store::NoError;
}

// One step of a sequence, past every damaged record. The driver has moved past a damaged record
// when it reports it, so the next step goes on; a step that finds the same record damaged again
// has not moved, and the failure is the file's own.
int FileManager::stepPast(bool forward, void* into) {
    std::set<store::Position> seen;
    for (;;) {
        int err = forward ? File->next(into) : File->previous(into);
        if (err == store::KeyFileRebuild && readFailed(err) == store::NoError)
            err = forward ? File->next(into) : File->previous(into);
        if (err != store::DataFileDamaged) return err;
        const store::Position p = File->position();
        if (!p || !seen.insert(p).second) return err;
        passedDamage(p);
    }
}

// The operation whose record of damage a step belongs to: the nearest counting one (a report
// counts what it left out even when a list's event started it), else the outermost.
FileManager::ReadOperation* FileManager::ReadOperation::scope() {
    ReadOperation* op = this;
    while (op->mode_ != Count && op->outer_) op = op->outer_;
    return op;
}

// A damaged record passed over: kept by a counting operation, told by any other at most once.
void FileManager::passedDamage(store::Position pos) {
    ReadOperation* op = op_ ? op_->scope() : nullptr;
    if (op) op->passed_.positions.insert(pos);
    if (op && op->mode_ == ReadOperation::Count) return;
    if ((op && op->told_) || told_.count(pos) || !Errors) return;
    if (op) op->told_ = true;
    told_.insert(pos);
    Errors->SetErrors(store::DataFileDamaged, driverText(*File));
    Errors->ThrowFile(FileMsg::ReadFailed, FileName);
}

FileManager::ReadOperation::ReadOperation(FileManager& f, Mode mode) : f_(f), mode_(mode), outer_(f.op_) { f.op_ = this; }

FileManager::ReadOperation::~ReadOperation() {
    // Normally the innermost; one ended out of turn is taken out of the chain where it is.
    if (f_.op_ == this) {
        f_.op_ = outer_;
        return;
    }
    for (ReadOperation* o = f_.op_; o; o = o->outer_)
        if (o->outer_ == this) {
            o->outer_ = outer_;
            return;
        }
}

const FileManager::LeftOut& FileManager::ReadOperation::Passed() const {
    return const_cast<ReadOperation*>(this)->scope()->passed_;
}

void FileManager::ReadOperation::Note(store::Position pos) { scope()->passed_.positions.insert(pos); }

int FileManager::TellReadFailure(int code) {
    if (code == store::NoError || code == store::NoMoreRecords || code == store::RecordNotFound || !Errors || !File) return code;
    ReadOperation* op = op_ ? op_->scope() : nullptr;
    if (op && op->told_) return code;
    if (op) op->told_ = true;
    Errors->SetErrors(code, driverText(*File));
    Errors->ThrowFile(FileMsg::ReadFailed, FileName);
    return code;
}

int FileManager::TellLeftOut(const LeftOut& left, const QString& sentence) {
    if (left.positions.empty() || !Errors) return Level::Benign;
    QStringList at;
    for (store::Position p : left.positions) {
        if (at.size() == 10) {
            at << QStringLiteral("...");
            break;
        }
        at << QString::number(p);
    }
    const QString detail = (left.positions.size() == 1 ? QStringLiteral("record ") : QStringLiteral("records ")) +
                           at.join(QStringLiteral(", ")) + QStringLiteral(" damaged");
    Errors->SetErrors(store::DataFileDamaged, shortText(store::DataFileDamaged, detail.toStdString()));
    Errors->SetFile(FileName);
    return Errors->ThrowMessage(FileMsg::LeftOut, sentence);
}

int FileManager::ScanNext(void* into) {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    return stepPast(true, into);
}
int FileManager::ScanPrevious(void* into) {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    return stepPast(false, into);
}

#define VX_READ(call)                                                          \
    int err = File->call;                                                      \
    if (err == store::KeyFileRebuild && readFailed(err) == store::NoError) err = File->call; \
    return noteRead(err)

int FileManager::TryFetch(int key) {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    VX_READ(get(key, Buffer));
}
int FileManager::TryNext() {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    return noteRead(stepPast(true, Buffer));
}
int FileManager::TryPrevious() {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    return noteRead(stepPast(false, Buffer));
}
int FileManager::TryReget(store::Position pos) {
    if (UseFile() != Level::Benign) return store::FileNotOpen;
    VX_READ(get(pos, Buffer));
}
#undef VX_READ

int FileManager::Fetch(int key) {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(TryFetch(key));
}
int FileManager::Next() {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(TryNext());
}
int FileManager::Previous() {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(TryPrevious());
}
int FileManager::Reget(store::Position pos) {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(TryReget(pos));
}

void FileManager::SetQuickScan(bool on) {
    quickScan_ = on;
    if (File) File->setQuickScan(on);
}

void FileManager::Watch() {
    if (!File || !Buffer || !Record) return;
    watchPos_ = File->position();
    watchImage_.assign(static_cast<const char*>(Buffer), Record->size);
}

void FileManager::WatchWritten() {
    if (!File || !Record) return;
    std::string img(Record->size, '\0');
    store::Position pos = File->position();
    watchPos_ = 0;
    if (File->get(pos, img.data()) != store::NoError) return;
    watchPos_ = pos;
    watchImage_ = std::move(img);
}

bool FileManager::Watched(store::Position pos, std::string& image) const {
    if (pos == 0 || pos != watchPos_ || watchImage_.empty()) return false;
    image = watchImage_;
    return true;
}

FileManager::Failure FileManager::LastFailure() const {
    if (!File) return {store::FileNotOpen, QString::fromLatin1(store::errorText(store::FileNotOpen)), {}};
    return {File->lastError(), driverText(*File), File->errorDetail()};
}

int FileManager::ReportFailure(const Failure& f) {
    Errors->SetErrors(f.code, f.text);
    if (f.code != store::DuplicateKey) return Errors->ThrowFile(FileMsg::WriteFailed, FileName);
    QString name;
    for (std::size_t k = 0; File && k < File->desc().keys.size(); ++k) {
        const std::string& kn = File->desc().keys[k].name;
        if (f.detail.compare(0, kn.size(), kn) == 0) {
            name = KeyDisplayName(int(k) + 1);
            if (name.isEmpty()) name = QString::fromStdString(kn);
            break;
        }
    }
    Errors->SetFile(FileName);
    return Errors->ThrowMessage(Msg::DuplicateKey, name);
}

int FileManager::SetStart(int key) {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(File->setStart(key));
}
int FileManager::SetEnd(int key) {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(File->setEnd(key));
}
int FileManager::SetFrom(int key) {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(File->set(key, Buffer));
}
int FileManager::SetAt(int key, store::Position pos) {
    if (int l = UseFile(); l != Level::Benign) return l;
    return readLevel(File->set(key, pos));
}

std::uint32_t FileManager::Records() {
    if (UseFile() != Level::Benign) return 0;
    return File->records();
}

// --- new records -------------------------------------------------------------------------------

int FileManager::PrimeRecord(bool suppressClear) {
    if (int l = UseFile(); l != Level::Benign) return l;
    if (!suppressClear && Record) Record->clear(Buffer);
    PrimeFields();
    return PrimeAutoInc();
}

int FileManager::PrimeAutoInc() {
    int k = autoNumberKey();
    if (!k) return Level::Benign;
    if (int l = UseFile(); l != Level::Benign) return l;
    const FieldDesc& field = *File->desc().keys[k - 1].components[0].field;
    VarRef target = VarRef::of(field, Buffer);
    for (;;) {
        std::string rec(Record->size, '\0');
        int err = File->setEnd(k);
        if (err == store::NoError) err = File->previous(rec.data());
        Decimal next = 1;
        if (err == store::NoError) next = VarRef::of(field, rec.data()).number() + Decimal(1);
        else if (err == store::NoMoreRecords) err = store::NoError;
        QString text = err == store::NoError ? QString() : driverText(*File);
        if (err == store::NoError && !target.canHold(next)) {
            err = store::AutoNumberFailed;
            text = shortText(err, "the number " + next.toString() + " does not fit " + File->desc().keys[k - 1].name);
        }
        if (err == store::NoError) {
            target.setNumber(next);
            return Level::Benign;
        }
        Errors->SetErrors(err, text);
        Errors->SetKey(KeyDisplayName(k));
        int level = Errors->ThrowFile(Msg::RetryAutoInc, FileName);
        if (level != Level::Benign) return level;
    }
}

std::string FileManager::SaveBuffer() const {
    if (!Buffer || !Record) return {};
    return std::string(static_cast<const char*>(Buffer), Record->size);
}

void FileManager::RestoreBuffer(const std::string& saved) {
    if (Buffer && Record && saved.size() == Record->size) std::memcpy(Buffer, saved.data(), saved.size());
}

int FileManager::ThrowFileError(int id) {
    if (File) Errors->SetErrors(File->lastError(), driverText(*File));
    return Errors->ThrowFile(id, FileName);
}

void installStoreWaitHook() {
    // Only the thread that runs the fibers may switch them; other OS threads only sleep.
    std::thread::id gui = std::this_thread::get_id();
    store::setWaitHook([gui] {
        if (std::this_thread::get_id() != gui || !vx::eng::detail::currentState()) return;
        bool turned = false;
        vx::eng::detail::schedule();
        vx::eng::detail::waitUntil([&turned] {
            if (turned) return true;
            turned = true;
            return false;
        });
    });
}

}  // namespace vx
