// Damaged, stale and missing files: key files report 46 and BUILD repairs them, and so does a
// data file header whose counts can be recomputed; a data file that cannot be understood is a
// clear error.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <functional>

#include "fixture.h"
#include "framework/store/format.h"

using namespace vxt;

namespace {
void truncateTo(const std::string& path, off_t size) { ASSERT_EQ(::truncate(path.c_str(), size), 0); }
void scribble(const std::string& path, std::size_t at, std::size_t n) {
    std::string s = slurp(path);
    for (std::size_t i = at; i < at + n && i < s.size(); ++i) s[i] = char(s[i] ^ 0x5A);
    spit(path, s);
}
}  // namespace

TEST_F(StoreTest, BadKeyFilesReport46AndBuildRepairsThem) {
    const int n = 400;
    std::string staleK1;
    {
        auto f = opened(forma1Desc());
        for (int i = 1; i <= n; ++i) {
            Rec r = frm(i, ("Фирма " + std::to_string(i % 13)).c_str());
            ASSERT_EQ(f->add(r.data()), 0);
            if (i == n / 2) {
                f->close();
                staleK1 = slurp(f->keyPath(1));
                ASSERT_EQ(f->open(), 0);
            }
        }
        ASSERT_EQ(f->remove(Position(7)), 0);
    }
    File probe(forma1Desc(), dir);
    const std::string k1 = probe.keyPath(1), k2 = probe.keyPath(2);
    struct Case {
        const char* what;
        std::function<void()> damage;
    };
    std::vector<Case> cases = {
        {"K02 deleted", [&] { ::unlink(k2.c_str()); }},
        {"K01 empty", [&] { truncateTo(k1, 0); }},
        {"K01 cut inside a page", [&] { truncateTo(k1, off_t(slurp(k1).size()) - 100); }},
        {"K02 page scribbled", [&] { scribble(k2, fmt::kPage * 2 + 50, 20); }},
        {"K01 header scribbled", [&] { scribble(k1, 20, 4); }},
        {"K01 from an older state", [&] { spit(k1, staleK1); }},
        {"K02 left dirty", [&] {
             std::string s = slurp(k2);
             fmt::KeyHeader kh;
             std::memcpy(&kh, s.data(), sizeof kh);
             kh.dirty = 1;
             kh.crc = fmt::crc32(&kh, offsetof(fmt::KeyHeader, crc));
             std::memcpy(s.data(), &kh, sizeof kh);
             spit(k2, s);
         }},
        {"K01 is the data file", [&] { spit(k1, slurp(probe.dataPath())); }},
    };
    std::vector<long long> expected;
    for (int i = 1; i <= n; ++i)
        if (i != 7) expected.push_back(i);
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        File f(forma1Desc(), dir);
        // Found at open, or at the latest when the damaged page is read.
        int found = f.open();
        Rec r(4827);
        for (int k = 1; k <= 2 && found == 0; ++k) {
            f.setStart(k);
            while (f.next(r.data()) == 0) {
            }
            if (f.lastError() != NoMoreRecords) found = f.lastError();
        }
        ASSERT_EQ(found, KeyFileRebuild) << f.errorMessage();
        f.close();
        ASSERT_EQ(f.build(), 0) << f.errorMessage();
        ASSERT_EQ(f.open(), 0) << f.errorMessage();
        EXPECT_EQ(numbers(f, 1, 0, 4), expected);
        EXPECT_EQ(order(f, 2, 281, 120).size(), expected.size());
        EXPECT_EQ(f.records(), expected.size());
        r = frm(0, "");
        ASSERT_EQ(f.add(r.data()), 0);  // the rebuilt trees take further writes
        ASSERT_EQ(f.remove(), 0);
    }
}

TEST_F(StoreTest, BuildRunsBesideReadersAndRecountsTheFreeList) {
    auto w = opened(kagentDesc());
    for (int i = 0; i < 50; ++i) {
        Rec r = kag(0, ("Имя " + std::to_string(i)).c_str());
        ASSERT_EQ(w->add(r.data()), 0);
    }
    ASSERT_EQ(w->remove(Position(10)), 0);
    ASSERT_EQ(w->remove(Position(20)), 0);
    w->close();
    File reader(kagentDesc(), dir);
    ASSERT_EQ(reader.open(mode::ReadOnly), 0);
    Rec r(85);
    ASSERT_EQ(reader.setStart(1), 0);
    ASSERT_EQ(reader.next(r.data()), 0);
    File b(kagentDesc(), dir);
    ASSERT_EQ(b.build(), 0) << b.errorMessage();  // a reader does not stop BUILD
    int rest = 1;
    while (reader.next(r.data()) == 0) ++rest;   // and keeps reading through the new key files
    EXPECT_EQ(rest, 48);
    ASSERT_EQ(w->open(), 0);
    Rec again = kag(0, "Новое");
    ASSERT_EQ(w->add(again.data()), 0);
    EXPECT_TRUE(w->position() == 10 || w->position() == 20);
    EXPECT_EQ(w->records(), 49u);
}

