// The keyed file driver against SQLite on the same workload: 10,000 certificate-sized records
// (4,827 bytes, Cyrillic text) with a unique number key and a recipient key with duplicates.
// SQLite keeps each record as a blob beside its two key columns, both indexed, in WAL mode; the
// recipient column holds the same case-folded sort key the driver uses.
// Both sides run twice: syncing at every commit (driver fsync, SQLite synchronous=FULL), and
// without syncing (synchronous=OFF); both are safe against a killed process either way.
// Reads, lookups and the rebuild run three times on each side and the best run counts (the other
// phases change the data and run once).
// Prints "name: value unit" and "name_vs_sqlite: ratio" lines; works in the current directory.

#include <sqlite3.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/store/store.h"
#include "framework/types/codepage.h"

using namespace vx;
using namespace vx::store;

namespace {

constexpr int kRecords = 10000;
constexpr int kRecSize = 4827;
constexpr int kF2 = 281, kF2Size = 120;

constexpr FieldDesc kFields[] = {
    {"FRM:NOMSV", FieldType::Dec, 0, 4, 0},     {"FRM:DATAVV", FieldType::Long, 4, 4, 0},
    {"FRM:COMMENT", FieldType::String, 8, 9, 0}, {"FRM:OPIS", FieldType::String, 17, 25, 0},
    {"FRM:DAY", FieldType::Dec, 42, 2, 0},       {"FRM:MES", FieldType::String, 44, 8, 0},
    {"FRM:GOD", FieldType::Dec, 52, 2, 0},       {"FRM:Z", FieldType::String, 54, 227, 0},
    {"FRM:F2", FieldType::String, 281, 120, 0},  {"FRM:F3", FieldType::String, 401, 4391, 0},
    {"FRM:CENA", FieldType::Dec, 4792, 4, 2},    {"FRM:RSH", FieldType::Byte, 4826, 1, 0},
};
const RecordDesc kRecord{"FORMA1", "FRM", kRecSize, kFields};

FileDesc desc() {
    FileDesc d{"FORMA1", &kRecord, {}, true};
    d.keys.push_back({"FRM:K1", {{&kFields[0], true}}, true, true, false, true});
    d.keys.push_back({"FRM:K2", {{&kFields[8], true}}, false, false, false, true});
    return d;
}

const char* kNames[] = {"ООО «Агрофирма Заречье»", "СПК колхоз им. Ленина", "ИП Ёлкин Пётр Сергеевич",
                        "ЗАО Племзавод «Ладожский»", "КФХ Сидоров Иван Иванович", "ООО Мясокомбинат «Останкино»",
                        "ФГУП «Красная звезда»", "ИП Жукова Анна Фёдоровна", "ОАО Птицефабрика «Синявинская»",
                        "СХПК «Рассвет»"};
const char* kText[] = {"Крупный рогатый скот, живой вес 4500 кг, ",
                       "Ленинградская обл., Кировский р-н, пос. Синявино, ",
                       "благополучно по сибирской язве, бруцеллёзу, туберкулёзу, ",
                       "исследованы в районной ветеринарной лаборатории, ",
                       "автомашина КАМАЗ гос. номер А123ВС 47, ",
                       "по маршруту Кировск — Мга — Санкт-Петербург, "};

void putText(std::vector<unsigned char>& r, int off, int size, const std::string& cp1251) {
    std::string s = cp1251;
    s.resize(std::size_t(size), ' ');
    std::memcpy(r.data() + off, s.data(), std::size_t(size));
}
void putDec(unsigned char* p, int bytes, long long v) {
    int n = 2 * bytes - 1;
    std::vector<int> d(static_cast<std::size_t>(n));
    for (int i = n - 1; i >= 0; --i) d[std::size_t(i)] = int(v % 10), v /= 10;
    p[0] = static_cast<unsigned char>(d[0]);
    for (int i = 1; i < bytes; ++i) p[i] = static_cast<unsigned char>(d[std::size_t(2 * i - 1)] << 4 | d[std::size_t(2 * i)]);
}

std::vector<unsigned char> makeRecord(int no, std::mt19937& rng) {
    std::vector<unsigned char> r(kRecSize, ' ');
    putDec(r.data(), 4, no);
    std::int32_t date = 82000 + no % 365;
    std::memcpy(r.data() + 4, &date, 4);
    putText(r, 8, 9, cp::toCp1251(QString::fromUtf8("Выдано")));
    putText(r, 17, 25, cp::toCp1251(QString::fromUtf8("Свиньи на убой")));
    putDec(r.data() + 42, 2, 1 + no % 28);
    putText(r, 44, 8, cp::toCp1251(QString::fromUtf8("декабря")));
    putDec(r.data() + 52, 2, 26);
    putText(r, 54, 227, cp::toCp1251(QString::fromUtf8("Ленинградская область  Кировский район  СББЖ Кировского района")));
    putText(r, kF2, kF2Size, cp::toCp1251(QString::fromUtf8(kNames[rng() % 8])));
    std::string body;
    while (body.size() < 4391) body += cp::toCp1251(QString::fromUtf8(kText[rng() % 6]));
    putText(r, 401, 4391, body);
    putDec(r.data() + 4792, 4, 35000);
    r[4826] = 0;
    return r;
}

std::string sortKey(const unsigned char* rec) {
    std::string k(reinterpret_cast<const char*>(rec + kF2), kF2Size);
    for (char& c : k) c = static_cast<char>(cp::collate1251(static_cast<unsigned char>(c ? c : ' ')));
    return k;
}
long long numberOf(const unsigned char* rec) {
    long long v = rec[0] & 0xF;
    for (int i = 1; i < 4; ++i) v = v * 100 + (rec[i] >> 4) * 10 + (rec[i] & 0xF);
    return v;
}

double ms(const std::function<void()>& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}
// Phases that leave the data as they found it run three times; the best run counts.
double best(const std::function<void()>& f) { return std::min({ms(f), ms(f), ms(f)}); }

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "bench_store: %s failed\n", what);
        std::exit(1);
    }
}

