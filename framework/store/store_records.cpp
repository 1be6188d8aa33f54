// The keyed file driver: records on disk (checksums), adding, changing and removing them, and
// reading in key or file order with the quick scan's read-ahead.

#include "framework/store/store_impl.h"

namespace vx::store {

void File::Impl::toDisk(const void* record, unsigned char* slot, std::uint32_t state, std::uint32_t next) const {
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
bool File::Impl::damagedSlot(const unsigned char* slot) const {
    if (!(h.flags & fmt::kSlotChecksums)) return false;
    auto sp = prefixOf(slot);
    return sp.state == fmt::kLive && sp.next != fmt::crc32(slot + sizeof sp, recSize);
}

void File::Impl::fromDisk(const unsigned char* slot, void* record) const {
    std::memcpy(record, slot + sizeof(fmt::SlotPrefix), recSize);
    if (desc.oem)
        for (auto [off, size] : texts) convertText(static_cast<unsigned char*>(record) + off, size, false);
}

fmt::SlotPrefix File::Impl::prefixOf(const unsigned char* slot) {
    fmt::SlotPrefix sp;
    std::memcpy(&sp, slot, sizeof sp);
    return sp;
}

// The slot as this handle sees it (the transaction's change, else the disk).
void File::Impl::readSlot(Position p, std::vector<unsigned char>& out) {
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
void File::Impl::readRecord(Position p, unsigned char* record) {
    readSlot(p, slotBuf);
    if (prefixOf(slotBuf.data()).state != fmt::kLive) fail(RecordNotFound, "record " + std::to_string(p) + " deleted");
    fromDisk(slotBuf.data(), record);
}

// Records a slot's new bytes; `disk` is what readSlot just gave for it.
void File::Impl::change(Position p, std::vector<unsigned char> now, const std::vector<unsigned char>* disk) {
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

// Keys are made from the text as it comes back from the disk: in an OEM file a character
// that 866 lacks is stored as a look-alike, and the key must match what BUILD sees.
bool File::Impl::encodeKey(const KeyTree& t, const unsigned char* record, unsigned char* out) const {
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

File::Impl::Keys File::Impl::encodeAll(const unsigned char* record, Position p) const {
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

void File::Impl::doAdd(unsigned char* record) {
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

void File::Impl::doPut(Position p, const unsigned char* record) {
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

void File::Impl::doRemove(Position p) {
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

KeyTree& File::Impl::key(int k) {
    if (k < 1 || std::size_t(k) > keys.size()) fail(RecordNotFound, "no key " + std::to_string(k));
    return *keys[std::size_t(k) - 1];
}

// The record an entry names, in memory form; it lies in slotBuf until the next slot read.
const unsigned char* File::Impl::fetchEntry(KeyTree& t, const unsigned char* e) {
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
void File::Impl::prefetch(std::vector<Position> ps) {
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

void File::Impl::step(bool forward, void* record) {
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

}  // namespace vx::store
