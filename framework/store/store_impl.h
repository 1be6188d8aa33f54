#pragma once
// What the keyed file driver's sources share: the handle's state and the low-level helpers
// (locks, waits, syncing, text conversion). Internal to framework/store.

#include "framework/store/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <system_error>
#include <map>
#include <unordered_map>
#include <mutex>
#include <thread>

#include "framework/store/btree.h"
#include "framework/types/codepage.h"

namespace vx::store {

using fmt::DataHeader;
using fmt::KeyHeader;
using fmt::kPage;

namespace internal {

extern std::atomic<bool> g_sync;
extern std::mutex g_hookMutex;
extern std::function<void()> g_hook;
extern std::atomic<unsigned> g_tmpSeq;

// Byte-range locks on the data file, far beyond any data. Open file description locks belong
// to one open() (so threads of one process exclude each other too) and vanish with the process.
inline constexpr std::uint64_t kLockWrite = 1ull << 40;      // the writer: held through a commit or transaction
inline constexpr std::uint64_t kLockOpen = kLockWrite + 1;   // shared by every opener, exclusive for deny-all
inline constexpr std::uint64_t kLockWriters = kLockWrite + 2;  // shared by every writing opener, exclusive for deny-write
inline constexpr std::uint64_t kLockWaiting = kLockWrite + 3;  // shared by every handle waiting for the writer lock
inline constexpr int kWriteTimeoutMs = 10000;                // a single write outside a transaction
inline constexpr int kReadTimeoutMs = 10000;                 // a reader waiting for a commit to finish

class Backoff {
public:
    // Sleeps a little longer each time, never past `until`.
    void wait(std::chrono::steady_clock::time_point until) {
        {
            std::function<void()> hook;
            {
                std::lock_guard<std::mutex> g(g_hookMutex);
                hook = g_hook;
            }
            if (hook) hook();
        }
        std::this_thread::sleep_until(std::min(until, std::chrono::steady_clock::now() + std::chrono::microseconds(us_)));
        us_ = std::min(us_ * 2, 200);
    }
    void wait() {
        {
            std::function<void()> hook;
            {
                std::lock_guard<std::mutex> g(g_hookMutex);
                hook = g_hook;
            }
            if (hook) hook();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(us_));
        us_ = std::min(us_ * 2, 200);
    }

private:
    int us_ = 20;
};

using Clock = std::chrono::steady_clock;

bool tryLock(int fd, short type, std::uint64_t at);
void unlock(int fd, std::uint64_t at);
bool lockWait(int fd, short type, std::uint64_t at, Clock::time_point deadline);
bool lockWriter(int fd, int timeoutMs);
void syncFd(int fd);
std::uint64_t fileSize(int fd);
std::string dirOf(const std::string& path);
void syncDir(const std::string& path);
std::string tmpName(const std::string& path);
void writeFileAtomically(const std::string& path, const void* data, std::size_t size);
void convertText(unsigned char* p, std::size_t n, bool toOem);
void writeGathered(int fd, std::vector<iovec>& iov, std::uint64_t off);

// The 1251 <-> 866 conversion of stored text. The Cyrillic letters move by a fixed distance
// (1251 А..п <-> 866 0x80..0xAF, 1251 р..я <-> 866 0xE0..0xEF), which is done many bytes at a
// time; the other high bytes (Ё, №, symbols) go through the whole-byte table.
struct Range {
    unsigned char lo, hi;
    int shift;
};
struct OemTables {
    unsigned char toOem[256], fromOem[256];
    Range toFast[2] = {{0xC0, 0xEF, -0x40}, {0xF0, 0xFF, -0x10}};
    Range fromFast[2] = {{0x80, 0xAF, 0x40}, {0xE0, 0xEF, 0x10}};
    bool fast = true;
    OemTables() {
        for (int c = 0; c < 256; ++c) {
            char a = static_cast<char>(c), b = static_cast<char>(c);
            cp::cp1251ToCp866(&a, 1);
            cp::cp866ToCp1251(&b, 1);
            toOem[c] = static_cast<unsigned char>(a);
            fromOem[c] = static_cast<unsigned char>(b);
        }
        // Use the fixed distances only where they agree with the tables.
        for (const Range* r : {toFast, toFast + 1, fromFast, fromFast + 1})
            for (int c = r->lo; c <= r->hi; ++c)
                if ((r < fromFast ? toOem : fromOem)[c] != static_cast<unsigned char>(c + r->shift)) fast = false;
    }
};
const OemTables& oem();
void mapBytes(unsigned char* p, std::size_t n, const unsigned char* table);

inline std::uint32_t headerCrc(const DataHeader& h) { return fmt::crc32(&h, offsetof(DataHeader, crc)); }
inline std::uint32_t headerCrc(const KeyHeader& h) { return fmt::crc32(&h, offsetof(KeyHeader, crc)); }

inline std::string base36(int n) {
    const char* d = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return {d[(n / 36) % 36], d[n % 36]};
}

}  // namespace internal
using namespace internal;

struct File::Impl {
    FileDesc desc;
    std::string dir;
    std::string declError;                  // why the descriptor is unusable, empty when fine
    std::uint32_t recSize = 0, slotSize = 0, fieldSig = 0;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> texts;  // text fields (offset, size)
    std::vector<std::unique_ptr<KeyTree>> keys;