struct Figures {
    std::vector<std::pair<std::string, double>> ms;      // each against SQLite's same phase
    std::vector<std::pair<std::string, double>> quick;   // quick scan: with, then without (driver only)
};

// --- the driver ------------------------------------------------------------------------------
Figures runStore(const std::string& dir, const std::vector<std::vector<unsigned char>>& recs,
                 const std::vector<int>& lookups, const std::string& renameFrom) {
    Figures out;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        File f(desc(), dir);
        check(f.create() == 0 && f.open() == 0, "store open");
        out.ms.emplace_back("insert_one_txn", ms([&] {
            check(f.begin() == 0, "begin");
            for (auto r : recs) check(f.add(r.data()) == 0, "add");
            check(f.commit() == 0, "commit");
        }));
    }
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    File f(desc(), dir);
    check(f.create() == 0 && f.open() == 0, "store open");
    out.ms.emplace_back("insert_single", ms([&] {
        for (auto r : recs) check(f.add(r.data()) == 0, "add");
    }));
    std::vector<unsigned char> buf(kRecSize);
    for (int k = 1; k <= 2; ++k)
        out.ms.emplace_back("read_key" + std::to_string(k), best([&] {
            int n = 0;
            f.setStart(k);
            while (f.next(buf.data()) == 0) ++n;
            check(n == kRecords, "ordered read");
        }));
    out.ms.emplace_back("lookup_key1", best([&] {
        for (int no : lookups) {
            putDec(buf.data(), 4, no);
            check(f.get(1, buf.data()) == 0 && numberOf(buf.data()) == no, "lookup");
        }
    }));
    // A report's sequential scan of the 10,000 certificates, in number order and in file order,
    // with the quick-scan read-ahead and without it.
    for (int k : {1, 0}) {
        for (bool quick : {true, false}) {
            f.setQuickScan(quick);
            out.quick.emplace_back("scan_" + std::string(k ? "key1" : "file") + (quick ? "_quick" : "_plain"), best([&] {
                int n = 0;
                f.setStart(k);
                while (f.next(buf.data()) == 0) ++n;
                check(n == kRecords, "scan");
            }));
        }
    }
    f.setQuickScan(false);
    // Single changes, each its own commit (two ordered syncs of a rollback journal; every record
    // carries and is checked against its checksum).
    out.ms.emplace_back("put_single_500", ms([&] {
        for (int i = 0; i < 500; ++i) {
            Position p = Position(1 + (i * 37) % kRecords);
            check(f.get(p, buf.data()) == 0, "get");
            buf[4000] = static_cast<unsigned char>('A' + i % 26);
            check(f.put(p, buf.data()) == 0, "put");
        }
    }));
    std::vector<unsigned char> probe(kRecSize, ' ');
    std::memcpy(probe.data() + kF2, renameFrom.data(), kF2Size);
    // The name as the file gives it back (866 has no guillemets).
    cp::cp1251ToCp866(reinterpret_cast<char*>(probe.data()) + kF2, kF2Size);
    cp::cp866ToCp1251(reinterpret_cast<char*>(probe.data()) + kF2, kF2Size);
    const std::string from = sortKey(probe.data());
    std::string to = cp::toCp1251(QString::fromUtf8("ООО «Новое имя контрагента»"));
    to.resize(kF2Size, ' ');
    out.ms.emplace_back("cascade_update_1000", ms([&] {
        check(f.begin() == 0, "begin");
        int n = 0;
        check(f.set(2, probe.data()) == 0, "set");
        while (n < 1000 && f.next(buf.data()) == 0 && sortKey(buf.data()) == from) {
            std::memcpy(buf.data() + kF2, to.data(), kF2Size);
            check(f.put(buf.data()) == 0, "put");
            ++n;
        }
        int c = f.commit();
        if (c != 0 || n != 1000) std::fprintf(stderr, "commit %d %s n=%d\n", c, f.errorMessage().c_str(), n);
        check(c == 0 && n == 1000, "cascade");
    }));
    f.close();
    out.ms.emplace_back("build_both_keys", best([&] { check(f.build() == 0, "build"); }));
    return out;
}

