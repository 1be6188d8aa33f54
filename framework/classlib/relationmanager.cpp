#include "relationmanager.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "framework/types/codepage.h"

namespace vx {

namespace {

constexpr int kLockTimeoutMs = 2000;
constexpr char kMagic[8] = {'V', 'X', 'C', 'A', 'S', 'C', '0', '1'};

std::function<void(int)>& commitHook() {
    static std::function<void(int)> h;
    return h;
}

// The directory part of a data file's path ("" or "dir/").
std::string dirOf(const store::File& f) {
    std::string p = f.dataPath();
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}
std::string journalPath(const store::File& f) { return dirOf(f) + "CASCADE.JNL"; }

std::uint64_t fnv(const std::string& s, std::size_t from) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = from; i < s.size(); ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 1099511628211ull;
    return h;
}

template <class T>
bool getRaw(const std::string& in, std::size_t& at, T& v) {
    if (at + sizeof v > in.size()) return false;
    std::memcpy(&v, in.data() + at, sizeof v);
    at += sizeof v;
    return true;
}

struct JournalEntry {
    std::string file;
    store::Position pos = 0;
    bool remove = false;
    std::string before, after;
};

bool decode(const std::string& in, std::vector<JournalEntry>& entries) {
    if (in.size() < sizeof kMagic + 12 || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) return false;
    std::uint64_t sum;
    std::memcpy(&sum, in.data() + in.size() - 8, 8);
    if (fnv(in.substr(0, in.size() - 8), sizeof kMagic) != sum) return false;
    std::string body = in.substr(0, in.size() - 8);
    std::size_t at = sizeof kMagic;
    std::uint32_t n;
    if (!getRaw(body, at, n)) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        JournalEntry e;
        std::uint16_t len;
        std::uint8_t op;
        std::uint32_t size;
        if (!getRaw(body, at, len) || at + len > body.size()) return false;
        e.file = body.substr(at, len);
        at += len;
        if (!getRaw(body, at, e.pos) || !getRaw(body, at, op) || !getRaw(body, at, size)) return false;
        e.remove = op == 1;
        std::size_t need = e.remove ? size : 2ull * size;
        if (at + need > body.size()) return false;
        e.before = body.substr(at, size);
        if (!e.remove) e.after = body.substr(at + size, size);
        at += need;
        entries.push_back(std::move(e));
    }
    return at == body.size();
}

bool syncDirOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void dropJournal(const std::string& path) {
    ::unlink(path.c_str());
    if (store::syncEnabled()) syncDirOf(path);
}

bool readWhole(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return true;
}

bool isBlank(const VarRef& v) { return v.isText() ? v.text().empty() : v.number().isZero(); }

bool sameLink(const VarRef& child, const VarRef& parent) {
    if (child.isText() || parent.isText()) return cp::compareNoCase1251(child.text(), parent.text()) == 0;
    return child.number() == parent.number();
}

void copyLink(VarRef child, const VarRef& parent) {
    if (!child.isText() && !parent.isText()) child.setNumber(parent.number());
    else child.setText(parent.text());
}

}  // namespace

namespace detail {

// Completes a cascade of an earlier version of the program whose files were not all committed
// (cascades are now committed by the driver as one, see store::File::commitAll). Each change is
// made only where the record still holds the value it had before the cascade (or already holds
// the new one), so replaying twice, or after another writer changed a record, does no harm. A
// journal that cannot be read is renamed to CASCADE.BAD, and `notice` names it, once.
void recoverCascade(const store::File& file, QString* notice) {
    std::string path = journalPath(file);
    if (::access(path.c_str(), F_OK) != 0) return;
    std::string bytes;
    std::vector<JournalEntry> entries;
    if (!readWhole(path, bytes)) return;
    if (!decode(bytes, entries)) {
        std::string bad = dirOf(file) + "CASCADE.BAD";
        if (::rename(path.c_str(), bad.c_str()) == 0 && notice) *notice = QString::fromStdString(path);
        return;
    }
    // The files by name, declared as this thread's managers know them.
    std::map<std::string, std::unique_ptr<store::File>> files;
    std::string dir = dirOf(file);
    if (!dir.empty()) dir.pop_back();
    for (auto& e : entries) {
        if (files.count(e.file)) continue;
        const store::FileDesc* desc = nullptr;
        for (FileManager* fm : threadFileManagers())
            if (fm->File && fm->File->desc().name == e.file) desc = &fm->File->desc();
        if (!desc) return;  // not known here: left for a thread that knows every file
        files[e.file] = std::make_unique<store::File>(*desc, dir);
    }
    std::vector<store::File*> begun;
    auto giveUp = [&] {
        for (auto* f : begun) f->rollback();
    };
    for (auto& [name, f] : files) {
        if (f->open(store::mode::ReadWrite) != 0 || f->begin(kLockTimeoutMs) != 0) return giveUp();
        begun.push_back(f.get());
    }
    for (auto& e : entries) {
        store::File& f = *files[e.file];
        std::string cur(f.desc().record->size, '\0');
        if (e.before.size() != cur.size() || f.get(e.pos, cur.data()) != 0) continue;
        if (e.remove) {
            if (cur == e.before && f.remove(e.pos) != 0) return giveUp();
        } else if (cur == e.before) {
            if (f.put(e.pos, e.after.data()) != 0) return giveUp();
        }
    }
    for (auto* f : begun)
        if (f->commit() != 0) return;
    dropJournal(path);
}

}  // namespace detail