    int fd = -1;
    int jfd = -1;
    bool opened = false, writable = false, fdWritable = false;
    int share = 0x40;

    DataHeader h{};                         // the header as this handle sees it
    bool viewValid = false;
    // While a BUILD opens and locks the file: a header that cannot be read as it is, and a file
    // whose last slot is cut short, are taken as the slots say (see mendHeader) instead of failing.
    bool mending = false;

    // Transaction state.
    bool holdsWrite = false, inTxn = false, explicitTxn = false, txnFailed = false;
    DataHeader orig{};
    struct Change {
        std::vector<unsigned char> now;     // disk form
        std::vector<unsigned char> before;  // disk form at the start of the transaction; empty for new slots
    };
    std::map<Position, Change> overlay;     // changed slots
    std::vector<unsigned char> slotBuf, entryBuf, keyScratch;
    std::uint64_t seen = ~0ull;             // counter of the last header read
    void* hdrMap = nullptr;                 // the header page, mapped: the change counter without a system call

    // Sequence state.
    int seqKey = 0;
    std::vector<unsigned char> cur;         // key order: bound entry
    bool curInclusive = true, curEnd = false;
    Position filePos = 0;                   // file order: last slot returned
    bool fileEnd = false;
    Position pos = 0;

    // Quick scan (read-ahead of sequences).
    bool quick = false;
    std::unordered_map<Position, std::size_t> ahead;  // slot -> offset in aheadBuf
    std::vector<unsigned char> aheadBuf;
    std::uint64_t aheadCounter = ~0ull;

    int err = 0;
    std::string detail;

    // --- names -------------------------------------------------------------------------------
    std::string base() const;
    std::string prefix() const { return dir.empty() ? std::string() : dir + "/"; }
    std::string dataPath() const;
    std::string keyPath(int k) const { return base() + ".K" + base36(k); }
    std::string journalPath() const { return base() + ".JNL"; }

    // --- records -----------------------------------------------------------------------------
    std::uint64_t slotOffset(Position p) const { return kPage + std::uint64_t(p - 1) * slotSize; }

    void toDisk(const void* record, unsigned char* slot, std::uint32_t state, std::uint32_t next) const;
    bool damagedSlot(const unsigned char* slot) const;
    void fromDisk(const unsigned char* slot, void* record) const;
    static fmt::SlotPrefix prefixOf(const unsigned char* slot);

    void readSlot(Position p, std::vector<unsigned char>& out);
    void readRecord(Position p, unsigned char* record);
    void change(Position p, std::vector<unsigned char> now, const std::vector<unsigned char>* disk);

    // --- header ------------------------------------------------------------------------------
    DataHeader newHeader() const;

    DataHeader readHeader();
    DataHeader mendHeader(const DataHeader& damaged);
    std::uint64_t diskCounter();
    void checkSize(const DataHeader& nh);
    void setAsideTail(DataHeader& nh);

    void openKeyFiles();
    void closeKeyFiles();
    void loadKeyHeaders(const DataHeader& nh);

    void refresh();

    void waitForCommit();

    // --- journal -----------------------------------------------------------------------------
    int journalFd();

    int fileFd(std::uint32_t i) const { return i == 0 ? fd : keys[i - 1]->fd; }

    void recoverLocked();
    // recoverLocked() with the write lock the caller has just taken, released however it ends.
    void recoverUnderWriteLock() {
        try {
            recoverLocked();
        } catch (...) {
            unlock(fd, kLockWrite);
            throw;
        }
        unlock(fd, kLockWrite);
    }

    void bumpCounter();

    bool applyJournal(const std::vector<unsigned char>& buf);

