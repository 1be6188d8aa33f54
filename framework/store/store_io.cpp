// The keyed file driver's low-level helpers: byte-range locks and their waits, syncing,
// whole-file replacement, gathered writes and the 1251 <-> 866 conversion of stored text.

#include "framework/store/store_impl.h"

namespace vx::store {

namespace internal {

std::atomic<bool> g_sync{true};
std::mutex g_hookMutex;
std::function<void()> g_hook;
std::atomic<unsigned> g_tmpSeq{0};

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

}  // namespace internal

}  // namespace vx::store