// One cascaded change. Every file it touches is opened first (any message of the opening is
// shown before a lock is taken), then locked in turn within one 2-second allowance; the parent
// and the children are read, checked and written under those locks, and the files are committed
// as one. A failure is told only after every lock is released.
struct RelationManager::Cascade {
    explicit Cascade(bool useTxn)
        : txn(useTxn), deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockTimeoutMs)) {}
    bool txn = false;
    std::chrono::steady_clock::time_point deadline;
    struct Touched {
        RelationManager* rm;
        bool begun;
    };
    std::vector<Touched> touched;
    std::vector<RelationManager*> opened;
    std::function<int()> report;  // the message of the step that stopped it
    int level = Level::Benign;    // of a message shown while opening (before any lock)
    std::map<FileManager*, FileManager::LeftOut> unreadable;  // children that could not be read

    bool failWith(std::function<int()> r) {
        if (!report) report = std::move(r);
        return false;
    }
    bool failWrite(FileManager& fm) {
        FileManager::Failure f = fm.LastFailure();
        return failWith([&fm, f] { return fm.ReportFailure(f); });
    }

    // Opens `rm` and every file its relations may reach, without locks.
    bool openAll(RelationManager* rm) {
        std::vector<RelationManager*> todo{rm};
        while (!todo.empty()) {
            RelationManager* r = todo.back();
            todo.pop_back();
            if (std::find(opened.begin(), opened.end(), r) != opened.end() || !r->Me) continue;
            FileManager& fm = *r->Me;
            fm.Open();
            if (int l = fm.UseFile(); l != Level::Benign) {
                fm.Close();
                level = l;
                return false;
            }
            opened.push_back(r);
            for (const Relation& rel : r->Relations())
                if (rel.child && rel.other) todo.push_back(rel.other);
        }
        return true;
    }

    bool touch(RelationManager* rm) {
        for (auto& t : touched)
            if (t.rm == rm) return true;
        FileManager& fm = *rm->Me;
        touched.push_back({rm, false});
        if (txn) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (fm.File->begin(int(std::max<long long>(0, left))) != store::NoError) return failWrite(fm);
            touched.back().begun = true;
        }
        return true;
    }

    // The record at `pos` as it is now (read under the lock), checked against what this program
    // last read there: when another program changed or deleted it meanwhile, nothing is written.
    bool readParent(FileManager& fm, store::Position pos, std::string& img) {
        int err = fm.File->get(pos, img.data());
        std::string seen;
        if (err == store::RecordNotFound && pos) return changedByOther(fm);
        if (err != store::NoError) return failWrite(fm);
        if (fm.Watched(pos, seen) && seen != img) return changedByOther(fm);
        return true;
    }
    bool changedByOther(FileManager& fm) {
        return failWith([&fm] { return fm.Errors->ThrowFile(FileMsg::ChangedByOther, fm.FileName); });
    }

    bool put(FileManager& fm, store::Position pos, const std::string& after) {
        if (fm.File->put(pos, after.data()) != store::NoError) return failWrite(fm);
        return true;
    }

    bool remove(FileManager& fm, store::Position pos) {
        if (fm.File->remove(pos) != store::NoError) return failWrite(fm);
        return true;
    }

    // The children of a parent record through one relation: positions and images.
    bool children(const Relation& rel, const std::string& parent, std::vector<std::pair<store::Position, std::string>>& out) {
        FileManager& cf = *rel.other->Me;
        const RecordDesc& cr = *cf.Record;
        std::string probe(cr.size, '\0');
        cr.clear(probe.data());
        bool any = false;
        for (auto& [pf, chf] : rel.links) {
            VarRef pv = VarRef::of(*pf, const_cast<char*>(parent.data()));
            if (!isBlank(pv)) any = true;
            copyLink(VarRef::of(*chf, probe.data()), pv);
        }
        if (!any) return true;
        if (!touch(rel.other)) return false;
        int err = cf.File->set(rel.key, probe.data());
        std::string rec(cr.size, '\0');
        // A damaged record in the key order before a child is a child too (its key lies between
        // the parent's link and that child's): it cannot be changed, and is left as it is and
        // told. One after the last child may belong to another parent: it is left to the reads
        // that meet it.
        std::vector<store::Position> damaged;
        while (err == store::NoError) {
            err = cf.File->next(rec.data());
            if (err == store::DataFileDamaged && cf.File->position() &&
                std::find(damaged.begin(), damaged.end(), cf.File->position()) == damaged.end()) {
                damaged.push_back(cf.File->position());
                err = store::NoError;
                continue;
            }
            if (err != store::NoError) break;
            bool match = true;
            for (auto& [pf, chf] : rel.links)
                match = match && sameLink(VarRef::of(*chf, rec.data()), VarRef::of(*pf, const_cast<char*>(parent.data())));
            if (!match) break;
            for (store::Position p : damaged) unreadable[&cf].positions.insert(p);
            damaged.clear();
            out.emplace_back(cf.File->position(), rec);
        }
        if (err != store::NoError && err != store::NoMoreRecords) return failWrite(cf);
        return true;
    }

    bool linksChanged(const Relation& rel, const std::string& before, const std::string& after) {
        for (auto& [pf, chf] : rel.links)
            if (std::memcmp(before.data() + pf->offset, after.data() + pf->offset, pf->size) != 0) return true;
        return false;
    }

    // The parent record of `rm` changed from `before` to `after`: carry it to the children.
    bool updateChildren(RelationManager* rm, const std::string& before, const std::string& after) {
        for (const Relation& rel : rm->Relations()) {
            if (!rel.child || rel.updateMode == RI::None || !linksChanged(rel, before, after)) continue;
            std::vector<std::pair<store::Position, std::string>> kids;
            if (!children(rel, before, kids)) return false;
            if (kids.empty()) continue;
            FileManager& cf = *rel.other->Me;
            if (rel.updateMode == RI::Restrict)
                return failWith([&cf] { return cf.Errors->ThrowFile(FileMsg::RestrictUpdate, cf.FileName); });
            for (auto& [pos, img] : kids) {
                std::string next = img;
                for (auto& [pf, chf] : rel.links) {
                    VarRef cv = VarRef::of(*chf, next.data());
                    if (rel.updateMode == RI::Clear) cv.clear();
                    else copyLink(cv, VarRef::of(*pf, const_cast<char*>(after.data())));
                }
                if (!put(cf, pos, next) || !updateChildren(rel.other, img, next)) return false;
            }
        }
        return true;
    }

    // Deletes one record of `rm` with what its relations ask for.
    bool deleteRecord(RelationManager* rm, store::Position pos, const std::string& img) {
        for (const Relation& rel : rm->Relations()) {
            if (!rel.child || rel.deleteMode == RI::None) continue;
            std::vector<std::pair<store::Position, std::string>> kids;
            if (!children(rel, img, kids)) return false;
            if (kids.empty()) continue;
            FileManager& cf = *rel.other->Me;
            if (rel.deleteMode == RI::Restrict)
                return failWith([&cf] { return cf.Errors->ThrowFile(Msg::RestrictDelete, cf.FileName); });
            for (auto& [kpos, kimg] : kids) {
                if (rel.deleteMode == RI::Cascade) {
                    if (!deleteRecord(rel.other, kpos, kimg)) return false;
                } else {
                    std::string next = kimg;
                    for (auto& [pf, chf] : rel.links) VarRef::of(*chf, next.data()).clear();
                    if (!put(cf, kpos, next) || !updateChildren(rel.other, kimg, next)) return false;
                }
            }
        }
        return remove(*rm->Me, pos);
    }

    // Commits (ok) or rolls back every transaction, releases the files, then tells what stopped it.
    int finish(bool ok) {
        if (txn) {
            std::vector<store::File*> begun;
            for (auto& t : touched)
                if (t.begun) begun.push_back(t.rm->Me->File);
            if (ok) {
                if (commitHook()) commitHook()(-1);
                store::File* bad = nullptr;
                if (store::File::commitAll(begun, &bad) != store::NoError) {
                    for (auto& t : touched)
                        if (t.rm->Me->File == bad) failWrite(*t.rm->Me);
                    ok = false;
                }
            } else {
                for (store::File* f : begun) f->rollback();
            }
        }
        for (RelationManager* r : opened) r->Me->Close();
        touched.clear();
        opened.clear();
        if (ok) {
            for (auto& [fm, left] : unreadable)
                fm->TellLeftOut(left, QString::fromUtf8("Связанные записи, которые не удалось прочитать, оставлены "
                                                        "как есть: %1.").arg(left.Count()));
            return Level::Benign;
        }
        if (report) return report();
        return level == Level::Benign ? Level::Notify : level;
    }
};

