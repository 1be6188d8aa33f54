#include "framework/store/store.h"

#include "framework/store/store_impl.h"

namespace vx::store {

const char* errorText(int code) {
    switch (code) {
        case NoError: return "No Error";
        case FileNotFound: return "File Not Found";
        case AccessDenied: return "Access Denied";
        case FileLocked: return "File Is Locked";
        case NoMoreRecords: return "Record Not Available";
        case RecordNotFound: return "Record Not Found";
        case FileNotOpen: return "File Not Open";
        case DuplicateKey: return "Creates Duplicate Key";
        case KeyFileRebuild: return "Key File Must Be Rebuilt";
        case BadDeclaration: return "Invalid Record Declaration";
        case TransactionError: return "Transaction Error";
        case AutoNumberFailed: return "Auto-Number Failed";
        case FileSystemError: return "File System Error";
        case DataFileDamaged: return "Data File Damaged";
    }
    return "Unknown Error";
}

void setSync(bool on) { g_sync = on; }
bool syncEnabled() { return g_sync; }
void setWaitHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> g(g_hookMutex);
    g_hook = std::move(hook);
}

int File::Impl::run(const std::function<void()>& f) {
    try {
        f();
        err = 0;
        detail.clear();
    } catch (const Fail& e) {
        err = e.code;
        detail = e.detail;
    } catch (const std::bad_alloc&) {
        err = FileSystemError;
        detail = "out of memory";
    }
    return err;
}

File::File(FileDesc desc, std::string directory) : d(std::make_unique<Impl>()) {
    d->desc = std::move(desc);
    d->dir = std::move(directory);
    d->declError = fmt::checkDesc(d->desc);
    if (!d->declError.empty()) return;
    d->recSize = d->desc.record->size;
    d->slotSize = d->recSize + sizeof(fmt::SlotPrefix);
    d->fieldSig = fmt::fieldSignature(*d->desc.record);
    for (const FieldDesc& f : d->desc.record->fields)
        if (f.isText()) d->texts.emplace_back(f.offset, f.size);
    for (const KeyDesc& k : d->desc.keys) d->keys.push_back(std::make_unique<KeyTree>(k, d->recSize));
}

File::~File() { d->closeFiles(); }

const FileDesc& File::desc() const { return d->desc; }
std::string File::dataPath() const { return d->dataPath(); }
std::string File::keyPath(int key) const { return d->keyPath(key); }
std::string File::journalPath() const { return d->journalPath(); }
bool File::isOpen() const { return d->opened; }
std::uint64_t File::changeCount() {
    if (!d->opened) return 0;
    try {
        return d->diskCounter();
    } catch (const Fail&) {
        return 0;  // a damaged header: the next read reports it
    }
}
Position File::position() const { return d->pos; }
bool File::inTransaction() const { return d->explicitTxn; }
int File::lastError() const { return d->err; }
std::string File::errorDetail() const { return d->detail; }
std::string File::errorMessage() const {
    std::string m = errorText(d->err);
    if (!d->detail.empty()) m += " (" + d->detail + ")";
    return m;
}

int File::create() {
    return d->run([&] { d->doCreate(); });
}

int File::open(int openMode) {
    if (d->opened) close();
    int r = d->run([&] { d->openFiles(openMode, true); });
    if (r) d->closeFiles();
    return r;
}

void File::close() {
    d->closeFiles();
    d->err = 0;
    d->detail.clear();
}

int File::build() {
    return d->run([&] { d->doBuild(); });
}

int File::add(void* record) {
    return d->run([&] { d->writeOp([&] { d->doAdd(static_cast<unsigned char*>(record)); }); });
}
int File::put(const void* record) { return put(d->pos, record); }
int File::put(Position pos, const void* record) {
    return d->run([&] { d->writeOp([&] { d->doPut(pos, static_cast<const unsigned char*>(record)); }); });
}
int File::remove() { return remove(d->pos); }
int File::remove(Position pos) {
    return d->run([&] { d->writeOp([&] { d->doRemove(pos); }); });
}

int File::get(Position pos, void* record) {
    return d->run([&] {
        std::vector<unsigned char> rec(d->recSize);
        d->readOp([&] { d->readRecord(pos, rec.data()); });
        std::memcpy(record, rec.data(), d->recSize);
        d->pos = pos;
    });
}