// --- SQLite ----------------------------------------------------------------------------------
void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s: %s\n", sql, err ? err : "");
        std::exit(1);
    }
}
struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* db, const char* sql) { check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK, sql); }
    ~Stmt() { sqlite3_finalize(s); }
};

sqlite3* openDb(const std::string& path, bool sync) {
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
    sqlite3* db = nullptr;
    check(sqlite3_open(path.c_str(), &db) == SQLITE_OK, "sqlite open");
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, sync ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF");
    exec(db, "CREATE TABLE forma1(pos INTEGER PRIMARY KEY, nomsv INTEGER, f2 BLOB, rec BLOB)");
    exec(db, "CREATE UNIQUE INDEX k1 ON forma1(nomsv)");
    exec(db, "CREATE INDEX k2 ON forma1(f2, pos)");
    return db;
}

void insertAll(sqlite3* db, const std::vector<std::vector<unsigned char>>& recs, bool oneTxn) {
    Stmt ins(db, "INSERT INTO forma1(nomsv, f2, rec) VALUES(?, ?, ?)");
    if (oneTxn) exec(db, "BEGIN");
    for (auto& r : recs) {
        std::string k = sortKey(r.data());
        sqlite3_bind_int64(ins.s, 1, numberOf(r.data()));
        sqlite3_bind_blob(ins.s, 2, k.data(), int(k.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(ins.s, 3, r.data(), kRecSize, SQLITE_TRANSIENT);
        check(sqlite3_step(ins.s) == SQLITE_DONE, "insert");
        sqlite3_reset(ins.s);
    }
    if (oneTxn) exec(db, "COMMIT");
}

Figures runSqlite(const std::string& dir, bool sync, const std::vector<std::vector<unsigned char>>& recs,
                  const std::vector<int>& lookups, const std::string& renameFrom) {
    Figures out;
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/forma1.sqlite";
    sqlite3* db = openDb(path, sync);
    out.ms.emplace_back("insert_one_txn", ms([&] { insertAll(db, recs, true); }));
    sqlite3_close(db);
    db = openDb(path, sync);
    out.ms.emplace_back("insert_single", ms([&] { insertAll(db, recs, false); }));
    std::vector<unsigned char> buf(kRecSize);
    for (const char* sql : {"SELECT rec FROM forma1 ORDER BY nomsv", "SELECT rec FROM forma1 ORDER BY f2, pos"}) {
        out.ms.emplace_back(out.ms.size() == 2 ? "read_key1" : "read_key2", best([&] {
            Stmt q(db, sql);
            int n = 0;
            while (sqlite3_step(q.s) == SQLITE_ROW) {
                std::memcpy(buf.data(), sqlite3_column_blob(q.s, 0), std::size_t(sqlite3_column_bytes(q.s, 0)));
                ++n;
            }
            check(n == kRecords, "sqlite ordered read");
        }));
    }
    out.ms.emplace_back("lookup_key1", best([&] {
        Stmt q(db, "SELECT rec FROM forma1 WHERE nomsv = ?");
        for (int no : lookups) {
            sqlite3_bind_int64(q.s, 1, no);
            check(sqlite3_step(q.s) == SQLITE_ROW, "sqlite lookup");
            std::memcpy(buf.data(), sqlite3_column_blob(q.s, 0), std::size_t(sqlite3_column_bytes(q.s, 0)));
            check(numberOf(buf.data()) == no, "sqlite lookup value");
            sqlite3_reset(q.s);
        }
    }));
    out.ms.emplace_back("put_single_500", ms([&] {
        Stmt sel(db, "SELECT rec FROM forma1 WHERE pos = ?");
        Stmt upd(db, "UPDATE forma1 SET rec = ? WHERE pos = ?");
        for (int i = 0; i < 500; ++i) {
            long long p = 1 + (i * 37) % kRecords;
            sqlite3_bind_int64(sel.s, 1, p);
            check(sqlite3_step(sel.s) == SQLITE_ROW, "sqlite get");
            std::memcpy(buf.data(), sqlite3_column_blob(sel.s, 0), kRecSize);
            sqlite3_reset(sel.s);
            buf[4000] = static_cast<unsigned char>('A' + i % 26);
            sqlite3_bind_blob(upd.s, 1, buf.data(), kRecSize, SQLITE_STATIC);
            sqlite3_bind_int64(upd.s, 2, p);
            check(sqlite3_step(upd.s) == SQLITE_DONE, "sqlite put");
            sqlite3_reset(upd.s);
        }
    }));
    std::vector<unsigned char> probe(kRecSize, ' ');
    std::memcpy(probe.data() + kF2, renameFrom.data(), kF2Size);
    const std::string from = sortKey(probe.data());
    std::string to = cp::toCp1251(QString::fromUtf8("ООО «Новое имя контрагента»"));
    to.resize(kF2Size, ' ');
    out.ms.emplace_back("cascade_update_1000", ms([&] {
        exec(db, "BEGIN");
        Stmt sel(db, "SELECT pos, rec FROM forma1 WHERE f2 = ? ORDER BY f2, pos LIMIT 1000");
        Stmt upd(db, "UPDATE forma1 SET f2 = ?, rec = ? WHERE pos = ?");
        sqlite3_bind_blob(sel.s, 1, from.data(), int(from.size()), SQLITE_STATIC);
        std::vector<std::pair<long long, std::vector<unsigned char>>> rows;
        while (sqlite3_step(sel.s) == SQLITE_ROW) {
            auto p = static_cast<const unsigned char*>(sqlite3_column_blob(sel.s, 1));
            rows.emplace_back(sqlite3_column_int64(sel.s, 0), std::vector<unsigned char>(p, p + kRecSize));
        }
        for (auto& [pos, rec] : rows) {
            std::memcpy(rec.data() + kF2, to.data(), kF2Size);
            std::string k = sortKey(rec.data());
            sqlite3_bind_blob(upd.s, 1, k.data(), int(k.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(upd.s, 2, rec.data(), kRecSize, SQLITE_STATIC);
            sqlite3_bind_int64(upd.s, 3, pos);
            check(sqlite3_step(upd.s) == SQLITE_DONE, "sqlite update");
            sqlite3_reset(upd.s);
        }
        exec(db, "COMMIT");
        check(rows.size() == 1000, "sqlite cascade");
    }));
    out.ms.emplace_back("build_both_keys", best([&] { exec(db, "REINDEX k1; REINDEX k2;"); }));
    sqlite3_close(db);
    return out;
}

}  // namespace

int main() {
    std::mt19937 rng(1801);
    std::vector<std::vector<unsigned char>> recs;
    std::vector<int> numbers(kRecords);
    for (int i = 0; i < kRecords; ++i) numbers[std::size_t(i)] = i + 1;
    std::shuffle(numbers.begin(), numbers.end(), rng);  // certificates arrive in any order
    for (int no : numbers) recs.push_back(makeRecord(no, rng));
    std::vector<int> lookups = numbers;
    std::shuffle(lookups.begin(), lookups.end(), rng);
    // The cascade renames the first 1,000 certificates of the most frequent recipient.
    std::string from(reinterpret_cast<const char*>(recs[0].data() + kF2), kF2Size);

    const std::string base = std::filesystem::current_path().string() + "/bench_store_data";
    for (bool sync : {true, false}) {
        setSync(sync);
        const std::string suffix = sync ? "_sync" : "_nosync";
        Figures s = runStore(base + "/store", recs, lookups, from);
        Figures q = runSqlite(base + "/sqlite", sync, recs, lookups, from);
        for (std::size_t i = 0; i < s.ms.size(); ++i) {
            const std::string name = "store_" + s.ms[i].first + suffix;
            std::printf("%s: %.2f ms\n", name.c_str(), s.ms[i].second);
            std::printf("sqlite_%s%s: %.2f ms\n", q.ms[i].first.c_str(), suffix.c_str(), q.ms[i].second);
            std::printf("%s_vs_sqlite: %.3f\n", name.c_str(), s.ms[i].second / q.ms[i].second);
        }
        for (std::size_t i = 0; i + 1 < s.quick.size(); i += 2) {
            const std::string with = "store_" + s.quick[i].first + suffix, without = "store_" + s.quick[i + 1].first + suffix;
            std::printf("%s: %.2f ms\n%s: %.2f ms\n", with.c_str(), s.quick[i].second, without.c_str(), s.quick[i + 1].second);
            std::printf("%s_vs_plain: %.3f\n", with.c_str(), s.quick[i].second / s.quick[i + 1].second);
        }
        std::fflush(stdout);
    }
    std::filesystem::remove_all(base);
    return 0;
}
