// The keyed file driver: BUILD, the rebuilding of every key file from the data file.

#include "framework/store/store_impl.h"

namespace vx::store {

void File::Impl::doBuild() {
    bool wasOpen = opened;
    struct Mending {
        bool& on;
        explicit Mending(bool& m) : on(m) { on = true; }
        ~Mending() { on = false; }
    } mend{mending};
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

void File::Impl::beginBuild() {
    if (!lockWriter(fd, kWriteTimeoutMs)) fail(FileLocked, "another writer holds " + dataPath());
    holdsWrite = true;
    if (journalValid() || (diskCounter() & 1)) recoverLocked();
    h = readHeader();
    setAsideTail(h);
}

void File::Impl::scanSlots(Position first, Position last, ScanPart& out) {
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
        // A slot that is neither live nor free is a damaged record: in no key and not reused;
        // a file-order read reports it by its position and goes on.
        if (sp.state != fmt::kLive) return;
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

void File::Impl::rebuild() {
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
        if (t.desc().unique) {
            // Two equal values of a unique key: a damaged record among them (its key field may be
            // what was damaged) is left out of this key, so that the others stay in reach.
            auto damagedAt = [this](Position p) {
                std::vector<unsigned char> slot(slotSize);
                return preadFull(fd, slot.data(), slotSize, slotOffset(p)) != slotSize || damagedSlot(slot.data());
            };
            std::vector<const unsigned char*> kept;
            kept.reserve(ptr.size());
            for (std::size_t i = 0; i < ptr.size(); ++i) {
                if (!kept.empty() && std::memcmp(ptr[i], kept.back(), K) == 0) {
                    if (damagedAt(t.posOf(ptr[i]))) continue;
                    if (damagedAt(t.posOf(kept.back()))) {
                        kept.back() = ptr[i];
                        continue;
                    }
                    fail(DuplicateKey, t.desc().name + ": records " + std::to_string(t.posOf(kept.back())) + " and " + std::to_string(t.posOf(ptr[i])));
                }
                kept.push_back(ptr[i]);
            }
            ptr.swap(kept);
        }
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
        hw.recordCount = live;
        hw.freeHead = freeSlots.empty() ? 0 : freeSlots.front();
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

}  // namespace vx::store
