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

namespace {

std::atomic<bool> g_sync{true};
std::mutex g_hookMutex;
std::function<void()> g_hook;
std::atomic<unsigned> g_tmpSeq{0};

// Byte-range locks on the data file, far beyond any data. Open file description locks belong
// to one open() (so threads of one process exclude each other too) and vanish with the process.
constexpr std::uint64_t kLockWrite = 1ull << 40;      // the writer: held through a commit or transaction
constexpr std::uint64_t kLockOpen = kLockWrite + 1;   // shared by every opener, exclusive for deny-all
constexpr std::uint64_t kLockWriters = kLockWrite + 2;  // shared by every writing opener, exclusive for deny-write
constexpr std::uint64_t kLockWaiting = kLockWrite + 3;  // shared by every handle waiting for the writer lock
constexpr int kWriteTimeoutMs = 10000;                // a single write outside a transaction
constexpr int kReadTimeoutMs = 10000;                 // a reader waiting for a commit to finish

bool tryLock(int fd, short type, std::uint64_t at) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(at);
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    failErrno("lock");
}
void unlock(int fd, std::uint64_t at) {
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(at);
    fl.l_len = 1;
    ::fcntl(fd, F_OFD_SETLK, &fl);
}

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

// Waits for a lock until `deadline` and never past it: the last try is made at the deadline.
bool lockWait(int fd, short type, std::uint64_t at, Clock::time_point deadline) {
    Backoff b;
    while (!tryLock(fd, type, at)) {
        if (Clock::now() >= deadline) return false;
        b.wait(deadline);
    }
    return true;
}

// The writer lock. A handle that finds others waiting queues behind them instead of taking the
// lock the moment it is free, so a busy writer cannot starve the others. The whole wait, queueing
// included, stays within timeoutMs.
bool lockWriter(int fd, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool othersWait = !tryLock(fd, F_WRLCK, kLockWaiting);
    if (!othersWait) unlock(fd, kLockWaiting);
    if (!othersWait && tryLock(fd, F_WRLCK, kLockWrite)) return true;
    if (!tryLock(fd, F_RDLCK, kLockWaiting)) return lockWait(fd, F_WRLCK, kLockWrite, deadline);
    if (othersWait)  // let them go first
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + std::chrono::microseconds(1000)));
    bool got = lockWait(fd, F_WRLCK, kLockWrite, deadline);
    unlock(fd, kLockWaiting);
    return got;
}

void syncFd(int fd) {
    if (g_sync && ::fdatasync(fd) != 0) failErrno("sync");
}

std::uint64_t fileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) failErrno("stat");
    return static_cast<std::uint64_t>(st.st_size);
}

std::string dirOf(const std::string& path) {
    auto s = path.rfind('/');
    return s == std::string::npos ? std::string(".") : (s == 0 ? std::string("/") : path.substr(0, s));
}

void syncDir(const std::string& path) {
    if (!g_sync) return;
    int dfd = ::open(dirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) failErrno("open directory");
    ::fsync(dfd);
    ::close(dfd);
}

std::string tmpName(const std::string& path) {
    return path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(g_tmpSeq++);
}

// Writes a whole new file under a temporary name, synced, and renames it into place.
void writeFileAtomically(const std::string& path, const void* data, std::size_t size) {
    std::string tmp = tmpName(path);
    int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) failErrno("create " + tmp);
    try {
        pwriteFull(fd, data, size, 0);
        syncFd(fd);
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        failErrno("rename " + path);
    }
}

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
const OemTables& oem() {
    static const OemTables t;
    return t;
}
void mapBytes(unsigned char* p, std::size_t n, const unsigned char* table) {
    for (std::size_t i = 0; i < n; ++i) p[i] = table[p[i]];
}
#if defined(__x86_64__)
// Thirty-two bytes at a time: lo1..hi1 move by d1, lo2..hi2 by d2, any other byte >= 0x80 goes
// through the table (returns where the fast part stopped).
template <unsigned char lo1, unsigned char hi1, int d1, unsigned char lo2, unsigned char hi2, int d2>
__attribute__((target("avx2"))) std::size_t shiftAvx2(unsigned char* p, std::size_t n, const unsigned char* table) {
    const __m256i l1 = _mm256_set1_epi8(static_cast<char>(lo1)), w1 = _mm256_set1_epi8(static_cast<char>(hi1 - lo1));
    const __m256i l2 = _mm256_set1_epi8(static_cast<char>(lo2)), w2 = _mm256_set1_epi8(static_cast<char>(hi2 - lo2));
    const __m256i s1 = _mm256_set1_epi8(static_cast<char>(d1)), s2 = _mm256_set1_epi8(static_cast<char>(d2));
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        __m256i x1 = _mm256_sub_epi8(c, l1), x2 = _mm256_sub_epi8(c, l2);
        __m256i a = _mm256_cmpeq_epi8(_mm256_min_epu8(x1, w1), x1), b = _mm256_cmpeq_epi8(_mm256_min_epu8(x2, w2), x2);
        __m256i high = _mm256_cmpgt_epi8(zero, c);
        auto rare = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_andnot_si256(_mm256_or_si256(a, b), high)));
        unsigned char keep[32];
        if (rare) _mm256_storeu_si256(reinterpret_cast<__m256i*>(keep), c);
        __m256i add = _mm256_or_si256(_mm256_and_si256(a, s1), _mm256_and_si256(b, s2));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), _mm256_add_epi8(c, add));
        for (; rare; rare &= rare - 1) {  // the few other bytes through the table
            int k = __builtin_ctz(rare);
            p[i + std::size_t(k)] = table[keep[k]];
        }
    }
    return i;
}
const bool kAvx2 = __builtin_cpu_supports("avx2");
#endif

void convertText(unsigned char* p, std::size_t n, bool toOem) {
    const OemTables& t = oem();
    const unsigned char* table = toOem ? t.toOem : t.fromOem;
    std::size_t i = 0;
#if defined(__x86_64__)
    if (t.fast && kAvx2)
        i = toOem ? shiftAvx2<0xC0, 0xEF, -0x40, 0xF0, 0xFF, -0x10>(p, n, table)
                  : shiftAvx2<0x80, 0xAF, 0x40, 0xE0, 0xEF, 0x10>(p, n, table);
#endif
    mapBytes(p + i, n - i, table);
}

// Writes the pieces one after another from `off`, as few system calls as the kernel allows.
void writeGathered(int fd, std::vector<iovec>& iov, std::uint64_t off) {
    std::size_t i = 0;
    while (i < iov.size()) {
        int n = int(std::min<std::size_t>(iov.size() - i, 512));
        std::size_t want = 0;
        for (int k = 0; k < n; ++k) want += iov[i + std::size_t(k)].iov_len;
        ssize_t r = ::pwritev(fd, iov.data() + i, n, off_t(off));
        if (r < 0 && errno != EINTR) failErrno("write");
        std::size_t done = r < 0 ? 0 : std::size_t(r);
        if (done == want) {
            off += want;
            i += std::size_t(n);
            continue;
        }
        for (int k = 0; k < n; ++k) {  // a short write: finish these pieces one by one
            const iovec& v = iov[i + std::size_t(k)];
            std::size_t skip = std::min(done, v.iov_len);
            done -= skip;
            if (skip < v.iov_len) pwriteFull(fd, static_cast<const char*>(v.iov_base) + skip, v.iov_len - skip, off + skip);
            off += v.iov_len;
        }
        i += std::size_t(n);
    }
}

std::uint32_t headerCrc(const DataHeader& h) { return fmt::crc32(&h, offsetof(DataHeader, crc)); }
std::uint32_t headerCrc(const KeyHeader& h) { return fmt::crc32(&h, offsetof(KeyHeader, crc)); }

std::string base36(int n) {
    const char* d = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return {d[(n / 36) % 36], d[n % 36]};
}

}  // namespace

