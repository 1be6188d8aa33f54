// What a second program sees of a commit over several files cut short, damage found at once
// (header, key page, one record) and the quick-scan read-ahead.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>

#include "fixture.h"
#include "framework/store/format.h"

using namespace vxt;

namespace {

// A counterparty renamed together with its certificates: one commit over two files.
void renameAll(File& k, File& f, const char* to) {
    ASSERT_EQ(k.begin(), 0);
    ASSERT_EQ(f.begin(), 0);
    Rec r = kag(1, to);
    ASSERT_EQ(k.put(Position(1), r.data()), 0);
    for (Position p = 1; p <= 20; ++p) {
        Rec c = frm(p, to);
        ASSERT_EQ(f.put(p, c.data()), 0);
    }
    ASSERT_EQ(File::commitAll({&k, &f}), 0) << f.errorMessage();
}

// Names in both files as a reader sees them: the counterparty's, then each certificate's.
std::set<std::string> names(File& k, File& f) {
    std::set<std::string> out;
    Rec r(85), c(4827);
    EXPECT_EQ(k.get(Position(1), r.data()), 0) << k.errorMessage();
    out.insert(r.text(5, 80));
    EXPECT_EQ(f.setStart(0), 0);
    int n = 0;
    while (f.next(c.data()) == 0) out.insert(c.text(281, 120)), ++n;
    EXPECT_EQ(f.lastError(), NoMoreRecords) << f.errorMessage();
    EXPECT_EQ(n, 20);
    return out;
}

}  // namespace