RelationManager::~RelationManager() = default;

void RelationManager::SetCommitHook(std::function<void(int)> hook) {
    commitHook() = std::move(hook);
    // The driver's commit point of a group is "the journal written" (0), its first finished file
    // "the first file committed" (1).
    if (!commitHook()) return store::setGroupHook(nullptr);
    store::setGroupHook([](int stage) {
        if (commitHook() && stage >= 3) commitHook()(stage - 3);
    });
}

void RelationManager::Init(FileManager& file, bool useTransaction) {
    Me = &file;
    UseTransaction = useTransaction;
    relations_.clear();
    added_ = false;
    openedWith_.clear();
}

void RelationManager::Kill() {
    relations_.clear();
    openedWith_.clear();
    added_ = false;
    Me = nullptr;
}

void RelationManager::ensureRelations() {
    if (added_) return;
    added_ = true;
    DeferedAddRelations();
}

const std::vector<RelationManager::Relation>& RelationManager::Relations() {
    ensureRelations();
    return relations_;
}

void RelationManager::AddRelation(RelationManager& child, int updateMode, int deleteMode, int childKey) {
    relations_.push_back({&child, true, updateMode, deleteMode, childKey, {}});
}

void RelationManager::AddRelation(RelationManager& parent) { relations_.push_back({&parent, false, RI::None, RI::None, 0, {}}); }

