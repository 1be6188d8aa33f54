#include "relationmanager.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
void putRaw(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
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

std::string encode(const std::vector<JournalEntry>& entries) {
    std::string out(kMagic, sizeof kMagic);
    putRaw<std::uint32_t>(out, static_cast<std::uint32_t>(entries.size()));
    for (auto& e : entries) {
        putRaw<std::uint16_t>(out, static_cast<std::uint16_t>(e.file.size()));
        out += e.file;
        putRaw<std::uint32_t>(out, e.pos);
        putRaw<std::uint8_t>(out, e.remove ? 1 : 0);
        putRaw<std::uint32_t>(out, static_cast<std::uint32_t>(e.before.size()));
        out += e.before;
        if (!e.remove) out += e.after;
    }
    putRaw<std::uint64_t>(out, fnv(out, sizeof kMagic));
    return out;
}

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

// Written to a side file, synced and renamed into place: the journal is either whole or absent.
bool writeJournal(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".new";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    bool ok = (!store::syncEnabled() || ::fsync(fd) == 0);
    ::close(fd);
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (ok && store::syncEnabled()) ok = syncDirOf(path);
    if (!ok) ::unlink(tmp.c_str());
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

// Completes a cascade whose files were not all committed. Each change is made only where the
// record still holds the value it had before the cascade (or already holds the new one), so
// replaying twice, or after another writer changed a record, does no harm.
void recoverCascade(const store::File& file) {
    std::string path = journalPath(file);
    if (::access(path.c_str(), F_OK) != 0) return;
    std::string bytes;
    std::vector<JournalEntry> entries;
    if (!readWhole(path, bytes) || !decode(bytes, entries)) return;
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

// One cascaded change: the files it touched, their transactions, and the journal of its writes.
struct RelationManager::Cascade {
    bool txn = false;
    struct Touched {
        RelationManager* rm;
        bool begun;
    };
    std::vector<Touched> touched;
    std::vector<JournalEntry> log;
    int level = Level::Benign;  // of the message that stopped it

    bool touch(RelationManager* rm) {
        for (auto& t : touched)
            if (t.rm == rm) return true;
        FileManager& fm = *rm->Me;
        fm.Open();
        if (int l = fm.UseFile(); l != Level::Benign) {
            fm.Close();
            level = l;
            return false;
        }
        touched.push_back({rm, false});
        if (txn) {
            if (fm.File->begin(kLockTimeoutMs) != store::NoError) {
                level = fm.ReportWriteError();
                return false;
            }
            touched.back().begun = true;
        }
        return true;
    }

    bool put(FileManager& fm, store::Position pos, const std::string& before, const std::string& after) {
        if (fm.File->put(pos, after.data()) != store::NoError) {
            level = fm.ReportWriteError();
            return false;
        }
        log.push_back({fm.File->desc().name, pos, false, before, after});
        return true;
    }

    bool remove(FileManager& fm, store::Position pos, const std::string& before) {
        if (fm.File->remove(pos) != store::NoError) {
            level = fm.ReportWriteError();
            return false;
        }
        log.push_back({fm.File->desc().name, pos, true, before, {}});
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
        while (err == store::NoError && (err = cf.File->next(rec.data())) == store::NoError) {
            bool match = true;
            for (auto& [pf, chf] : rel.links)
                match = match && sameLink(VarRef::of(*chf, rec.data()), VarRef::of(*pf, const_cast<char*>(parent.data())));
            if (!match) break;
            out.emplace_back(cf.File->position(), rec);
        }
        if (err != store::NoError && err != store::NoMoreRecords) {
            level = cf.ReportWriteError();
            return false;
        }
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
            if (rel.updateMode == RI::Restrict) {
                level = cf.Errors->ThrowFile(FileMsg::RestrictUpdate, cf.FileName);
                return false;
            }
            for (auto& [pos, img] : kids) {
                std::string next = img;
                for (auto& [pf, chf] : rel.links) {
                    VarRef cv = VarRef::of(*chf, next.data());
                    if (rel.updateMode == RI::Clear) cv.clear();
                    else copyLink(cv, VarRef::of(*pf, const_cast<char*>(after.data())));
                }
                if (!put(cf, pos, img, next) || !updateChildren(rel.other, img, next)) return false;
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
            if (rel.deleteMode == RI::Restrict) {
                level = cf.Errors->ThrowFile(Msg::RestrictDelete, cf.FileName);
                return false;
            }
            for (auto& [kpos, kimg] : kids) {
                if (rel.deleteMode == RI::Cascade) {
                    if (!deleteRecord(rel.other, kpos, kimg)) return false;
                } else {
                    std::string next = kimg;
                    for (auto& [pf, chf] : rel.links) VarRef::of(*chf, next.data()).clear();
                    if (!put(cf, kpos, kimg, next) || !updateChildren(rel.other, kimg, next)) return false;
                }
            }
        }
        return remove(*rm->Me, pos, img);
    }

    // Commits (ok) or rolls back every transaction and releases the files.
    int finish(bool ok) {
        if (txn) {
            std::vector<FileManager*> begun;
            for (auto& t : touched)
                if (t.begun) begun.push_back(t.rm->Me);
            std::string jp;
            if (ok && begun.size() > 1) {
                if (commitHook()) commitHook()(-1);
                jp = journalPath(*begun.front()->File);
                if (!writeJournal(jp, encode(log))) {
                    FileManager& fm = *begun.front();
                    fm.Errors->SetErrors(store::FileSystemError, QString::fromUtf8("the cascade journal could not be written"));
                    level = fm.Errors->ThrowFile(FileMsg::WriteFailed, QString::fromStdString(jp));
                    ok = false;
                    jp.clear();
                } else if (commitHook()) {
                    commitHook()(0);
                }
            }
            int committed = 0;
            for (FileManager* fm : begun) {
                if (!ok) {
                    fm->File->rollback();
                    continue;
                }
                if (fm->File->commit() != store::NoError) {
                    // Already committed files stay; the journal completes the rest at the next open.
                    level = fm->ReportWriteError();
                    ok = false;
                    jp.clear();
                    continue;
                }
                ++committed;
                if (commitHook()) commitHook()(committed);
            }
            if (!jp.empty()) dropJournal(jp);
        }
        for (auto& t : touched) t.rm->Me->Close();
        touched.clear();
        return ok ? Level::Benign : (level == Level::Benign ? Level::Notify : level);
    }
};

RelationManager::~RelationManager() = default;

void RelationManager::SetCommitHook(std::function<void(int)> hook) { commitHook() = std::move(hook); }

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
    store::Position pos = Me->Position();
    std::string before(size, '\0');
    std::string after(static_cast<const char*>(Me->Buffer), size);
    bool carry = false;
    if (pos != 0 && Me->File->get(pos, before.data()) == store::NoError) {
        Cascade probe;
        for (const Relation& rel : relations_)
            if (rel.child && rel.updateMode != RI::None && probe.linksChanged(rel, before, after)) carry = true;
    }
    if (!carry) return Me->Update();
    detail::recoverCascade(*Me->File);
    Cascade c;
    c.txn = UseTransaction;
    bool ok = c.touch(this) && c.put(*Me, pos, before, after) && c.updateChildren(this, before, after);
    return c.finish(ok);
}

int RelationManager::Delete() {
    if (!Me) return Level::Program;
    if (int l = Me->UseFile(); l != Level::Benign) return l;
    ensureRelations();
    bool hasChildren = false;
    for (const Relation& rel : relations_)
        if (rel.child && rel.deleteMode != RI::None) hasChildren = true;
    if (!hasChildren) return Me->Delete();
    store::Position pos = Me->Position();
    std::string img(Me->Record->size, '\0');
    if (pos == 0 || Me->File->get(pos, img.data()) != store::NoError) return Me->ReportWriteError();
    detail::recoverCascade(*Me->File);
    Cascade c;
    c.txn = UseTransaction;
    bool ok = c.touch(this) && c.deleteRecord(this, pos, img);
    return c.finish(ok);
}

}  // namespace vx