TEST_F(StoreTest, DamagedDataFileIsAClearError) {
    {
        auto f = opened(animDesc());
        for (int i = 1; i <= 20; ++i) {
            Rec r = ani(i, i, "Зорька");
            ASSERT_EQ(f->add(r.data()), 0);
        }
    }
    File probe(animDesc(), dir);
    const std::string dat = probe.dataPath();
    const std::string good = slurp(dat), goodKey = slurp(probe.keyPath(1));
    const std::size_t slot = 110 + 8;
    auto withHeader = [&](auto change) {
        std::string s = good;
        fmt::DataHeader h;
        std::memcpy(&h, s.data(), sizeof h);
        change(h);
        h.crc = fmt::crc32(&h, offsetof(fmt::DataHeader, crc));
        std::memcpy(s.data(), &h, sizeof h);
        spit(dat, s);
    };
    // A file that cannot be understood: the open and BUILD fail, nothing is touched.
    struct Case {
        const char* what;
        std::function<void()> damage;
        int onOpen;
    };
    std::vector<Case> cases = {
        {"empty", [&] { spit(dat, ""); }, DataFileDamaged},
        {"cut inside the header", [&] { spit(dat, good.substr(0, 30)); }, DataFileDamaged},
        {"garbage", [&] {
             std::string g(50000, '\0');
             for (std::size_t i = 0; i < g.size(); ++i) g[i] = char(i * 2654435761u >> 13);
             spit(dat, g);
         }, DataFileDamaged},
        {"another format version", [&] { withHeader([](fmt::DataHeader& h) { h.version = 7; }); }, DataFileDamaged},
        {"another format version, header damaged too", [&] { spit(dat, good); scribble(dat, 8, 1); }, DataFileDamaged},
        {"another record size", [&] { withHeader([](fmt::DataHeader& h) { h.recordSize = 111; }); }, BadDeclaration},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        const std::string before = slurp(dat);
        File f(animDesc(), dir);
        EXPECT_EQ(f.open(), c.onOpen) << f.errorMessage();
        EXPECT_FALSE(f.errorDetail().empty());
        EXPECT_EQ(f.build(), c.onOpen);
        EXPECT_EQ(slurp(dat), before);  // nothing overwritten
    }
    // A damaged record: the open works, the record reads as damaged, BUILD leaves it out of the
    // keys and the others stay.
    {
        spit(dat, good);
        scribble(dat, fmt::kPage + 3 * slot, 4);
        File f(animDesc(), dir);
        EXPECT_EQ(f.open(), 0) << f.errorMessage();
        Rec r(110);
        EXPECT_EQ(f.get(Position(4), r.data()), DataFileDamaged);
        EXPECT_EQ(f.get(Position(5), r.data()), 0);
        f.close();
        EXPECT_EQ(f.build(), 0) << f.errorMessage();
        ASSERT_EQ(f.open(), 0);
        EXPECT_EQ(f.records(), 19u);
        EXPECT_EQ(order(f, 1, 0, 4).size(), 19u);
        EXPECT_EQ(f.get(Position(4), r.data()), DataFileDamaged);
    }
    spit(dat, good);
    spit(probe.keyPath(1), goodKey);
    File f(animDesc(), dir);
    EXPECT_EQ(f.open(), 0);
    EXPECT_EQ(f.records(), 20u);
}

