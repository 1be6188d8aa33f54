// Transactions, a real crash in the middle of one, and several processes and threads at once.
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "fixture.h"

using namespace vxt;

TEST_F(StoreTest, TransactionsCommitAndRollBack) {
    auto a = opened(forma1Desc());
    File b(forma1Desc(), dir);
    ASSERT_EQ(b.open(), 0);
    Rec r1 = frm(1, "Первый"), r2 = frm(2, "Второй");
    ASSERT_EQ(a->add(r1.data()), 0);
    ASSERT_EQ(a->add(r2.data()), 0);

    // Committed: the other handle sees nothing before the commit and everything after.
    ASSERT_EQ(a->begin(), 0);
    EXPECT_EQ(a->begin(), TransactionError);
    for (int n = 3; n <= 5; ++n) {
        Rec r = frm(n, "Новый");
        ASSERT_EQ(a->add(r.data()), 0);
    }
    Rec dup = frm(4, "Дубль");
    EXPECT_EQ(a->add(dup.data()), DuplicateKey);  // refused, the transaction goes on
    EXPECT_EQ(a->records(), 5u);
    EXPECT_EQ(b.records(), 2u);
    Rec probe = frm(4, "");
    EXPECT_EQ(b.get(1, probe.data()), RecordNotFound);
    EXPECT_EQ(b.begin(200), FileLocked);  // the lock timeout
    ASSERT_EQ(a->commit(), 0);
    EXPECT_EQ(b.records(), 5u);
    EXPECT_EQ(b.get(1, probe.data()), 0);
    EXPECT_EQ(order(b, 2, 281, 120), (std::vector<std::string>{"Второй", "Новый", "Новый", "Новый", "Первый"}));

    // Rolled back: a change, a deletion and an addition all disappear, also from the keys.
    ASSERT_EQ(a->begin(), 0);
    Rec ch = frm(1, "Изменён");
    ASSERT_EQ(a->put(Position(1), ch.data()), 0);
    ASSERT_EQ(a->remove(Position(2)), 0);
    Rec added = frm(6, "Добавлен");
    ASSERT_EQ(a->add(added.data()), 0);
    EXPECT_EQ(a->records(), 5u);
    ASSERT_EQ(a->rollback(), 0);
    EXPECT_EQ(a->rollback(), TransactionError);
    EXPECT_EQ(a->commit(), TransactionError);
    for (File* f : {a.get(), &b}) {
        EXPECT_EQ(f->records(), 5u);
        EXPECT_EQ(numbers(*f, 1, 0, 4), (std::vector<long long>{1, 2, 3, 4, 5}));
        EXPECT_EQ(order(*f, 2, 281, 120), (std::vector<std::string>{"Второй", "Новый", "Новый", "Новый", "Первый"}));
    }

    // A handle closed inside a transaction rolls it back and frees the lock.
    ASSERT_EQ(b.begin(), 0);
    ASSERT_EQ(b.remove(Position(3)), 0);
    b.close();
    EXPECT_EQ(a->begin(200), 0);
    EXPECT_EQ(a->records(), 5u);
    EXPECT_EQ(a->commit(), 0);
}

namespace {
// Two batches of 1,000 certificates, each batch one transaction, then waits to be killed. Tells
// the parent "m" half-way through the first transaction and "c" just before the second commits.
[[noreturn]] void crashChild(const std::string& dir, int signalFd) {
    File f(forma1Desc(), dir);
    if (f.open() != 0) _exit(2);
    for (int batch = 0; batch < 2; ++batch) {
        std::uint32_t base = f.records();
        if (f.begin() != 0) _exit(3);
        for (std::uint32_t i = 1; i <= 1000; ++i) {
            std::string name = "Получатель " + std::to_string((base + i) % 37);
            Rec r = frm(base + i, name.c_str(), "Крупный рогатый скот, 12 голов");
            if (f.add(r.data()) != 0) _exit(4);
            if (i == 500 && batch == 0 && write(signalFd, "m", 1) != 1) _exit(5);
        }
        if (batch == 1 && write(signalFd, "c", 1) != 1) _exit(5);
        if (f.commit() != 0) _exit(6);
    }
    for (;;) pause();
}
}  // namespace

