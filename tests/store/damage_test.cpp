// Damaged, stale and missing files: key files report 46 and BUILD repairs them; a damaged data
// file is a clear error.
#include <sys/stat.h>
#include <unistd.h>

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
    const std::string good = slurp(dat);
    const std::size_t slot = 110 + 8;
    struct Case {
        const char* what;
        std::function<void()> damage;
        int onOpen;  // error of open; 0: open works, a read or BUILD then fails
    };
    std::vector<Case> cases = {
        {"empty", [&] { spit(dat, ""); }, DataFileDamaged},
        {"cut inside the header", [&] { spit(dat, good.substr(0, 30)); }, DataFileDamaged},
        {"cut inside a record", [&] { spit(dat, good.substr(0, fmt::kPage + 5 * slot + 40)); }, DataFileDamaged},
        {"garbage", [&] {
             std::string g(50000, '\0');
             for (std::size_t i = 0; i < g.size(); ++i) g[i] = char(i * 2654435761u >> 13);
             spit(dat, g);
         }, DataFileDamaged},
        {"header scribbled", [&] { spit(dat, good); scribble(dat, 40, 2); }, DataFileDamaged},
        {"a slot scribbled", [&] { spit(dat, good); scribble(dat, fmt::kPage + 3 * slot, 4); }, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.damage();
        File f(animDesc(), dir);
        EXPECT_EQ(f.open(), c.onOpen) << f.errorMessage();
        if (c.onOpen) {
            EXPECT_FALSE(f.errorDetail().empty());
            EXPECT_EQ(f.build(), c.onOpen);
            EXPECT_EQ(slurp(dat).size() < fmt::kPage || slurp(dat) != good, true);  // nothing overwritten silently
            continue;
        }
        Rec r(110);
        EXPECT_EQ(f.get(Position(4), r.data()), DataFileDamaged);
        EXPECT_EQ(f.get(Position(5), r.data()), 0);
        f.close();
        EXPECT_EQ(f.build(), DataFileDamaged);
    }
    spit(dat, good);
    File f(animDesc(), dir);
    EXPECT_EQ(f.open(), 0);
    EXPECT_EQ(f.records(), 20u);
}