void setSync(bool on) { g_sync = on; }
bool syncEnabled() { return g_sync; }
void setWaitHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> g(g_hookMutex);
    g_hook = std::move(hook);
}

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
    std::string base() const {
        std::string n = desc.name;
        auto slash = n.rfind('/');
        auto dot = n.rfind('.');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) n = n.substr(0, dot);
        return prefix() + n;
    }
    std::string prefix() const { return dir.empty() ? std::string() : dir + "/"; }
    std::string dataPath() const {
        std::string n = desc.name;
        auto slash = n.rfind('/');
        auto dot = n.rfind('.');
        bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        return prefix() + (hasExt ? n : n + ".DAT");
    }
    std::string keyPath(int k) const { return base() + ".K" + base36(k); }
    std::string journalPath() const { return base() + ".JNL"; }

    // --- records -----------------------------------------------------------------------------
    std::uint64_t slotOffset(Position p) const { return kPage + std::uint64_t(p - 1) * slotSize; }

    void toDisk(const void* record, unsigned char* slot, std::uint32_t state, std::uint32_t next) const {
        fmt::SlotPrefix sp{state, next};
        std::memcpy(slot, &sp, sizeof sp);
        unsigned char* r = slot + sizeof sp;
        std::memcpy(r, record, recSize);
        if (desc.oem)
            for (auto [off, size] : texts) convertText(r + off, size, true);
        if (state == fmt::kLive) {  // a live slot's link field holds the checksum of its record
            sp.next = fmt::crc32(r, recSize);
            std::memcpy(slot, &sp, sizeof sp);
        }
    }
    // A live slot whose record does not match its checksum (files that carry checksums).
    bool damagedSlot(const unsigned char* slot) const {
        if (!(h.flags & fmt::kSlotChecksums)) return false;
        auto sp = prefixOf(slot);
        return sp.state == fmt::kLive && sp.next != fmt::crc32(slot + sizeof sp, recSize);
    }
    void fromDisk(const unsigned char* slot, void* record) const {
        std::memcpy(record, slot + sizeof(fmt::SlotPrefix), recSize);
        if (desc.oem)
            for (auto [off, size] : texts) convertText(static_cast<unsigned char*>(record) + off, size, false);
    }
    static fmt::SlotPrefix prefixOf(const unsigned char* slot) {
        fmt::SlotPrefix sp;
        std::memcpy(&sp, slot, sizeof sp);
        return sp;
    }

    // The slot as this handle sees it (the transaction's change, else the disk).
    void readSlot(Position p, std::vector<unsigned char>& out) {
        if (p == 0 || p > h.slotCount) fail(RecordNotFound, "no record at position " + std::to_string(p));
        if (inTxn) {
            auto it = overlay.find(p);
            if (it != overlay.end()) {
                out = it->second.now;
                return;
            }
        }
        out.resize(slotSize);
        auto a = aheadValid() ? ahead.find(p) : ahead.end();
        if (a != ahead.end()) std::memcpy(out.data(), aheadBuf.data() + a->second, slotSize);
        else if (preadFull(fd, out.data(), slotSize, slotOffset(p)) != slotSize)
            fail(DataFileDamaged, "data file truncated at record " + std::to_string(p));
        auto st = prefixOf(out.data()).state;
        if ((st != fmt::kLive && st != fmt::kFree) || damagedSlot(out.data()))
            fail(DataFileDamaged, "record " + std::to_string(p) + " damaged");
    }
    // A live record in memory form.
    void readRecord(Position p, unsigned char* record) {
        readSlot(p, slotBuf);
        if (prefixOf(slotBuf.data()).state != fmt::kLive) fail(RecordNotFound, "record " + std::to_string(p) + " deleted");
        fromDisk(slotBuf.data(), record);
    }
    // Records a slot's new bytes; `disk` is what readSlot just gave for it.
    void change(Position p, std::vector<unsigned char> now, const std::vector<unsigned char>* disk) {
        auto it = overlay.find(p);
        if (it != overlay.end()) {
            it->second.now = std::move(now);
            return;
        }
        Change c{std::move(now), {}};
        if (p <= orig.slotCount) {
            if (disk) c.before = *disk;
            else {
                c.before.resize(slotSize);
                if (preadFull(fd, c.before.data(), slotSize, slotOffset(p)) != slotSize) fail(DataFileDamaged, "data file truncated");
            }
        }
        overlay.emplace(p, std::move(c));
    }

    // --- header ------------------------------------------------------------------------------
    DataHeader newHeader() const {
        DataHeader nh{};
        std::memcpy(nh.magic, fmt::kDataMagic, 8);
        nh.version = fmt::kVersion;
        nh.headerSize = kPage;
        nh.recordSize = recSize;
        nh.fieldSig = fieldSig;
        nh.flags = (desc.oem ? 1 : 0) | fmt::kSlotChecksums;
        nh.keyCount = std::uint32_t(keys.size());
        nh.crc = headerCrc(nh);
        return nh;
    }

    // Reads the header. A checksum failure is read again: a commit rewriting the header changes
    // it between two reads, a damaged header reads the same every time and fails at once. Every
    // failure here is final (seen stays unset), so a reader never waits on a damaged file.
    DataHeader readHeader() {
        DataHeader nh{}, prev{};
        seen = ~0ull;
        for (int attempt = 0;; ++attempt) {
            if (preadFull(fd, &nh, sizeof nh, 0) != sizeof nh) fail(DataFileDamaged, "data file shorter than its header");
            if (std::memcmp(nh.magic, fmt::kDataMagic, 8) != 0) fail(DataFileDamaged, "not a data file of this program");
            if (nh.crc == headerCrc(nh)) break;
            if ((attempt >= 3 && std::memcmp(&nh, &prev, sizeof nh) == 0) || attempt > 20)
                fail(DataFileDamaged, "data file header damaged");
            prev = nh;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (nh.version != fmt::kVersion || nh.headerSize != kPage) fail(DataFileDamaged, "data file of another format version");
        if (nh.recordSize != recSize) fail(BadDeclaration, "record size " + std::to_string(nh.recordSize) + " in the file, " + std::to_string(recSize) + " declared");
        if (nh.fieldSig != fieldSig) fail(BadDeclaration, "field layout differs from the file's");
        if ((nh.flags & 1) != (desc.oem ? 1u : 0u)) fail(BadDeclaration, "code page differs from the file's");
        if (nh.keyCount != keys.size()) fail(BadDeclaration, "number of keys differs from the file's");
        if (nh.recordCount > nh.slotCount || nh.freeHead > nh.slotCount) fail(DataFileDamaged, "data file header damaged");
        seen = nh.counter;
        return nh;
    }
    std::uint64_t diskCounter() {
        if (hdrMap) return __atomic_load_n(reinterpret_cast<const std::uint64_t*>(static_cast<const char*>(hdrMap) + offsetof(DataHeader, counter)), __ATOMIC_ACQUIRE);
        std::uint64_t c = 0;
        if (preadFull(fd, &c, sizeof c, offsetof(DataHeader, counter)) != sizeof c) fail(DataFileDamaged, "data file shorter than its header");
        return c;
    }
    void checkSize(const DataHeader& nh) {
        if (fileSize(fd) < kPage + std::uint64_t(nh.slotCount) * slotSize) fail(DataFileDamaged, "data file truncated");
    }

    void openKeyFiles() {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            KeyTree& t = *keys[k];
            if (t.fd >= 0) ::close(t.fd);
            t.fd = ::open(keyPath(int(k) + 1).c_str(), (fdWritable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
            if (t.fd < 0) {
                if (errno == ENOENT) fail(KeyFileRebuild, keyPath(int(k) + 1) + " missing");
                failErrno("open " + keyPath(int(k) + 1));
            }
            t.dropCache();
        }
    }
    void closeKeyFiles() {
        for (auto& t : keys) {
            if (t->fd >= 0) ::close(t->fd);
            t->fd = -1;
            t->dropCache();
        }
    }
    // Re-reads every key file header and checks that it matches the data header `nh`.
    void loadKeyHeaders(const DataHeader& nh) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            KeyTree& t = *keys[k];
            KeyHeader kh{};
            if (preadFull(t.fd, &kh, sizeof kh, 0) != sizeof kh) fail(KeyFileRebuild, keyPath(int(k) + 1) + ": key file truncated");
            std::string why = t.checkHeader(kh, fileSize(t.fd));
            if (why.empty() && (kh.counter != nh.counter || kh.keyGen != nh.keyGen)) why = "key file does not match its data file";
            if (!why.empty()) fail(KeyFileRebuild, keyPath(int(k) + 1) + ": " + why);
            t.h = t.orig = kh;
            t.dropCache();
        }
    }

    // Brings the view up to the file's current state. Called without the write lock at the start
    // of every read attempt, and with it at the start of a transaction.
    void refresh() {
        DataHeader nh = readHeader();
        if (nh.counter & 1) {
            waitForCommit();
            nh = readHeader();
            if (nh.counter & 1) fail(FileLocked, "a commit is in progress");
        }
        if (viewValid && nh.counter == h.counter && nh.keyGen == h.keyGen) {
            h = nh;
            for (auto& t : keys) t->trimCache();
            return;
        }
        checkSize(nh);
        if (!viewValid || nh.keyGen != h.keyGen) openKeyFiles();
        loadKeyHeaders(nh);
        h = nh;
        viewValid = true;
    }

    // The counter is odd: a commit is writing, or its writer died. Wait for the write lock; whoever
    // gets it with the counter still odd undoes the interrupted commit from the journal.
    void waitForCommit() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
        Backoff b;
        for (;;) {
            if ((diskCounter() & 1) == 0) return;
            if (holdsWrite) {
                recoverLocked();
                return;
            }
            if (fdWritable && tryLock(fd, F_WRLCK, kLockWrite)) {
                try {
                    recoverLocked();
                } catch (...) {
                    unlock(fd, kLockWrite);
                    throw;
                }
                unlock(fd, kLockWrite);
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) fail(FileLocked, "a commit did not finish in time");
            b.wait();
        }
    }

    // --- journal -----------------------------------------------------------------------------
    int journalFd() {
        if (jfd >= 0) return jfd;
        std::string jp = journalPath();
        jfd = ::open(jp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (jfd >= 0) {
            syncDir(jp);  // the new name must survive a power loss before the journal is relied on
            return jfd;
        }
        if (errno != EEXIST) failErrno("create " + jp);
        jfd = ::open(jp.c_str(), O_RDWR | O_CLOEXEC);
        if (jfd < 0) failErrno("open " + jp);
        return jfd;
    }

    int fileFd(std::uint32_t i) const { return i == 0 ? fd : keys[i - 1]->fd; }

    // With the write lock held: undoes an interrupted commit. A valid journal holds the original
    // bytes of everything the commit overwrote and the original file sizes.
    void recoverLocked() {
        // Every key file that exists takes part, also when this handle has not opened it yet.
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (keys[k]->fd < 0) keys[k]->fd = ::open(keyPath(int(k) + 1).c_str(), O_RDWR | O_CLOEXEC);
        std::string jp = journalPath();
        int j = ::open(jp.c_str(), O_RDWR | O_CLOEXEC);
        if (j >= 0) {
            std::vector<unsigned char> buf(fileSize(j));
            std::size_t n = buf.empty() ? 0 : preadFull(j, buf.data(), buf.size(), 0);
            buf.resize(n);
            bool applied = false;
            try {
                applied = applyJournal(buf);
            } catch (...) {
                ::close(j);
                throw;
            }
            if (applied) {
                // The restored state gets a new counter (its key files with it): counters only
                // ever grow, so a reader that read during the interrupted commit always notices.
                bumpCounter();
                syncFd(fd);
                for (auto& t : keys)
                    if (t->fd >= 0) syncFd(t->fd);
            }
            static const char zero[8] = {};
            if (n >= 8) pwriteFull(j, zero, 8, 0);
            ::close(j);
        }
        DataHeader nh{};
        if (preadFull(fd, &nh, sizeof nh, 0) == sizeof nh && nh.crc == headerCrc(nh) && (nh.counter & 1)) {
            // Odd without a journal: a BUILD stopped between writing its key files and the header.
            // The key files it did not replace no longer match and report 46.
            ++nh.counter;
            nh.crc = headerCrc(nh);
            pwriteFull(fd, &nh, sizeof nh, 0);
            syncFd(fd);
        }
        viewValid = false;
    }

    void bumpCounter() {
        DataHeader nh{};
        if (preadFull(fd, &nh, sizeof nh, 0) != sizeof nh || nh.crc != headerCrc(nh)) return;
        const std::uint64_t old = nh.counter, next = (old | 1) + 1;
        for (auto& t : keys) {
            KeyHeader kh{};
            if (t->fd < 0 || preadFull(t->fd, &kh, sizeof kh, 0) != sizeof kh || kh.crc != headerCrc(kh)) continue;
            if (kh.counter != old || kh.keyGen != nh.keyGen || kh.dirty) continue;  // stale already: stays so
            kh.counter = next;
            kh.crc = headerCrc(kh);
            pwriteFull(t->fd, &kh, sizeof kh, 0);
        }
        nh.counter = next;
        nh.crc = headerCrc(nh);
        pwriteFull(fd, &nh, sizeof nh, 0);
    }

    // Undoes (or, for a group commit past its commit point, completes) the commit a valid journal
    // belongs to. Returns true when it changed the files.
    bool applyJournal(const std::vector<unsigned char>& buf) {
        const std::size_t fixed = sizeof(fmt::JournalHeader);
        if (buf.size() < fixed) return false;
        fmt::JournalHeader jh;
        std::memcpy(&jh, buf.data(), fixed);
        if (std::memcmp(jh.magic, fmt::kJournalMagic, 8) != 0) return false;
        if (jh.version != fmt::kVersion && jh.version != fmt::kJournalVersion) return false;
        if (jh.fileCount != keys.size() + 1) return false;  // not this file's journal
        std::size_t at = fixed;
        std::string group;
        if (jh.version == fmt::kJournalVersion) {
            std::uint32_t glen = 0;
            if (buf.size() < at + 4) return false;
            std::memcpy(&glen, buf.data() + at, 4);
            if (glen > 255 || buf.size() < at + 4 + glen) return false;
            group.assign(reinterpret_cast<const char*>(buf.data()) + at + 4, glen);
            at += 4 + glen;
        }
        const std::size_t sizesAt = at;
        at += 8 * std::size_t(jh.fileCount);
        if (buf.size() < at + 4) return false;
        std::uint32_t crc;
        std::memcpy(&crc, buf.data() + at, 4);
        if (crc != fmt::crc32(buf.data(), at)) return false;
        // The commit it belongs to finished (the counter moved on): nothing to undo.
        DataHeader dh{};
        bool headerOk = preadFull(fd, &dh, sizeof dh, 0) == sizeof dh && dh.crc == headerCrc(dh);
        if (headerOk && dh.counter >= jh.counter + 2) return false;
        // A group commit whose marker lists this file at its odd counter: every file of the group
        // has its new bytes in place, so the commit is completed rather than undone.
        if (!group.empty() && headerOk && dh.counter == jh.counter + 1 && groupLists(group, dh.counter)) {
            dh.counter = jh.counter + 2;
            dh.crc = headerCrc(dh);
            pwriteFull(fd, &dh, sizeof dh, 0);
            syncFd(fd);
            dropGroupWhenDone(group);
            return false;
        }
        std::vector<std::uint64_t> sizes(jh.fileCount);
        std::memcpy(sizes.data(), buf.data() + sizesAt, 8 * sizes.size());
        at += 4;
        // Entries whose checksum holds are original bytes; a torn tail was never applied.
        while (at + 16 <= buf.size()) {
            std::uint32_t file, len;
            std::uint64_t off;
            std::memcpy(&file, buf.data() + at, 4);
            std::memcpy(&len, buf.data() + at + 4, 4);
            std::memcpy(&off, buf.data() + at + 8, 8);
            if (file == 0xFFFFFFFF || file >= jh.fileCount || len > buf.size() - at - 16 - 4 + 0) break;
            if (at + 16 + len + 4 > buf.size()) break;
            std::memcpy(&crc, buf.data() + at + 16 + len, 4);
            if (crc != fmt::crc32(buf.data() + at, 16 + std::size_t(len))) break;
            if (fileFd(file) >= 0) pwriteFull(fileFd(file), buf.data() + at + 16, len, off);
            at += 16 + std::size_t(len) + 4;
        }
        for (std::uint32_t i = 0; i < jh.fileCount; ++i) {
            // No file goes below its header (the data file's header page stays mapped).
            std::uint64_t size = std::max<std::uint64_t>(sizes[i], i == 0 ? kPage : 2 * kPage);
            if (fileFd(i) >= 0 && fileSize(fileFd(i)) > size && ::ftruncate(fileFd(i), off_t(size)) != 0)
                failErrno("truncate");
        }
        return true;
    }

    // --- group markers -----------------------------------------------------------------------
    std::string dataName() const {
        std::string p = dataPath();
        auto slash = p.rfind('/');
        return slash == std::string::npos ? p : p.substr(slash + 1);
    }
    // The files a group marker lists with their odd counters; empty when missing or damaged.
    std::vector<std::pair<std::string, std::uint64_t>> readGroup(const std::string& group) const {
        std::vector<std::pair<std::string, std::uint64_t>> out;
        int g = ::open((prefix() + group).c_str(), O_RDONLY | O_CLOEXEC);
        if (g < 0) return out;
        std::vector<unsigned char> b(std::min<std::uint64_t>(fileSize(g), 1u << 16));
        std::size_t n = b.empty() ? 0 : preadFull(g, b.data(), b.size(), 0);
        ::close(g);
        b.resize(n);
        std::uint32_t count = 0, crc = 0;
        if (n < 16 || std::memcmp(b.data(), fmt::kGroupMagic, 8) != 0) return out;
        std::memcpy(&crc, b.data() + n - 4, 4);
        if (crc != fmt::crc32(b.data(), n - 4)) return out;
        std::memcpy(&count, b.data() + 8, 4);
        std::size_t at = 12;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint16_t len = 0;
            std::uint64_t c = 0;
            if (at + 2 > n - 4) return {};
            std::memcpy(&len, b.data() + at, 2);
            if (at + 2 + len + 8 > n - 4) return {};
            std::string name(reinterpret_cast<const char*>(b.data()) + at + 2, len);
            std::memcpy(&c, b.data() + at + 2 + len, 8);
            out.emplace_back(std::move(name), c);
            at += 2 + std::size_t(len) + 8;
        }
        return out;
    }
    bool groupLists(const std::string& group, std::uint64_t counter) const {
        for (auto& [name, c] : readGroup(group))
            if (name == dataName() && c == counter) return true;
        return false;
    }
    // Removes a group marker once none of its files still waits at its odd counter.
    void dropGroupWhenDone(const std::string& group) const {
        for (auto& [name, c] : readGroup(group)) {
            int f = ::open((prefix() + name).c_str(), O_RDONLY | O_CLOEXEC);
            if (f < 0) continue;
            DataHeader dh{};
            bool pending = preadFull(f, &dh, sizeof dh, 0) == sizeof dh && dh.crc == headerCrc(dh) && dh.counter == c;
            ::close(f);
            if (pending) return;
        }
        ::unlink((prefix() + group).c_str());
    }

    // --- transactions ------------------------------------------------------------------------
    void beginTxn(int timeoutMs) {
        if (!lockWriter(fd, timeoutMs))
            fail(FileLocked, "another writer holds " + dataPath());
        holdsWrite = true;
        try {
            refresh();  // an odd counter (a writer died mid-commit) is undone from the journal here
        } catch (...) {
            releaseWrite();
            throw;
        }
        orig = h;
        for (auto& t : keys) t->orig = t->h;
        overlay.clear();
        inTxn = true;
        txnFailed = false;
    }
    bool journalValid() {
        int j = ::open(journalPath().c_str(), O_RDONLY | O_CLOEXEC);
        if (j < 0) return false;
        char m[8] = {};
        bool ok = preadFull(j, m, 8, 0) == 8 && std::memcmp(m, fmt::kJournalMagic, 8) == 0;
        ::close(j);
        return ok;
    }
    void releaseWrite() {
        if (holdsWrite) unlock(fd, kLockWrite);
        holdsWrite = false;
    }
    void rollbackTxn() {
        overlay.clear();
        h = orig;
        for (auto& t : keys) {
            t->h = t->orig;
            t->dropCache();
        }
        inTxn = explicitTxn = txnFailed = false;
        releaseWrite();
    }

    void commitTxn() {
        if (!hasChanges()) {
            inTxn = explicitTxn = false;
            releaseWrite();
            return;
        }
        try {
            writeCommit();
        } catch (...) {
            // Whatever reached the files is undone from the journal while the lock is still ours.
            try {
                recoverLocked();
            } catch (...) {
            }
            rollbackTxn();
            viewValid = false;
            throw;
        }
        endCommitted();
    }

    // A commit in three phases: the journal, the new bytes in place (the change counter odd), the
    // counter made even with the journal invalidated. A commit of this file alone runs them one
    // after another; a group commit (commitGroup) runs each phase on every file of the group first.
    void writeCommit() {
        writeJournal({});
        writeInPlace(false);
        invalidateJournal();
    }

    bool hasChanges() const {
        bool changed = std::memcmp(&h, &orig, sizeof h) != 0 || !overlay.empty();
        for (auto& t : keys) changed = changed || t->changed();
        return changed;
    }

    void invalidateJournal() {
        static const char zero[8] = {};
        pwriteFull(journalFd(), zero, 8, 0);
    }

    // 1. The journal; `group` names the group marker of a group commit.
    void writeJournal(const std::string& group) {
        // 1. The journal: original sizes, then the original bytes of every region to be overwritten.
        // The originals are what this handle read at the start of the transaction or when it
        // first changed a slot or page (the write lock was held all along, so the disk agrees);
        // they are written from where they lie, with only the small entry heads gathered here.
        std::size_t entries = 1;
        for (auto& [p, c] : overlay) entries += !c.before.empty();
        for (auto& t : keys) entries += 1 + t->originals().size();
        std::vector<unsigned char> j;
        j.reserve(sizeof(fmt::JournalHeader) + 4 + group.size() + 8 * (keys.size() + 1) + 4 + 20 * entries + 4);  // iov points into j: no reallocation
        std::vector<iovec> iov;
        iov.reserve(3 * entries + 2);
        auto put = [&j](const void* p, std::size_t n) {
            auto c = static_cast<const unsigned char*>(p);
            j.insert(j.end(), c, c + n);
        };
        fmt::JournalHeader jh{};
        std::memcpy(jh.magic, fmt::kJournalMagic, 8);
        jh.version = fmt::kJournalVersion;
        jh.fileCount = std::uint32_t(keys.size() + 1);
        jh.counter = orig.counter;
        put(&jh, sizeof jh);
        std::uint32_t glen = std::uint32_t(group.size());
        put(&glen, 4);
        put(group.data(), group.size());
        std::uint64_t size0 = kPage + std::uint64_t(orig.slotCount) * slotSize;
        put(&size0, 8);
        for (auto& t : keys) {
            std::uint64_t sz = std::uint64_t(t->orig.pageCount) * kPage;
            put(&sz, 8);
        }
        std::uint32_t crc = fmt::crc32(j.data(), j.size());
        put(&crc, 4);
        iov.push_back({j.data(), j.size()});
        auto entry = [&](std::uint32_t file, std::uint64_t off, const void* bytes, std::uint32_t len) {
            std::size_t at = j.size();
            put(&file, 4);
            put(&len, 4);
            put(&off, 8);
            std::uint32_t c = fmt::crc32(bytes, len, fmt::crc32(j.data() + at, 16));
            put(&c, 4);
            iov.push_back({j.data() + at, 16});
            iov.push_back({const_cast<void*>(bytes), len});
            iov.push_back({j.data() + at + 16, 4});
        };
        entry(0, 0, &orig, sizeof(DataHeader));
        for (auto& [p, c] : overlay)
            if (!c.before.empty()) entry(0, slotOffset(p), c.before.data(), slotSize);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            KeyTree& t = *keys[k];
            entry(std::uint32_t(k + 1), 0, &t.orig, sizeof(KeyHeader));
            for (auto& [no, page] : t.originals()) entry(std::uint32_t(k + 1), std::uint64_t(no) * kPage, page->b, kPage);
        }
        std::size_t at = j.size();
        std::uint32_t end = 0xFFFFFFFF;
        put(&end, 4);
        iov.push_back({j.data() + at, 4});
        int jf = journalFd();
        writeGathered(jf, iov, 0);
        syncFd(jf);
    }

    // 2. In place, with the counter odd so that readers wait and a crash is recognised. With
    // keepOdd the data header keeps the odd counter (a group commit makes it even later).
    void writeInPlace(bool keepOdd) {
        const std::uint64_t next = orig.counter + 2;
        DataHeader hw = h;
        hw.counter = orig.counter + 1;
        hw.crc = headerCrc(hw);
        pwriteFull(fd, &hw, sizeof hw, 0);
        for (auto& t : keys) {
            if (!t->changed()) continue;
            KeyHeader kw = t->orig;
            kw.dirty = 1;
            kw.crc = headerCrc(kw);
            pwriteFull(t->fd, &kw, sizeof kw, 0);
        }
        std::vector<unsigned char> run;
        for (auto it = overlay.begin(); it != overlay.end();) {
            Position first = it->first, last = first;
            auto jt = std::next(it);
            if (jt == overlay.end() || jt->first != last + 1) {  // a single slot: no copy
                pwriteFull(fd, it->second.now.data(), slotSize, slotOffset(first));
                it = jt;
                continue;
            }
            run.assign(it->second.now.begin(), it->second.now.end());
            while (jt != overlay.end() && jt->first == last + 1 && run.size() < (1u << 20)) {
                run.insert(run.end(), jt->second.now.begin(), jt->second.now.end());
                last = (jt++)->first;
            }
            pwriteFull(fd, run.data(), run.size(), slotOffset(first));
            it = jt;
        }
        for (auto& t : keys) {
            std::vector<std::uint32_t> pages(t->dirtyPages().begin(), t->dirtyPages().end());
            std::sort(pages.begin(), pages.end());
            for (std::uint32_t no : pages) {
                Page& p = t->cached(no);
                t->sealPage(p);
                pwriteFull(t->fd, p.b, kPage, std::uint64_t(no) * kPage);
            }
            t->h.counter = next;
            t->h.keyGen = h.keyGen;
            t->h.dirty = 0;
            t->h.crc = headerCrc(t->h);
            pwriteFull(t->fd, &t->h, sizeof t->h, 0);
        }
        h.counter = keepOdd ? orig.counter + 1 : next;
        h.crc = headerCrc(h);
        pwriteFull(fd, &h, sizeof h, 0);
        syncAll();
    }

    // 3. Of a group commit, after its marker is written: the counter even, the journal invalid.
    void finishInPlace() {
        h.counter = orig.counter + 2;
        h.crc = headerCrc(h);
        pwriteFull(fd, &h, sizeof h, 0);
        syncFd(fd);
        invalidateJournal();
    }
    // The transaction's state once its changes are on disk.
    void endCommitted() {
        overlay.clear();
        for (auto& t : keys) {
            t->markClean();
            t->orig = t->h;
        }
        orig = h;
        inTxn = explicitTxn = false;
        releaseWrite();
    }

    // Syncs the data file and every key file; the key files on threads of their own, since the
    // waits for the disk overlap.
    void syncAll() {
        if (!g_sync) return;
        std::vector<int> errs(keys.size(), 0);
        std::vector<std::thread> workers;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            int kfd = keys[k]->fd;
            try {
                workers.emplace_back([kfd, &errs, k] { errs[k] = ::fdatasync(kfd) ? errno : 0; });
            } catch (const std::system_error&) {
                errs[k] = ::fdatasync(kfd) ? errno : 0;
            }
        }
        int e0 = ::fdatasync(fd) ? errno : 0;
        for (auto& w : workers) w.join();
        for (int e : errs) e0 = e0 ? e0 : e;
        if (e0) {
            errno = e0;
            failErrno("sync");
        }
    }

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
    // Keys are made from the text as it comes back from the disk: in an OEM file a character
    // that 866 lacks is stored as a look-alike, and the key must match what BUILD sees.
    bool encodeKey(const KeyTree& t, const unsigned char* record, unsigned char* out) const {
        if (!desc.oem) return t.codec().encode(record, out);
        bool text = false;
        for (const auto& part : t.codec().parts()) text = text || part.type == FieldType::String;
        if (!text) return t.codec().encode(record, out);
        auto& v = const_cast<std::vector<unsigned char>&>(keyScratch);
        v.resize(recSize);
        for (const auto& part : t.codec().parts()) {
            std::memcpy(v.data() + part.offset, record + part.offset, part.size);
            if (part.type == FieldType::String) {
                mapBytes(v.data() + part.offset, part.size, oem().toOem);
                mapBytes(v.data() + part.offset, part.size, oem().fromOem);
            }
        }
        return t.codec().encode(v.data(), out);
    }
    Keys encodeAll(const unsigned char* record, Position p) const {
        Keys k;
        for (auto& t : keys) {
            std::vector<unsigned char> e(t->entryLen());
            bool in = encodeKey(*t, record, e.data());
            KeyTree::putPos(e.data() + t->keyLen(), p);
            k.enc.push_back(std::move(e));
            k.present.push_back(in);
        }
        return k;
    }

    void doAdd(unsigned char* record) {
        std::vector<unsigned char> rec(record, record + recSize);
        for (auto& t : keys) {
            if (!t->desc().autoNumber || t->codec().number(rec.data()) != 0) continue;
            long long highest = 0;
            std::vector<unsigned char> e(t->entryLen()), other(recSize);
            if (t->lastEntry(e.data())) {
                readRecord(t->posOf(e.data()), other.data());
                highest = std::max(0LL, t->codec().number(other.data()));
            }
            if (!t->codec().setNumber(rec.data(), highest + 1))
                fail(AutoNumberFailed, "the number after " + std::to_string(highest) + " does not fit " + t->desc().name);
        }
        Keys k = encodeAll(rec.data(), 0);
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (k.present[i] && keys[i]->desc().unique && keys[i]->hasKey(k.enc[i].data(), 0)) fail(DuplicateKey, keys[i]->desc().name);
        Position p;
        const std::vector<unsigned char>* disk = nullptr;
        if (h.freeHead) {
            p = h.freeHead;
            readSlot(p, slotBuf);
            auto sp = prefixOf(slotBuf.data());
            if (sp.state != fmt::kFree || sp.next > h.slotCount) fail(DataFileDamaged, "list of free records damaged");
            h.freeHead = sp.next;
            disk = &slotBuf;
        } else {
            if (h.slotCount == 0xFFFFFFF0u) fail(AccessDenied, "data file full");
            p = ++h.slotCount;
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (!k.present[i]) continue;
            KeyTree::putPos(k.enc[i].data() + keys[i]->keyLen(), p);
            keys[i]->insert(k.enc[i].data());
        }
        std::vector<unsigned char> slot(slotSize);
        toDisk(rec.data(), slot.data(), fmt::kLive, 0);
        change(p, std::move(slot), disk);
        ++h.recordCount;
        std::memcpy(record, rec.data(), recSize);
        pos = p;
    }

    void doPut(Position p, const unsigned char* record) {
        std::vector<unsigned char> old(recSize);
        readRecord(p, old.data());
        Keys ko = encodeAll(old.data(), p), kn = encodeAll(record, p);
        std::vector<bool> changed(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            changed[i] = ko.present[i] != kn.present[i] || (kn.present[i] && ko.enc[i] != kn.enc[i]);
            if (changed[i] && kn.present[i] && keys[i]->desc().unique && keys[i]->hasKey(kn.enc[i].data(), p))
                fail(DuplicateKey, keys[i]->desc().name);
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (!changed[i]) continue;
            if (ko.present[i]) keys[i]->erase(ko.enc[i].data());
            if (kn.present[i]) keys[i]->insert(kn.enc[i].data());
        }
        std::vector<unsigned char> slot(slotSize);
        toDisk(record, slot.data(), fmt::kLive, 0);
        change(p, std::move(slot), &slotBuf);
        pos = p;
    }

    void doRemove(Position p) {
        std::vector<unsigned char> old(recSize);
        readRecord(p, old.data());
        Keys ko = encodeAll(old.data(), p);
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (ko.present[i]) keys[i]->erase(ko.enc[i].data());
        std::vector<unsigned char> slot(slotSize, 0);
        fmt::SlotPrefix sp{fmt::kFree, h.freeHead};
        std::memcpy(slot.data(), &sp, sizeof sp);
        change(p, std::move(slot), &slotBuf);
        h.freeHead = p;
        --h.recordCount;
        pos = p;
    }

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

    KeyTree& key(int k) {
        if (k < 1 || std::size_t(k) > keys.size()) fail(RecordNotFound, "no key " + std::to_string(k));
        return *keys[std::size_t(k) - 1];
    }

    // The record an entry names, in memory form; it lies in slotBuf until the next slot read.
    const unsigned char* fetchEntry(KeyTree& t, const unsigned char* e) {
        Position p = t.posOf(e);
        readSlot(p, slotBuf);
        if (prefixOf(slotBuf.data()).state != fmt::kLive) fail(KeyFileRebuild, "key " + t.desc().name + " names a deleted record");
        unsigned char* r = slotBuf.data() + sizeof(fmt::SlotPrefix);
        if (desc.oem)
            for (auto [off, size] : texts) convertText(r + off, size, false);
        return r;
    }

    // Quick scan: the slots of the records a sequence will read next, read ahead in a few large
    // reads. Valid for the view (change counter) they were read under.
    void prefetch(std::vector<Position> ps) {
        std::sort(ps.begin(), ps.end());
        ps.erase(std::unique(ps.begin(), ps.end()), ps.end());
        ahead.clear();
        aheadBuf.resize(ps.size() * slotSize);
        std::size_t i = 0;
        while (i < ps.size()) {
            std::size_t j = i + 1;
            while (j < ps.size() && ps[j] == ps[j - 1] + 1) ++j;
            std::size_t bytes = (j - i) * slotSize;
            if (preadFull(fd, aheadBuf.data() + i * slotSize, bytes, slotOffset(ps[i])) != bytes)
                fail(DataFileDamaged, "data file truncated at record " + std::to_string(ps[i]));
            for (std::size_t k = i; k < j; ++k) ahead.emplace(ps[k], k * slotSize);
            i = j;
        }
        aheadCounter = h.counter;
    }
    bool aheadValid() const { return quick && !inTxn && viewValid && aheadCounter == h.counter; }
    static constexpr std::size_t kAheadBytes = 1u << 20;
    std::size_t aheadCount() const { return std::max<std::size_t>(8, kAheadBytes / slotSize); }

    void step(bool forward, void* record) {
        auto out = static_cast<unsigned char*>(record);
        if (seqKey == 0) {
            if (forward && fileEnd) fail(NoMoreRecords);
            Position found = 0, bad = 0;
            std::vector<unsigned char> rec(recSize);
            readOp([&] {
                found = bad = 0;
                std::vector<unsigned char> s;
                auto look = [&](Position p) {
                    try {
                        readSlot(p, s);
                    } catch (const Fail& f) {
                        if (f.code != DataFileDamaged) throw;
                        bad = p;  // reported by its position; the next step goes on past it
                        return true;
                    }
                    if (prefixOf(s.data()).state == fmt::kLive) found = p;
                    return found != 0;
                };
                if (forward) {
                    Position p = filePos + 1;
                    if (quick && p <= h.slotCount && !(aheadValid() && ahead.count(p))) {
                        std::vector<Position> ps;
                        for (Position q = p; q <= h.slotCount && ps.size() < aheadCount(); ++q) ps.push_back(q);
                        prefetch(std::move(ps));
                    }
                    for (; p <= h.slotCount; ++p)
                        if (look(p)) break;
                } else {
                    for (Position p = fileEnd ? h.slotCount : (filePos ? filePos - 1 : 0); p >= 1; --p)
                        if (look(p)) break;
                }
                if (found) fromDisk(s.data(), rec.data());
            });
            if (bad) {
                filePos = pos = bad;
                fileEnd = false;
                fail(DataFileDamaged, "record " + std::to_string(bad) + " damaged");
            }
            if (!found) {
                if (forward) fileEnd = true;
                else filePos = 0, fileEnd = false;
                fail(NoMoreRecords);
            }
            std::memcpy(out, rec.data(), recSize);
            filePos = pos = found;
            fileEnd = false;
            return;
        }
        KeyTree& t = key(seqKey);
        if (forward && curEnd) fail(NoMoreRecords);
        std::vector<unsigned char>& e = entryBuf;
        e.resize(t.entryLen());
        bool found = false;
        const unsigned char* rec = nullptr;
        try {
            readOp([&] {
                if (forward) found = t.firstAtLeast(cur.data(), !curInclusive, e.data());
                else found = curEnd ? t.lastEntry(e.data()) : t.lastBelow(cur.data(), e.data());
                if (found && forward && quick && !(aheadValid() && ahead.count(t.posOf(e.data())))) {
                    std::vector<Position> ps{t.posOf(e.data())};
                    std::vector<unsigned char> x(e), y(e.size());
                    while (ps.size() < aheadCount() && t.firstAtLeast(x.data(), true, y.data())) {
                        ps.push_back(t.posOf(y.data()));
                        x.swap(y);
                    }
                    prefetch(std::move(ps));
                }
                if (found) rec = fetchEntry(t, e.data());
            });
        } catch (const Fail& f) {
            if (f.code == DataFileDamaged && found) {  // the next step goes on past the damaged record
                cur.assign(e.begin(), e.end());
                curInclusive = false;
                curEnd = false;
                pos = t.posOf(e.data());
            }
            throw;
        }
        if (!found) {
            if (forward) curEnd = true;
            else cur.assign(t.entryLen(), 0), curInclusive = true, curEnd = false;
            fail(NoMoreRecords);
        }
        std::memcpy(out, rec, recSize);
        cur.assign(e.begin(), e.end());
        curInclusive = false;
        curEnd = false;
        pos = t.posOf(e.data());
    }

    // --- open, create, build -----------------------------------------------------------------
    void openFiles(int openMode, bool checkKeys) {
        try {
            openFilesOrThrow(openMode, checkKeys);
        } catch (...) {
            closeFiles();
            throw;
        }
    }
    void openFilesOrThrow(int openMode, bool checkKeys) {
        closeFiles();
        if (!declError.empty()) fail(BadDeclaration, declError);
        int access = openMode & 0x0F;
        share = openMode & 0xF0;
        bool wantWrite = access != 0;
        std::string dp = dataPath();
        fd = ::open(dp.c_str(), O_RDWR | O_CLOEXEC);
        fdWritable = fd >= 0;
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM) && !wantWrite) fd = ::open(dp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT) fail(FileNotFound, dp);
            if (errno == EACCES || errno == EROFS || errno == EPERM) fail(AccessDenied, dp);
            failErrno("open " + dp);
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) fail(DataFileDamaged, dp + " is not a regular file");
        if (st.st_size >= off_t(kPage)) {  // the driver never makes a data file shorter than its header page
            hdrMap = ::mmap(nullptr, kPage, PROT_READ, MAP_SHARED, fd, 0);
            if (hdrMap == MAP_FAILED) hdrMap = nullptr;
        }
        bool ok;
        if (share == 0x10 || share == 0x30) ok = tryLock(fd, F_WRLCK, kLockOpen) && tryLock(fd, F_WRLCK, kLockWriters);
        else if (share == 0x20) ok = tryLock(fd, F_RDLCK, kLockOpen) && tryLock(fd, F_WRLCK, kLockWriters);
        else ok = tryLock(fd, F_RDLCK, kLockOpen) && (!wantWrite || tryLock(fd, F_RDLCK, kLockWriters));
        if (!ok) fail(AccessDenied, dp + " is in use by another program");
        writable = wantWrite;
        if (fdWritable && journalValid() && tryLock(fd, F_WRLCK, kLockWrite)) {
            try {
                recoverLocked();
            } catch (...) {
                unlock(fd, kLockWrite);
                throw;
            }
            unlock(fd, kLockWrite);
        }
        if (wantWrite && fdWritable) addChecksums();
        viewValid = false;
        if (checkKeys) {
            opened = true;  // readOp needs it; cleared again by the caller on failure
            readOp([&] {
                for (std::size_t k = 0; k < keys.size(); ++k) {
                    try {
                        keys[k]->checkAll();
                    } catch (const Fail& e) {
                        if (e.code != KeyFileRebuild) throw;
                        fail(KeyFileRebuild, keyPath(int(k) + 1) + ": " + e.detail);
                    }
                }
            });
        } else {
            h = readHeader();
            checkSize(h);
            if (h.counter & 1) {
                waitForCommit();
                h = readHeader();
            }
        }
        opened = true;
        pos = 0;
        seqKey = 0;
        filePos = 0;
        fileEnd = false;
    }

    // A data file written before records carried checksums gets them on its first open for
    // writing: each live slot's link field (unused in a live slot) takes its record's checksum,
    // then the header says so. Cut short, it is simply done again; until then nothing is checked.
    // Opened for reading only, such a file is read as it is.
    void addChecksums() {
        DataHeader nh = readHeader();
        if (nh.flags & fmt::kSlotChecksums) return;
        if (!lockWriter(fd, kWriteTimeoutMs)) return;  // busy: the next open does it
        holdsWrite = true;
        try {
            nh = readHeader();
            if (!(nh.flags & fmt::kSlotChecksums) && !(nh.counter & 1)) {
                checkSize(nh);
                std::vector<unsigned char> buf;
                const Position chunk = std::max<Position>(1, (1u << 20) / slotSize);
                for (Position from = 1; from <= nh.slotCount; from += chunk) {
                    Position cnt = std::min<Position>(chunk, nh.slotCount - from + 1);
                    buf.resize(std::size_t(cnt) * slotSize);
                    if (preadFull(fd, buf.data(), buf.size(), slotOffset(from)) != buf.size()) fail(DataFileDamaged, "data file truncated");
                    for (Position i = 0; i < cnt; ++i) {
                        unsigned char* sl = buf.data() + std::size_t(i) * slotSize;
                        fmt::SlotPrefix sp = prefixOf(sl);
                        if (sp.state != fmt::kLive) continue;
                        sp.next = fmt::crc32(sl + sizeof sp, recSize);
                        std::memcpy(sl, &sp, sizeof sp);
                    }
                    pwriteFull(fd, buf.data(), buf.size(), slotOffset(from));
                }
                syncFd(fd);
                nh.flags |= fmt::kSlotChecksums;
                nh.crc = headerCrc(nh);
                pwriteFull(fd, &nh, sizeof nh, 0);
                syncFd(fd);
            }
        } catch (...) {
            releaseWrite();
            throw;
        }
        releaseWrite();
    }

    void closeFiles() {
        if (inTxn) rollbackTxn();
        releaseWrite();
        closeKeyFiles();
        if (jfd >= 0) ::close(jfd);
        if (hdrMap) ::munmap(hdrMap, kPage);
        hdrMap = nullptr;
        if (fd >= 0) ::close(fd);  // drops every lock of this handle
        jfd = fd = -1;
        opened = writable = fdWritable = viewValid = false;
        overlay.clear();
    }

    void doCreate() {
        if (!declError.empty()) fail(BadDeclaration, declError);
        std::string dp = dataPath();
        struct stat st {};
        if (::stat(dp.c_str(), &st) == 0) return;
        // Creators of one directory take turns, so two first users do not both create.
        int dfd = ::open(dirOf(dp).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dfd < 0) {
            if (errno == ENOENT) fail(FileNotFound, dirOf(dp));
            failErrno("open " + dirOf(dp));
        }
        struct Unlock {
            int fd;
            ~Unlock() { ::flock(fd, LOCK_UN), ::close(fd); }
        } guard{dfd};
        while (::flock(dfd, LOCK_EX) != 0)
            if (errno != EINTR) failErrno("lock " + dirOf(dp));
        if (::stat(dp.c_str(), &st) == 0) return;
        // Key files first: a data file is never seen without them.
        for (std::size_t k = 0; k < keys.size(); ++k) {
            std::vector<unsigned char> img(2 * kPage, 0);
            KeyHeader kh = keys[k]->emptyHeader(0, 0);
            kh.crc = headerCrc(kh);
            std::memcpy(img.data(), &kh, sizeof kh);
            Page& leaf = *reinterpret_cast<Page*>(img.data() + kPage);
            leaf.b[4] = fmt::kLeaf;
            keys[k]->sealPage(leaf);
            writeFileAtomically(keyPath(int(k) + 1), img.data(), img.size());
        }
        std::vector<unsigned char> img(kPage, 0);
        DataHeader nh = newHeader();
        std::memcpy(img.data(), &nh, sizeof nh);
        writeFileAtomically(dp, img.data(), img.size());
        syncDir(dp);
    }

    void doBuild() {
        bool wasOpen = opened;
        if (!wasOpen) openFiles(mode::DenyWrite, false);
        try {
            // A closed handle opens denying other writers; a handle already open for writing
            // rebuilds under the write lock, and the other handles take the new key files at
            // their next read (the key generation changes).
            if (share != 0x10 && share != 0x20 && share != 0x30 && !(wasOpen && writable))
                fail(AccessDenied, "BUILD needs the file opened denying other writers");
            if (inTxn) fail(TransactionError, "BUILD inside a transaction");
            beginBuild();
            try {
                rebuild();
            } catch (...) {
                releaseWrite();
                throw;
            }
            releaseWrite();
        } catch (...) {
            if (!wasOpen) closeFiles();
            throw;
        }
        if (!wasOpen) closeFiles();
    }

    void beginBuild() {
        if (!lockWriter(fd, kWriteTimeoutMs)) fail(FileLocked, "another writer holds " + dataPath());
        holdsWrite = true;
        if (journalValid() || (diskCounter() & 1)) recoverLocked();
        h = readHeader();
        checkSize(h);
    }

    // BUILD's scan of the slots first..last: the entries of every key, the free slots and the
    // live count, in position order.
    struct ScanPart {
        std::vector<std::vector<unsigned char>> entries;
        std::vector<std::size_t> counts;
        std::vector<Position> freeSlots;
        std::uint32_t live = 0;
    };
    void scanSlots(Position first, Position last, ScanPart& out) {
        const std::size_t n = keys.size();
        out.entries.resize(n);
        out.counts.assign(n, 0);
        std::vector<unsigned char> rec(recSize);
        auto take = [&](Position p, const unsigned char* s) {
            auto sp = prefixOf(s);
            if (sp.state == fmt::kFree) {
                out.freeSlots.push_back(p);
                return;
            }
            if (sp.state != fmt::kLive) fail(DataFileDamaged, "record slot " + std::to_string(p) + " damaged");
            ++out.live;
            // Only the key fields need the memory form.
            const unsigned char* r = s + sizeof(fmt::SlotPrefix);
            for (std::size_t k = 0; k < n; ++k) {
                KeyTree& t = *keys[k];
                for (const auto& part : t.codec().parts()) {
                    std::memcpy(rec.data() + part.offset, r + part.offset, part.size);
                    if (desc.oem && part.type == FieldType::String) convertText(rec.data() + part.offset, part.size, false);
                }
                auto& v = out.entries[k];
                v.resize(v.size() + t.entryLen());
                unsigned char* e = v.data() + v.size() - t.entryLen();
                if (!t.codec().encode(rec.data(), e)) {
                    v.resize(v.size() - t.entryLen());
                    continue;
                }
                KeyTree::putPos(e + t.keyLen(), p);
                ++out.counts[k];
            }
        };
        for (std::size_t k = 0; k < n; ++k) out.entries[k].reserve(std::size_t(last - first + 1) * keys[k]->entryLen());
        // Where the key fields are a small head of a long record, read only that head of each slot.
        std::uint32_t keyEnd = 0;
        for (auto& t : keys)
            for (const auto& part : t->codec().parts()) keyEnd = std::max<std::uint32_t>(keyEnd, part.offset + part.size);
        const std::uint32_t head = std::uint32_t(sizeof(fmt::SlotPrefix)) + keyEnd;
        std::vector<unsigned char> buf;
        if (head * 3 < slotSize) {
            buf.resize(head);
            for (Position p = first; p <= last; ++p) {
                if (preadFull(fd, buf.data(), head, slotOffset(p)) != head) fail(DataFileDamaged, "data file truncated");
                take(p, buf.data());
            }
        } else {
            const Position chunk = std::max<Position>(1, (4u << 20) / slotSize);
            for (Position from = first; from <= last; from += chunk) {
                Position cnt = std::min<Position>(chunk, last - from + 1);
                buf.resize(std::size_t(cnt) * slotSize);
                if (preadFull(fd, buf.data(), buf.size(), slotOffset(from)) != buf.size()) fail(DataFileDamaged, "data file truncated");
                for (Position i = 0; i < cnt; ++i) take(from + i, buf.data() + std::size_t(i) * slotSize);
            }
        }
    }

    void rebuild() {
        const std::size_t n = keys.size();
        ScanPart scan;
        scanSlots(1, h.slotCount, scan);
        std::vector<std::vector<unsigned char>>& entries = scan.entries;
        const std::vector<std::size_t>& counts = scan.counts;
        const std::vector<Position>& freeSlots = scan.freeSlots;
        const std::uint32_t live = scan.live;
        const std::uint64_t next = h.counter + 2, gen = h.keyGen + 1;
        std::vector<std::string> tmps;
        for (std::size_t k = 0; k < n; ++k) tmps.push_back(tmpName(keyPath(int(k) + 1)));
        auto cleanup = [&] {
            for (auto& t : tmps) ::unlink(t.c_str());
        };
        // Sorts one key's entries and writes its new file under the temporary name.
        auto makeKey = [&](std::size_t k) {
            KeyTree& t = *keys[k];
            const std::size_t E = t.entryLen();
            std::vector<const unsigned char*> ptr(counts[k]);
            for (std::size_t i = 0; i < counts[k]; ++i) ptr[i] = entries[k].data() + i * E;
            // Entries were made in position order, so a stable sort on the key alone gives equal
            // keys in record order without comparing the positions.
            const std::size_t K = t.keyLen();
            std::stable_sort(ptr.begin(), ptr.end(), [K](const unsigned char* a, const unsigned char* b) { return std::memcmp(a, b, K) < 0; });
            if (t.desc().unique)
                for (std::size_t i = 1; i < counts[k]; ++i)
                    if (std::memcmp(ptr[i], ptr[i - 1], K) == 0)
                        fail(DuplicateKey, t.desc().name + ": records " + std::to_string(t.posOf(ptr[i - 1])) + " and " + std::to_string(t.posOf(ptr[i])));
            std::vector<unsigned char> img = t.bulkImage(ptr, next, gen);
            std::vector<unsigned char>().swap(entries[k]);
            int tfd = ::open(tmps[k].c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (tfd < 0) failErrno("create " + tmps[k]);
            try {
                pwriteFull(tfd, img.data(), img.size(), 0);
                syncFd(tfd);
            } catch (...) {
                ::close(tfd);
                throw;
            }
            ::close(tfd);
        };
        try {
            // One thread per further key: sorting and writing the keys overlap.
            std::vector<std::exception_ptr> errors(n);
            std::vector<std::thread> workers;
            auto guarded = [&](std::size_t k) {
                try {
                    makeKey(k);
                } catch (...) {
                    errors[k] = std::current_exception();
                }
            };
            for (std::size_t k = 1; k < n; ++k) {
                try {
                    workers.emplace_back(guarded, k);
                } catch (const std::system_error&) {
                    guarded(k);  // no thread to be had: do it here
                }
            }
            if (n) guarded(0);
            for (auto& w : workers) w.join();
            for (auto& e : errors)
                if (e) std::rethrow_exception(e);
            // The free list is rebuilt from the slots, lowest position first.
            for (std::size_t i = 0; i < freeSlots.size(); ++i) {
                fmt::SlotPrefix sp{fmt::kFree, i + 1 < freeSlots.size() ? freeSlots[i + 1] : 0};
                pwriteFull(fd, &sp, sizeof sp, slotOffset(freeSlots[i]));
            }
            DataHeader hw = h;
            hw.counter = h.counter + 1;
            hw.crc = headerCrc(hw);
            pwriteFull(fd, &hw, sizeof hw, 0);
            for (std::size_t k = 0; k < n; ++k)
                if (::rename(tmps[k].c_str(), keyPath(int(k) + 1).c_str()) != 0) failErrno("rename " + keyPath(int(k) + 1));
            tmps.clear();
            syncDir(dataPath());
            h.counter = next;
            h.keyGen = gen;
            h.recordCount = live;
            h.freeHead = freeSlots.empty() ? 0 : freeSlots.front();
            h.crc = headerCrc(h);
            pwriteFull(fd, &h, sizeof h, 0);
            syncFd(fd);
        } catch (...) {
            cleanup();
            throw;
        }
        viewValid = false;
        openKeyFiles();
        loadKeyHeaders(h);
        viewValid = true;
    }

    int run(const std::function<void()>& f) {
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
};

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

namespace {
std::function<void(int)>& groupHook() {
    static std::function<void(int)> h;
    return h;
}
}  // namespace
void setGroupHook(std::function<void(int)> hook) { groupHook() = std::move(hook); }

// All or nothing over several files: every phase of the commit runs on every file before the
// next phase starts, and the group marker written between the second and the third phase is the
// commit point. A failure before it undoes every file (their journals hold the original bytes
// and their write locks are still held); after it, an interrupted group is completed by whoever
// next touches one of its files.
int File::commitAll(const std::vector<File*>& files, File** failed) {
    if (failed) *failed = nullptr;
    if (files.empty()) return NoError;
    for (File* f : files)
        if (!f->d->explicitTxn) {
            f->d->err = TransactionError;
            f->d->detail = "no transaction is active";
            if (failed) *failed = f;
            for (File* o : files)
                if (o->d->explicitTxn) o->d->rollbackTxn();
            return TransactionError;
        }
    std::vector<File*> changed;
    for (File* f : files) {
        if (f->d->txnFailed) {
            for (File* o : files) o->d->rollbackTxn();
            f->d->err = TransactionError;
            f->d->detail = "a step of the transaction failed; it was rolled back";
            if (failed) *failed = f;
            return TransactionError;
        }
        if (f->d->hasChanges()) changed.push_back(f);
    }
    if (changed.size() <= 1) {
        for (File* f : files)
            if (f != (changed.empty() ? nullptr : changed[0])) f->commit();
        if (changed.empty()) return NoError;
        int e = changed[0]->commit();
        if (e && failed) *failed = changed[0];
        return e;
    }
    static std::atomic<unsigned> seq{0};
    const std::string group = "CASCADE." + std::to_string(::getpid()) + "." +
                              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "." +
                              std::to_string(seq++) + ".GRP";
    File* culprit = nullptr;
    auto step = [&](File* f, const std::function<void()>& fn) {
        int e = f->d->run(fn);
        if (e) culprit = f;
        return e == 0;
    };
    std::size_t inPlace = 0;  // files whose new bytes may have reached the disk
    auto undo = [&] {
        int e = culprit->d->err;
        std::string det = culprit->d->detail;
        for (std::size_t i = 0; i < inPlace; ++i) {
            Impl& d = *changed[i]->d;
            try {
                d.recoverLocked();
            } catch (...) {
            }
            d.viewValid = false;
        }
        for (File* f : files) f->d->rollbackTxn();
        culprit->d->err = e;
        culprit->d->detail = det;
        if (failed) *failed = culprit;
        return e;
    };
    for (File* f : changed)
        if (!step(f, [&] { f->d->writeJournal(group); })) return undo();
    if (groupHook()) groupHook()(1);
    for (File* f : changed) {
        ++inPlace;
        if (!step(f, [&] { f->d->writeInPlace(true); })) return undo();
    }
    if (groupHook()) groupHook()(2);
    std::string marker(fmt::kGroupMagic, 8);
    auto putRaw = [&marker](const void* p, std::size_t n) { marker.append(static_cast<const char*>(p), n); };
    std::uint32_t count = std::uint32_t(changed.size());
    putRaw(&count, 4);
    for (File* f : changed) {
        std::string name = f->d->dataName();
        std::uint16_t len = std::uint16_t(name.size());
        std::uint64_t c = f->d->orig.counter + 1;
        putRaw(&len, 2);
        putRaw(name.data(), name.size());
        putRaw(&c, 8);
    }
    std::uint32_t crc = fmt::crc32(marker.data(), marker.size());
    putRaw(&crc, 4);
    if (!step(changed[0], [&] {
            std::string path = changed[0]->d->prefix() + group;
            writeFileAtomically(path, marker.data(), marker.size());
            syncDir(path);
        }))
        return undo();
    if (groupHook()) groupHook()(3);
    // Past the commit point: a file that cannot be finished here is finished by its next user.
    bool allDone = true;
    for (File* f : changed) {
        allDone = f->d->run([&] { f->d->finishInPlace(); }) == 0 && allDone;
        if (groupHook() && f == changed[0]) groupHook()(4);
    }
    if (allDone) ::unlink((changed[0]->d->prefix() + group).c_str());
    for (File* f : files) {
        f->d->endCommitted();
        f->d->err = 0;
        f->d->detail.clear();
    }
    return NoError;
}

}  // namespace vx::store