int File::get(int key, void* record) {
    return d->run([&] {
        KeyTree& t = d->key(key);
        std::vector<unsigned char> k(t.entryLen());
        std::vector<unsigned char>& e = d->entryBuf;
        e.resize(t.entryLen());
        const unsigned char* rec = nullptr;
        if (!d->encodeKey(t, static_cast<const unsigned char*>(record), k.data())) fail(RecordNotFound, "blank key value");
        bool found = false;
        d->readOp([&] {
            found = t.findKey(k.data(), e.data());
            if (found) rec = d->fetchEntry(t, e.data());
        });
        if (!found) fail(RecordNotFound);
        std::memcpy(record, rec, d->recSize);
        d->seqKey = key;
        d->cur.assign(e.begin(), e.end());
        d->curInclusive = false;
        d->curEnd = false;
        d->pos = t.posOf(e.data());
    });
}

int File::setStart(int key) {
    return d->run([&] {
        if (!d->opened) fail(FileNotOpen);
        if (key) d->cur.assign(d->key(key).entryLen(), 0);
        d->seqKey = key;
        d->curInclusive = true;
        d->curEnd = false;
        d->filePos = 0;
        d->fileEnd = false;
    });
}

int File::setEnd(int key) {
    return d->run([&] {
        if (!d->opened) fail(FileNotOpen);
        if (key) d->cur.assign(d->key(key).entryLen(), 0xFF);
        d->seqKey = key;
        d->curEnd = true;
        d->fileEnd = true;
    });
}

int File::set(int key, const void* record) {
    return d->run([&] {
        if (!d->opened) fail(FileNotOpen);
        KeyTree& t = d->key(key);
        std::vector<unsigned char> e(t.entryLen(), 0);
        d->encodeKey(t, static_cast<const unsigned char*>(record), e.data());
        d->seqKey = key;
        d->cur = e;
        d->curInclusive = true;
        d->curEnd = false;
    });
}

int File::set(int key, Position pos) {
    return d->run([&] {
        if (key == 0) {
            std::vector<unsigned char> rec(d->recSize);
            d->readOp([&] { d->readRecord(pos, rec.data()); });
            d->seqKey = 0;
            d->filePos = pos - 1;
            d->fileEnd = false;
            return;
        }
        KeyTree& t = d->key(key);
        std::vector<unsigned char> rec(d->recSize), e(t.entryLen());
        d->readOp([&] { d->readRecord(pos, rec.data()); });
        if (!t.codec().encode(rec.data(), e.data())) fail(RecordNotFound, "the record is not in " + t.desc().name);
        KeyTree::putPos(e.data() + t.keyLen(), pos);
        d->seqKey = key;
        d->cur = e;
        d->curInclusive = true;
        d->curEnd = false;
    });
}

void File::setQuickScan(bool on) {
    d->quick = on;
    d->ahead.clear();
    d->aheadCounter = ~0ull;
    if (!on) std::vector<unsigned char>().swap(d->aheadBuf);
}
bool File::quickScan() const { return d->quick; }

int File::next(void* record) {
    return d->run([&] { d->step(true, record); });
}
int File::previous(void* record) {
    return d->run([&] { d->step(false, record); });
}

std::uint32_t File::records() {
    std::uint32_t n = 0;
    d->run([&] { d->readOp([&] { n = d->h.recordCount; }); });
    return n;
}

int File::begin(int timeoutMs) {
    return d->run([&] {
        if (!d->opened) fail(FileNotOpen);
        if (!d->writable) fail(AccessDenied, d->dataPath() + " is open for reading only");
        if (d->inTxn) fail(TransactionError, "a transaction is already active");
        d->beginTxn(timeoutMs);
        d->explicitTxn = true;
    });
}

int File::commit() {
    return d->run([&] {
        if (!d->explicitTxn) fail(TransactionError, "no transaction is active");
        if (d->txnFailed) {
            d->rollbackTxn();
            fail(TransactionError, "a step of the transaction failed; it was rolled back");
        }
        d->commitTxn();
    });
}

int File::rollback() {
    return d->run([&] {
        if (!d->explicitTxn) fail(TransactionError, "no transaction is active");
        d->rollbackTxn();
    });
}

}  // namespace vx::store