    // --- group markers -----------------------------------------------------------------------
    std::string dataName() const;
    std::vector<std::pair<std::string, std::uint64_t>> readGroup(const std::string& group) const;
    bool groupLists(const std::string& group, std::uint64_t counter) const;
    void dropGroupWhenDone(const std::string& group) const;

    // --- transactions ------------------------------------------------------------------------
    void beginTxn(int timeoutMs);
    bool journalValid();
    void releaseWrite();
    void rollbackTxn();

    void commitTxn();

    void writeCommit();

    bool hasChanges() const;

    void invalidateJournal();

    void writeJournal(const std::string& group);

    void writeInPlace(bool keepOdd);

    void finishInPlace();
    void endCommitted();

    void syncAll();

    // --- write operations --------------------------------------------------------------------
    template <class F>
    void writeOp(F&& f) {
        if (!opened) fail(FileNotOpen);
        if (!writable) fail(AccessDenied, dataPath() + " is open for reading only");
        if (txnFailed) fail(TransactionError, "an earlier step of the transaction failed; roll it back");
        bool implicit = !inTxn;
        if (implicit) beginTxn(kWriteTimeoutMs);
        try {
            f();
        } catch (const Fail& e) {
            if (implicit) rollbackTxn();
            else if (e.code != DuplicateKey && e.code != RecordNotFound && e.code != AutoNumberFailed) txnFailed = true;
            throw;
        } catch (...) {
            if (implicit) rollbackTxn();
            else txnFailed = true;
            throw;
        }
        if (implicit) commitTxn();
    }

    struct Keys {
        std::vector<std::vector<unsigned char>> enc;  // full entries
        std::vector<bool> present;
    };
    bool encodeKey(const KeyTree& t, const unsigned char* record, unsigned char* out) const;
    Keys encodeAll(const unsigned char* record, Position p) const;

    void doAdd(unsigned char* record);

    void doPut(Position p, const unsigned char* record);

    void doRemove(Position p);

    // --- read operations ---------------------------------------------------------------------
    // Runs f against a consistent view: without the write lock, f is repeated when a commit ran
    // while it read (the change counter moved), so it must only fill locals.
    template <class F>
    void readOp(F&& f) {
        if (!opened) fail(FileNotOpen);
        if (holdsWrite) {
            f();
            return;
        }
        std::chrono::steady_clock::time_point deadline{};
        Backoff b;
        for (bool fast = viewValid;; fast = false) {
            seen = ~0ull;
            try {
                // The counter read after the previous read stands for the one before this read:
                // counters only grow, so if it is unchanged after this read, nothing changed since.
                if (fast) {
                    seen = h.counter;
                    for (auto& t : keys) t->trimCache();
                } else {
                    refresh();
                }
                f();
                if (diskCounter() == h.counter) return;
            } catch (const Fail&) {
                // A failure counts only when no commit ran meanwhile (a key file read half-way
                // through a commit may look stale or damaged).
                if (seen == ~0ull) throw;
                std::uint64_t now = diskCounter();
                if (now == seen && !(now & 1)) throw;
            }
            viewValid = false;
            if (deadline == std::chrono::steady_clock::time_point{})
                deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
            else if (std::chrono::steady_clock::now() >= deadline)
                fail(FileLocked, "the file kept changing while being read");
            b.wait();
        }
    }

    KeyTree& key(int k);

    const unsigned char* fetchEntry(KeyTree& t, const unsigned char* e);

    void prefetch(std::vector<Position> ps);
    bool aheadValid() const { return quick && !inTxn && viewValid && aheadCounter == h.counter; }
    static constexpr std::size_t kAheadBytes = 1u << 20;
    std::size_t aheadCount() const { return std::max<std::size_t>(8, kAheadBytes / slotSize); }

    void step(bool forward, void* record);

    // --- open, create, build -----------------------------------------------------------------
    void openFiles(int openMode, bool checkKeys);
    void openFilesOrThrow(int openMode, bool checkKeys);

    void addChecksums();

    void closeFiles();

    void doCreate();

    void doBuild();

    void beginBuild();

    // BUILD's scan of the slots first..last: the entries of every key, the free slots and the
    // live count, in position order.
    struct ScanPart {
        std::vector<std::vector<unsigned char>> entries;
        std::vector<std::size_t> counts;
        std::vector<Position> freeSlots;
        std::uint32_t live = 0;
    };
    void scanSlots(Position first, Position last, ScanPart& out);

    void rebuild();

    int run(const std::function<void()>& f);
};

}  // namespace vx::store
