// The keyed file driver: file names, the header and the view of the file, opening (with its
// format checks), closing and creating.

#include "framework/store/store_impl.h"

namespace vx::store {

std::string File::Impl::base() const {
    std::string n = desc.name;
    auto slash = n.rfind('/');
    auto dot = n.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) n = n.substr(0, dot);
    return prefix() + n;
}

std::string File::Impl::dataPath() const {
    std::string n = desc.name;
    auto slash = n.rfind('/');
    auto dot = n.rfind('.');
    bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return prefix() + (hasExt ? n : n + ".DAT");
}

DataHeader File::Impl::newHeader() const {
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
//
// A damaged header of a file that is still plainly this declaration's data file (magic, format
// version, record size, field layout, code page and number of keys as declared) holds nothing
// that cannot be recomputed from the slots: it is "Key File Must Be Rebuilt", and the BUILD that
// follows makes it again (mendHeader). Anything else is the file's damage for good.
DataHeader File::Impl::readHeader() {
    DataHeader nh{}, prev{};
    seen = ~0ull;
    bool damaged = false;
    for (int attempt = 0;; ++attempt) {
        if (preadFull(fd, &nh, sizeof nh, 0) != sizeof nh) fail(DataFileDamaged, "data file shorter than its header");
        if (std::memcmp(nh.magic, fmt::kDataMagic, 8) != 0) fail(DataFileDamaged, "not a data file of this program");
        if (nh.crc == headerCrc(nh)) break;
        if ((attempt >= 3 && std::memcmp(&nh, &prev, sizeof nh) == 0) || attempt > 20) {
            damaged = true;
            break;
        }
        prev = nh;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (nh.version != fmt::kVersion || nh.headerSize != kPage) fail(DataFileDamaged, "data file of another format version");
    if (nh.recordSize != recSize) fail(BadDeclaration, "record size " + std::to_string(nh.recordSize) + " in the file, " + std::to_string(recSize) + " declared");
    if (nh.fieldSig != fieldSig) fail(BadDeclaration, "field layout differs from the file's");
    if ((nh.flags & 1) != (desc.oem ? 1u : 0u)) fail(BadDeclaration, "code page differs from the file's");
    if (nh.keyCount != keys.size()) fail(BadDeclaration, "number of keys differs from the file's");
    if (nh.recordCount > nh.slotCount || nh.freeHead > nh.slotCount) damaged = true;
    if (damaged) {
        if (!mending) fail(KeyFileRebuild, "data file header damaged");
        nh = mendHeader(nh);
    }
    seen = nh.counter;
    return nh;
}

// The header made again for a BUILD: what the declaration gives, the slots that the file holds
// whole, and a change counter above every counter the file and its keys have shown, so that
// every reader notices. The BUILD recounts the records and the free list and writes it.
DataHeader File::Impl::mendHeader(const DataHeader& damaged) {
    DataHeader nh = newHeader();
    const std::uint64_t size = fileSize(fd);
    nh.slotCount = size > kPage ? std::uint32_t((size - kPage) / slotSize) : 0;
    std::uint64_t counter = damaged.counter < (1ull << 62) ? damaged.counter : 0;  // a flipped high bit: not a count
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const int kfd = ::open(keyPath(int(k) + 1).c_str(), O_RDONLY | O_CLOEXEC);
        if (kfd < 0) continue;
        KeyHeader kh{};
        if (preadFull(kfd, &kh, sizeof kh, 0) == sizeof kh && kh.crc == headerCrc(kh)) counter = std::max(counter, kh.counter);
        ::close(kfd);
    }
    nh.counter = (counter | 1) + 1;
    nh.keyGen = damaged.keyGen;
    // Whether the slots carry checksums: the flag as it was, unless the slots say otherwise.
    std::uint32_t live = 0, summed = 0;
    std::vector<unsigned char> slot(slotSize);
    for (Position p = 1; p <= nh.slotCount && live < 64; ++p) {
        if (preadFull(fd, slot.data(), slotSize, slotOffset(p)) != slotSize) break;
        fmt::SlotPrefix sp = prefixOf(slot.data());
        if (sp.state != fmt::kLive) continue;
        ++live;
        if (sp.next == fmt::crc32(slot.data() + sizeof sp, recSize)) ++summed;
    }
    nh.flags = (desc.oem ? 1u : 0u) | (live ? (summed * 2 > live ? fmt::kSlotChecksums : 0u) : (damaged.flags & fmt::kSlotChecksums));
    nh.crc = headerCrc(nh);
    return nh;
}

std::uint64_t File::Impl::diskCounter() {
    if (hdrMap) return __atomic_load_n(reinterpret_cast<const std::uint64_t*>(static_cast<const char*>(hdrMap) + offsetof(DataHeader, counter)), __ATOMIC_ACQUIRE);
    std::uint64_t c = 0;
    if (preadFull(fd, &c, sizeof c, offsetof(DataHeader, counter)) != sizeof c) fail(DataFileDamaged, "data file shorter than its header");
    return c;
}

// A data file shorter than its slots: the last one was cut short (a disk that filled up, a copy
// broken off). The whole slots before it are intact; a BUILD sets the short one aside.
void File::Impl::checkSize(const DataHeader& nh) {
    if (fileSize(fd) < kPage + std::uint64_t(nh.slotCount) * slotSize && !mending) fail(KeyFileRebuild, "data file truncated");
}

// Under the write lock of a BUILD: a slot cut short at the end of the file is copied into
// NAME.BAD (kept beside the file, never overwritten) and cut off; the header counts the whole
// slots only. Done again after a crash, since the copy is made before anything is cut.
void File::Impl::setAsideTail(DataHeader& nh) {
    const std::uint64_t size = fileSize(fd);
    const std::uint32_t whole = size > kPage ? std::uint32_t((size - kPage) / slotSize) : 0;
    if (nh.slotCount > whole) {
        nh.slotCount = whole;
        if (nh.freeHead > whole) nh.freeHead = 0;
        if (nh.recordCount > whole) nh.recordCount = whole;
    }
    const std::uint64_t end = kPage + std::uint64_t(nh.slotCount) * slotSize;
    if (size <= end || (size - kPage) % slotSize == 0) return;
    std::vector<unsigned char> tail(std::size_t(size - end));
    if (preadFull(fd, tail.data(), tail.size(), end) != tail.size()) failErrno("read " + dataPath());
    std::string bad = base() + ".BAD";
    for (int n = 2; ::access(bad.c_str(), F_OK) == 0; ++n) bad = base() + "." + std::to_string(n) + ".BAD";
    writeFileAtomically(bad, tail.data(), tail.size());
    syncDir(bad);
    if (::ftruncate(fd, off_t(end)) != 0) failErrno("truncate " + dataPath());
    syncFd(fd);
}

void File::Impl::openKeyFiles() {
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

void File::Impl::closeKeyFiles() {
    for (auto& t : keys) {
        if (t->fd >= 0) ::close(t->fd);
        t->fd = -1;
        t->dropCache();
    }
}

// Re-reads every key file header and checks that it matches the data header `nh`.
void File::Impl::loadKeyHeaders(const DataHeader& nh) {
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
void File::Impl::refresh() {
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
void File::Impl::waitForCommit() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    Backoff b;
    for (;;) {
        if ((diskCounter() & 1) == 0) return;
        if (holdsWrite) {
            recoverLocked();
            return;
        }
        if (fdWritable && tryLock(fd, F_WRLCK, kLockWrite)) {
            recoverUnderWriteLock();
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) fail(FileLocked, "a commit did not finish in time");
        b.wait();
    }
}

void File::Impl::openFiles(int openMode, bool checkKeys) {
    try {
        openFilesOrThrow(openMode, checkKeys);
    } catch (...) {
        closeFiles();
        throw;
    }
}

void File::Impl::openFilesOrThrow(int openMode, bool checkKeys) {
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
        recoverUnderWriteLock();
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
void File::Impl::addChecksums() {
    if (mending) return;  // the BUILD decides from the slots themselves
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

void File::Impl::closeFiles() {
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

void File::Impl::doCreate() {
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

}  // namespace vx::store