void RelationManager::AddRelationLink(const FieldDesc& parentField, const FieldDesc& childField) {
    if (!relations_.empty()) relations_.back().links.emplace_back(&parentField, &childField);
}

void RelationManager::collectRelated(std::vector<RelationManager*>& out) {
    std::vector<RelationManager*> todo{this};
    std::vector<RelationManager*> seen{this};
    while (!todo.empty()) {
        RelationManager* r = todo.back();
        todo.pop_back();
        for (const Relation& rel : r->Relations()) {
            if (!rel.other || std::find(seen.begin(), seen.end(), rel.other) != seen.end()) continue;
            seen.push_back(rel.other);
            out.push_back(rel.other);
            todo.push_back(rel.other);
        }
    }
}

int RelationManager::Open() {
    ensureRelations();
    if (!Me) return Level::Program;
    if (int l = Me->Open(); l != Level::Benign) return l;
    std::vector<RelationManager*> related;
    if (openRelated_) collectRelated(related);
    std::vector<RelationManager*> opened;
    for (RelationManager* r : related) {
        if (!r->Me) continue;
        if (int l = r->Me->Open(); l != Level::Benign) {
            for (RelationManager* o : opened) o->Me->Close();
            Me->Close();
            return l;
        }
        opened.push_back(r);
    }
    openedWith_.push_back(std::move(opened));
    return Level::Benign;
}

int RelationManager::Close() {
    if (!Me) return Level::Benign;
    if (!openedWith_.empty()) {
        for (RelationManager* r : openedWith_.back())
            if (r->Me) r->Me->Close();
        openedWith_.pop_back();
    }
    return Me->Close();
}

int RelationManager::Update() {
    if (!Me) return Level::Program;
    if (int l = Me->UseFile(); l != Level::Benign) return l;
    ensureRelations();
    const std::uint32_t size = Me->Record->size;
    const store::Position pos = Me->Position();
    const std::string after(static_cast<const char*>(Me->Buffer), size);
    std::string before(size, '\0');
    Cascade c(UseTransaction);
    bool ok = c.openAll(this) && c.touch(this) && c.readParent(*Me, pos, before) && c.put(*Me, pos, after) &&
              c.updateChildren(this, before, after);
    int level = c.finish(ok);
    if (level == Level::Benign) Me->WatchWritten();
    return level;
}

int RelationManager::Delete() {
    if (!Me) return Level::Program;
    if (int l = Me->UseFile(); l != Level::Benign) return l;
    ensureRelations();
    const store::Position pos = Me->Position();
    std::string img(Me->Record->size, '\0');
    Cascade c(UseTransaction);
    bool ok = c.openAll(this) && c.touch(this) && c.readParent(*Me, pos, img) && c.deleteRecord(this, pos, img);
    return c.finish(ok);
}

}  // namespace vx