// A writer killed at each stage of a commit over two files while another program has both files
// open: that program's next read finds all of the old state or all of the new, never a mix, and a
// write it makes keeps it so.
TEST_F(StoreTest, ACommitOverTwoFilesKilledMidwayIsWholeForAProgramAlreadyReading) {
    struct Case {
        int killAt;
        const char* expect;
    };
    for (Case c : {Case{1, "Ромашка"}, Case{2, "Ромашка"}, Case{3, "Лютик"}, Case{4, "Лютик"}}) {
        SCOPED_TRACE(c.killAt);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directory(dir);
        {
            auto k = opened(kagentDesc());
            auto f = opened(forma1Desc());
            Rec r = kag(0, "Ромашка");
            ASSERT_EQ(k->add(r.data()), 0);
            for (int i = 1; i <= 20; ++i) {
                Rec x = frm(i, "Ромашка");
                ASSERT_EQ(f->add(x.data()), 0);
            }
        }
        auto k = opened(kagentDesc());
        auto f = opened(forma1Desc());
        EXPECT_EQ(names(*k, *f), (std::set<std::string>{"Ромашка"}));
        pid_t pid = fork();
        if (pid == 0) {
            File k2(kagentDesc(), dir), f2(forma1Desc(), dir);
            if (k2.open() || f2.open()) _exit(3);
            setGroupHook([&](int stage) {
                if (stage == c.killAt) raise(SIGKILL);
            });
            renameAll(k2, f2, "Лютик");
            _exit(4);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        // The reader goes on with its open handles: first the certificates, then a write of one.
        Rec x(4827);
        ASSERT_EQ(f->get(Position(5), x.data()), 0) << f->errorMessage();
        EXPECT_EQ(x.text(281, 120), c.expect);
        x.text(17, 25, "сохранено");
        ASSERT_EQ(f->put(Position(5), x.data()), 0) << f->errorMessage();
        EXPECT_EQ(names(*k, *f), (std::set<std::string>{c.expect}));
        File again(forma1Desc(), dir), kagain(kagentDesc(), dir);
        ASSERT_EQ(again.open(), 0);
        ASSERT_EQ(kagain.open(), 0);
        EXPECT_EQ(names(kagain, again), (std::set<std::string>{c.expect}));
        for (auto& e : std::filesystem::directory_iterator(dir)) EXPECT_NE(e.path().extension(), ".GRP") << e.path();
    }
}

// One flipped bit in the change counter: the open says at once that the file must be rebuilt,
// not after waiting for a commit that never ends (BUILD makes the header again: damage_test).
TEST_F(StoreTest, AFlippedCounterBitIsADamagedHeaderAtOnce) {
    {
        auto f = opened(forma1Desc());
        Rec r = frm(1, "А");
        ASSERT_EQ(f->add(r.data()), 0);
    }
    File f(forma1Desc(), dir);
    std::string s = slurp(f.dataPath());
    s[offsetof(fmt::DataHeader, counter)] ^= 0x01;  // odd now: looks like a commit in progress
    spit(f.dataPath(), s);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(f.open(), KeyFileRebuild);
    EXPECT_NE(f.errorDetail().find("header"), std::string::npos) << f.errorDetail();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
}

// A 4 KiB page of a key file overwritten: the open says the key file must be rebuilt (it does not
// show part of the order), and BUILD gives back every record.
TEST_F(StoreTest, AnOverwrittenKeyPageIsFoundAtOpen) {
    const int n = 1050;
    {
        auto f = opened(forma1Desc());
        setSync(false);
        for (int i = 1; i <= n; ++i) {
            Rec r = frm(i, ("Фирма " + std::to_string(i)).c_str());
            ASSERT_EQ(f->add(r.data()), 0);
        }
        setSync(true);
    }
    File f(forma1Desc(), dir);
    std::string k2 = slurp(f.keyPath(2));
    ASSERT_GT(k2.size(), 20 * fmt::kPage);
    for (std::size_t i = 0; i < fmt::kPage; ++i) k2[12 * fmt::kPage + i] = char(i * 7);
    spit(f.keyPath(2), k2);
    EXPECT_EQ(f.open(), KeyFileRebuild);
    EXPECT_NE(f.errorDetail().find("K02"), std::string::npos) << f.errorDetail();
    ASSERT_EQ(f.build(), 0) << f.errorMessage();
    ASSERT_EQ(f.open(), 0);
    EXPECT_EQ(order(f, 2, 281, 120).size(), std::size_t(n));
}

// Bytes written into the middle of one record: reading it names its position, every other record
// still reads, and a sequence goes on past it. A file from before the checksums gets them when it
// is first opened for writing.
TEST_F(StoreTest, ADamagedRecordIsReportedByPositionAndTheOthersStay) {
    const int n = 30;
    File probe(forma1Desc(), dir);
    for (bool oldFile : {false, true}) {
        SCOPED_TRACE(oldFile);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directory(dir);
        {
            auto f = opened(forma1Desc());
            for (int i = 1; i <= n; ++i) {
                Rec r = frm(i, ("Фирма " + std::to_string(i)).c_str(), "текст");
                ASSERT_EQ(f->add(r.data()), 0);
            }
        }
        const std::size_t slot = 4827 + sizeof(fmt::SlotPrefix);
        std::string s = slurp(probe.dataPath());
        if (oldFile) {  // as written before records carried checksums
            fmt::DataHeader h;
            std::memcpy(&h, s.data(), sizeof h);
            h.flags &= ~fmt::kSlotChecksums;
            h.crc = fmt::crc32(&h, offsetof(fmt::DataHeader, crc));
            std::memcpy(s.data(), &h, sizeof h);
            for (int i = 0; i < n; ++i) std::memset(s.data() + fmt::kPage + i * slot + 4, 0, 4);
            spit(probe.dataPath(), s);
            File ro(forma1Desc(), dir);
            ASSERT_EQ(ro.open(mode::ReadOnly), 0);
            EXPECT_EQ(order(ro, 1, 281, 120).size(), std::size_t(n));  // read as it is
            ro.close();
            File rw(forma1Desc(), dir);
            ASSERT_EQ(rw.open(), 0);  // converted here
            rw.close();
            s = slurp(probe.dataPath());
        }
        for (int i = 0; i < 100; ++i) s[fmt::kPage + 16 * slot + 2000 + i] = char(0x41 + i % 26);  // record 17
        spit(probe.dataPath(), s);
        File f(forma1Desc(), dir);
        ASSERT_EQ(f.open(), 0);
        Rec r(4827);
        EXPECT_EQ(f.get(Position(17), r.data()), DataFileDamaged);
        EXPECT_NE(f.errorDetail().find("record 17"), std::string::npos) << f.errorDetail();
        ASSERT_EQ(f.get(Position(18), r.data()), 0);
        for (int k : {0, 1}) {
            SCOPED_TRACE(k);
            std::vector<long long> seen;
            std::vector<int> errors;
            ASSERT_EQ(f.setStart(k), 0);
            for (int guard = 0; guard < 2 * n; ++guard) {
                int e = f.next(r.data());
                if (e == NoMoreRecords) break;
                if (e) {
                    errors.push_back(e);
                    EXPECT_EQ(f.position(), Position(17));
                } else {
                    seen.push_back(r.dec(0, 4));
                }
            }
            EXPECT_EQ(errors, std::vector<int>{DataFileDamaged});
            EXPECT_EQ(seen.size(), std::size_t(n - 1));
        }
    }
}

// Quick scan reads the same records in the same orders, and a commit by another handle between
// two reads is seen (what was read ahead is dropped).
TEST_F(StoreTest, QuickScanReadsTheSameAndSeesOtherWriters) {
    auto f = opened(forma1Desc());
    setSync(false);
    for (int i = 1; i <= 700; ++i) {
        Rec r = frm(i, ("Фирма " + std::to_string((i * 37) % 700)).c_str());
        ASSERT_EQ(f->add(r.data()), 0);
    }
    for (Position p = 3; p <= 700; p += 5) ASSERT_EQ(f->remove(p), 0);
    setSync(true);
    File q(forma1Desc(), dir);
    ASSERT_EQ(q.open(), 0);
    q.setQuickScan(true);
    for (int k : {0, 1, 2}) EXPECT_EQ(order(q, k, 281, 120), order(*f, k, 281, 120)) << k;
    Rec r(4827);
    ASSERT_EQ(q.setStart(1), 0);
    ASSERT_EQ(q.next(r.data()), 0);
    Rec changed = frm(2, "Изменено");
    ASSERT_EQ(f->put(Position(2), changed.data()), 0);
    ASSERT_EQ(q.next(r.data()), 0);
    EXPECT_EQ(r.text(281, 120), "Изменено");
}