TEST_F(StoreTest, ProcessKilledInTheMiddleOfATransactionLeavesAllOrNothing) {
    { auto f = opened(forma1Desc()); }
    std::mt19937 rng(20261210);
    std::uint32_t before = 0;
    int interrupted = 0;  // rounds killed while a commit was writing (its journal still valid)
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        int p[2];
        ASSERT_EQ(pipe(p), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(p[0]);
            crashChild(dir, p[1]);
        }
        close(p[1]);
        // Even rounds: in the middle of adding. Odd rounds: during or just after the second commit.
        char c = 0;
        ASSERT_EQ(read(p[0], &c, 1), 1);
        if (round % 2) {
            ASSERT_EQ(read(p[0], &c, 1), 1);
        }
        close(p[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(round % 2 ? rng() % 5000 : rng() % 2000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself with " << WEXITSTATUS(status);

        File f(forma1Desc(), dir);
        std::string j = slurp(f.journalPath());
        interrupted += j.size() >= 8 && j.compare(0, 6, "VXJRNL") == 0;
        ASSERT_EQ(f.open(), 0) << f.errorMessage();  // undone from the journal, keys still valid
        std::uint32_t n = f.records();
        EXPECT_EQ(n % 1000, 0u) << n;
        EXPECT_GE(n, before);
        before = n;
        std::vector<long long> k1 = numbers(f, 1, 0, 4), all = numbers(f, 0, 0, 4);
        ASSERT_EQ(k1.size(), n);
        ASSERT_EQ(all.size(), n);
        for (std::uint32_t i = 0; i < n; ++i) ASSERT_EQ(k1[i], i + 1);
        EXPECT_EQ(order(f, 2, 281, 120).size(), n);
        if (n) {
            Rec probe = frm(n, "");
            ASSERT_EQ(f.get(1, probe.data()), 0);
            EXPECT_EQ(probe.text(401, 40), "Крупный рогатый скот, 12 голов");
        }
    }
    RecordProperty("interrupted_commits", interrupted);
    std::printf("commits interrupted: %d of 8, %u records kept\n", interrupted, before);
}

namespace {
std::string token(char who, int i) { return std::string(1, who) + "-" + std::to_string(i); }
// A counterparty whose name is a token and a fill letter repeated: a torn record shows as mixed letters.
Rec tokenRecord(const std::string& tok, int variant) {
    Rec r = kag(0, "");
    std::memcpy(r.b.data() + 5, tok.data(), tok.size());
    std::memset(r.b.data() + 5 + tok.size(), ' ', 1);
    std::memset(r.b.data() + 6 + tok.size(), 0xC0 + variant % 32, 79 - tok.size());  // А..Я
    return r;
}
bool whole(const Rec& r) {
    const unsigned char* n = r.b.data() + 5;
    std::size_t sp = std::string_view(reinterpret_cast<const char*>(n), 80).find(' ');
    if (sp == std::string::npos || sp + 1 >= 80) return false;
    for (std::size_t i = sp + 2; i < 80; ++i)
        if (n[i] != n[sp + 1]) return false;
    return true;
}
std::string tokenOf(const Rec& r) {
    std::string s(reinterpret_cast<const char*>(r.b.data() + 5), 80);
    return s.substr(0, s.find(' '));
}

// Adds records for a while (some in small transactions, some changed afterwards); returns how many.
int writer(const std::string& dir, char who, std::chrono::steady_clock::time_point until) {
    File f(kagentDesc(), dir);
    if (f.open() != 0) return -1;
    int i = 0;
    std::vector<Position> mine;
    while (std::chrono::steady_clock::now() < until) {
        bool txn = i % 10 == 0;
        if (txn && f.begin() != 0) {
            fprintf(stderr, "%c begin: %s\n", who, f.errorMessage().c_str());
            return -2;
        }
        for (int k = 0; k < (txn ? 3 : 1); ++k, ++i) {
            Rec r = tokenRecord(token(who, i), i);
            if (f.add(r.data()) != 0) {
                fprintf(stderr, "%c add: %s\n", who, f.errorMessage().c_str());
                return -3;
            }
            mine.push_back(f.position());
        }
        if (txn && f.commit() != 0) return -4;
        if (i % 7 == 0) {  // change an earlier record of our own: same token, other letters
            Position p = mine[std::size_t(i) / 2];
            Rec r(85);
            if (f.get(p, r.data()) != 0) return -5;
            Rec changed = tokenRecord(tokenOf(r), i + 5);
            std::memcpy(changed.b.data(), r.b.data(), 5);
            if (f.put(p, changed.data()) != 0) return -6;
        }
    }
    return i;
}
}  // namespace

TEST_F(StoreTest, ProcessesAndThreadsWriteTheSameFilesAtOnce) {
    { auto f = opened(kagentDesc()); }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int counts[2];
    pid_t pids[2];
    int pipes[2][2];
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(pipe(pipes[c]), 0);
        pids[c] = fork();
        ASSERT_GE(pids[c], 0);
        if (pids[c] == 0) {
            int n = writer(dir, char('A' + c), until);
            (void)!write(pipes[c][1], &n, sizeof n);
            _exit(0);
        }
        close(pipes[c][1]);
    }
    // In this process: a writer thread and a reader thread, each with a handle of its own.
    int threadCount = 0;
    std::thread t([&] { threadCount = writer(dir, 'T', until); });
    std::atomic<long> seen{0}, torn{0};
    std::string readerError;
    std::thread reader([&] {
        File f(kagentDesc(), dir);
        if (f.open(mode::ReadOnly) != 0) {
            readerError = f.errorMessage();
            return;
        }
        Rec r(85);
        while (std::chrono::steady_clock::now() < until) {
            f.setStart(2);
            while (f.next(r.data()) == 0) {
                ++seen;
                if (!whole(r)) ++torn;
            }
            if (f.lastError() != NoMoreRecords) {
                readerError = f.errorMessage();
                return;
            }
        }
    });
    t.join();
    reader.join();
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(read(pipes[c][0], &counts[c], sizeof counts[c]), ssize_t(sizeof counts[c]));
        close(pipes[c][0]);
        waitpid(pids[c], nullptr, 0);
        ASSERT_GT(counts[c], 0) << "writer " << c << " failed";
    }
    ASSERT_GT(threadCount, 0);
    EXPECT_EQ(readerError, "");
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(seen.load(), 0);

    File f(kagentDesc(), dir);
    ASSERT_EQ(f.open(), 0);
    std::map<std::string, int> tokens;
    std::set<long long> ids;
    Rec r(85);
    f.setStart(1);
    while (f.next(r.data()) == 0) {
        EXPECT_TRUE(whole(r));
        ++tokens[tokenOf(r)];
        ids.insert(r.dec(0, 5));
    }
    std::size_t total = std::size_t(counts[0]) + counts[1] + threadCount;
    EXPECT_EQ(f.records(), total);
    EXPECT_EQ(tokens.size(), total);  // none lost, none twice
    for (auto& [tok, n] : tokens) EXPECT_EQ(n, 1) << tok;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < counts[c]; ++i) EXPECT_EQ(tokens.count(token(char('A' + c), i)), 1u);
    ASSERT_EQ(ids.size(), total);  // auto-numbers unique and without gaps
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), (long long)total);
    EXPECT_EQ(order(f, 2, 5, 80).size(), total);
}
