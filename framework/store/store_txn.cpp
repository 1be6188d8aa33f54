// The keyed file driver: the journal, recovery of an interrupted commit, transactions and the
// all-or-nothing commit over several files.

#include "framework/store/store_impl.h"

namespace vx::store {

int File::Impl::journalFd() {
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

// With the write lock held: undoes an interrupted commit. A valid journal holds the original
// bytes of everything the commit overwrote and the original file sizes.
void File::Impl::recoverLocked() {
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

void File::Impl::bumpCounter() {
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
bool File::Impl::applyJournal(const std::vector<unsigned char>& buf) {
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

std::string File::Impl::dataName() const {
    std::string p = dataPath();
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The files a group marker lists with their odd counters; empty when missing or damaged.
std::vector<std::pair<std::string, std::uint64_t>> File::Impl::readGroup(const std::string& group) const {
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

bool File::Impl::groupLists(const std::string& group, std::uint64_t counter) const {
    for (auto& [name, c] : readGroup(group))
        if (name == dataName() && c == counter) return true;
    return false;
}

// Removes a group marker once none of its files still waits at its odd counter.
void File::Impl::dropGroupWhenDone(const std::string& group) const {
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

void File::Impl::beginTxn(int timeoutMs) {
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

bool File::Impl::journalValid() {
    int j = ::open(journalPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (j < 0) return false;
    char m[8] = {};
    bool ok = preadFull(j, m, 8, 0) == 8 && std::memcmp(m, fmt::kJournalMagic, 8) == 0;
    ::close(j);
    return ok;
}

void File::Impl::releaseWrite() {
    if (holdsWrite) unlock(fd, kLockWrite);
    holdsWrite = false;
}

void File::Impl::rollbackTxn() {
    overlay.clear();
    h = orig;
    for (auto& t : keys) {
        t->h = t->orig;
        t->dropCache();
    }
    inTxn = explicitTxn = txnFailed = false;
    releaseWrite();
}

void File::Impl::commitTxn() {
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
void File::Impl::writeCommit() {
    writeJournal({});
    writeInPlace(false);
    invalidateJournal();
}

bool File::Impl::hasChanges() const {
    bool changed = std::memcmp(&h, &orig, sizeof h) != 0 || !overlay.empty();
    for (auto& t : keys) changed = changed || t->changed();
    return changed;
}

void File::Impl::invalidateJournal() {
    static const char zero[8] = {};
    pwriteFull(journalFd(), zero, 8, 0);
}

// 1. The journal; `group` names the group marker of a group commit.
void File::Impl::writeJournal(const std::string& group) {
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
void File::Impl::writeInPlace(bool keepOdd) {
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
void File::Impl::finishInPlace() {
    h.counter = orig.counter + 2;
    h.crc = headerCrc(h);
    pwriteFull(fd, &h, sizeof h, 0);
    syncFd(fd);
    invalidateJournal();
}

// The transaction's state once its changes are on disk.
void File::Impl::endCommitted() {
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
void File::Impl::syncAll() {
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