// A header whose counts can be made again from the slots, and a file whose last slot was cut
// short: the open asks for the keys to be rebuilt (46), and BUILD gives back every whole record,
// the cut slot copied aside. Nothing is written before BUILD.
TEST_F(StoreTest, ARecomputableHeaderAndAShortLastSlotAreRebuilt) {
    const int n = 40;
    {
        auto f = opened(forma1Desc());
        setSync(false);
        for (int i = 1; i <= n; ++i) {
            Rec r = frm(i, ("Фирма " + std::to_string(i)).c_str());
            ASSERT_EQ(f->add(r.data()), 0);
        }
        ASSERT_EQ(f->remove(Position(7)), 0);  // one free slot: the free list is recomputed too
        setSync(true);
    }
    File probe(forma1Desc(), dir);
    const std::string dat = probe.dataPath();
    const std::string good = slurp(dat);
    const std::size_t slot = 4827 + sizeof(fmt::SlotPrefix);
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        int whole;  // records that stay
        bool cut;   // a short slot set aside
    };
    const std::vector<Case> cases = {
        {"counter bit 0 flipped", [](std::string& s) { s[offsetof(fmt::DataHeader, counter)] ^= 0x01; }, n - 1, false},
        {"counter high bit flipped", [](std::string& s) { s[offsetof(fmt::DataHeader, counter) + 7] ^= 0x40; }, n - 1, false},
        {"record count scribbled", [](std::string& s) { s[offsetof(fmt::DataHeader, recordCount) + 2] ^= 0x7F; }, n - 1, false},
        {"free list head scribbled", [](std::string& s) { s[offsetof(fmt::DataHeader, freeHead)] ^= 0x10; }, n - 1, false},
        {"last slot cut short by 100 bytes", [](std::string& s) { s.resize(s.size() - 100); }, n - 2, true},
        {"last slot cut short, counter flipped too", [](std::string& s) {
             s.resize(s.size() - 100);
             s[offsetof(fmt::DataHeader, counter)] ^= 0x01;
         }, n - 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().extension() == ".BAD") std::filesystem::remove(e.path());
        std::string s = good;
        c.damage(s);
        spit(dat, s);
        {
            File f(forma1Desc(), dir);
            auto t0 = std::chrono::steady_clock::now();
            EXPECT_EQ(f.open(), KeyFileRebuild) << f.errorMessage();
            EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
            EXPECT_EQ(slurp(dat), s) << "nothing written before BUILD";
            ASSERT_EQ(f.build(), 0) << f.errorMessage();
            ASSERT_EQ(f.open(), 0) << f.errorMessage();
            EXPECT_EQ(f.records(), std::uint32_t(c.whole));
            const auto byNumber = numbers(f, 1, 0, 4);
            std::vector<long long> expect;
            for (int i = 1; i <= c.whole + 1; ++i)
                if (i != 7) expect.push_back(i);
            EXPECT_EQ(byNumber, expect);
            EXPECT_EQ(order(f, 0, 281, 120).size(), std::size_t(c.whole));
            // The file is whole again: a new record takes the free slot, the next one a new slot.
            Rec a = frm(100, "Новая"), b = frm(101, "Ещё");
            ASSERT_EQ(f.add(a.data()), 0) << f.errorMessage();
            EXPECT_EQ(f.position(), Position(7));
            ASSERT_EQ(f.add(b.data()), 0) << f.errorMessage();
            EXPECT_EQ(f.position(), Position(c.whole + 2));
        }
        File again(forma1Desc(), dir);
        ASSERT_EQ(again.open(), 0) << again.errorMessage();
        EXPECT_EQ(again.records(), std::uint32_t(c.whole + 2));
        const std::string bad = dir + "/FORMA1.BAD";
        EXPECT_EQ(std::filesystem::exists(bad), c.cut);
        if (c.cut) {
            EXPECT_EQ(slurp(bad), good.substr(fmt::kPage + std::size_t(n - 1) * slot, slot - 100));
        }
    }
}

// A damaged record whose number was overwritten with another record's: BUILD leaves the damaged
// one out of the unique key instead of failing, and every other record stays in reach.
TEST_F(StoreTest, BuildLeavesADamagedDuplicateOutOfAUniqueKey) {
    const int n = 12;
    {
        auto f = opened(forma1Desc());
        for (int i = 1; i <= n; ++i) {
            Rec r = frm(i, ("Фирма " + std::to_string(i)).c_str());
            ASSERT_EQ(f->add(r.data()), 0);
        }
    }
    File f(forma1Desc(), dir);
    const std::size_t slot = 4827 + sizeof(fmt::SlotPrefix);
    std::string s = slurp(f.dataPath());
    // The record at position 5 takes the number of the one after it, the one at 9 that of the
    // one before it: the damaged one comes second in the key once, first once.
    auto number = [&](int pos) { return s.data() + fmt::kPage + std::size_t(pos - 1) * slot + 8; };
    std::memcpy(number(5), number(6), 4);
    std::memcpy(number(9), number(8), 4);
    spit(f.dataPath(), s);
    ASSERT_EQ(f.build(), 0) << f.errorMessage();
    ASSERT_EQ(f.open(), 0) << f.errorMessage();
    std::vector<long long> expect;
    for (int i = 1; i <= n; ++i)
        if (i != 5 && i != 9) expect.push_back(i);
    EXPECT_EQ(numbers(f, 1, 0, 4), expect);
    Rec r(4827);
    EXPECT_EQ(f.get(Position(5), r.data()), DataFileDamaged);
    EXPECT_EQ(f.get(Position(6), r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 6);
}
