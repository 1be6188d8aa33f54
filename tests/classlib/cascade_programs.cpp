// Two and four programs changing the same data files at once, through the data dictionary's
// relation managers: cascades that overlap (one holds its locks while the other reads and then
// writes the same parent), and a short soak that counts lost, doubled, torn and detached records.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "framework/classlib/processclass.h"
#include "framework/store/store.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"

namespace {

namespace fs = std::filesystem;
using vx::Level::Benign;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
std::string w(const std::string& utf8) { return w(utf8.c_str()); }
std::string t(std::string_view cp1251) { return vx::cp::fromCp1251(cp1251).toStdString(); }

// A one-byte pipe signal between the two programs.
struct Signal {
    int fd[2];
    Signal() { EXPECT_EQ(::pipe(fd), 0); }
    ~Signal() { ::close(fd[0]), ::close(fd[1]); }
    void give() { EXPECT_EQ(::write(fd[1], "x", 1), 1); }
    bool take() {
        char c;
        return ::read(fd[0], &c, 1) == 1;
    }
};

class Programs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool once = [] {
            vexlo::installDictionaryHooks(0);
            return true;
        }();
        (void)once;
    }
    void SetUp() override {
        char tmpl[] = "/tmp/vx_progs_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        GLOBALERRORS.SetDisplay([this](const vx::ShownMessage& m) {
            shown.push_back(m.id);
            return true;
        });
        GLOBALERRORS.SetEndProgram([](const vx::ShownMessage&) {});
        vx::store::setSync(false);  // the files are thrown away; what is tested is the locking
        DCTINIT();
    }
    void TearDown() override {
        DCTKILL();
        vx::RelationManager::SetCommitHook(nullptr);
        vx::store::setSync(true);
        fs::current_path(old);
        fs::remove_all(dir);
    }

    static std::vector<vx::RelationManager*> relates() {
        return {RELATE_KAGENT.get(), RELATE_FORMA1.get(), RELATE_ANIM.get()};
    }
    static void openAll() {
        for (vx::RelationManager* r : relates()) r->Open();
    }
    static void closeAll() {
        for (vx::RelationManager* r : relates()) r->Close();
    }
    static void addKagent(const std::string& name) {
        ACCESS_KAGENT->PrimeRecord();
        KAG->NAME = w(name);
        ACCESS_KAGENT->Insert();
    }
    static void addCert(int no, const std::string& recipient) {
        ACCESS_FORMA1->PrimeRecord();
        FRM->NOMSV = no;
        FRM->F2 = w(recipient);
        FRM->OPIS = std::to_string(no);  // a record's own check: the number it was written with
        ACCESS_FORMA1->Insert();
    }
    static void addAnimal(int nform, int npp) {
        ACCESS_ANIM->PrimeRecord();
        ANI->NFORM = nform;
        ANI->NPP = npp;
        ACCESS_ANIM->Insert();
    }
    static bool fetchKagent(const std::string& name) {
        KAG->NAME = w(name);
        return ACCESS_KAGENT->Fetch(KAG_K2) == Benign;
    }
    static bool fetchCert(int no) {
        FRM->NOMSV = no;
        return ACCESS_FORMA1->Fetch(FRM_K1) == Benign;
    }
    static int rename(const std::string& to) {
        KAG->NAME = w(to);
        return RELATE_KAGENT->Update();
    }
    static int renumber(int to) {
        FRM->NOMSV = to;
        FRM->OPIS = std::to_string(to);
        return RELATE_FORMA1->Update();
    }

    // What the files hold: counterparties, certificates "no recipient", animal rows "nform/npp".
    struct State {
        std::vector<std::string> kagents, certs, animals;
        int unreadable = 0;
    };
    static State state() {
        State s;
        // Every record of a file in the order of `key`; a read that fails counts as unreadable.
        auto each = [&s](vx::FileManager& fm, int key, const std::function<void()>& take) {
            fm.SetStart(key);
            for (int e; (e = fm.TryNext()) != vx::store::NoMoreRecords;) {
                if (e) ++s.unreadable;
                else take();
            }
        };
        each(*ACCESS_KAGENT, KAG_K1, [&] { s.kagents.push_back(t(KAG->NAME.view())); });
        each(*ACCESS_FORMA1, FRM_K1, [&] {
            s.certs.push_back(std::to_string(FRM->NOMSV.toInt()) + " " + t(FRM->F2.view()));
            if (std::string(FRM->OPIS.view()).find(std::to_string(FRM->NOMSV.toInt())) != 0) ++s.unreadable;  // torn
        });
        each(*ACCESS_ANIM, 0, [&] { s.animals.push_back(std::to_string(ANI->NFORM.toInt()) + "/" + std::to_string(ANI->NPP.toInt())); });
        return s;
    }

    std::string dir;
    fs::path old;
    std::vector<int> shown;
};

// Program A changes a parent and holds its locks for a second before committing; program B read
// the same parent before A wrote and changes it while A holds the locks. B waits, finds the parent
// changed since it read it, is told so and writes nothing; nothing is ever detached.
TEST_F(Programs, OverlappingCascadesOnOneParentNeverDetachChildren) {
    using Act = std::function<int()>;
    struct Case {
        const char* name;
        std::function<bool()> read;  // both programs read the parent
        Act a, b;
        std::vector<std::string> certs, animals, kagents;
    };
    auto romashka = [] { return fetchKagent("ООО Ромашка"); };
    auto cert1 = [] { return fetchCert(1); };
    const std::vector<std::string> kag{"ООО Ромашка", "ИП Иванов"};
    std::vector<Case> cases = {
        {"rename/rename", romashka, [] { return rename("ООО Лютик"); }, [] { return rename("ООО Василёк"); },
         {"1 ООО Лютик", "2 ООО Лютик", "3 ИП Иванов"}, {"1/1", "1/2", "3/1"}, {"ООО Лютик", "ИП Иванов"}},
        {"renumber/renumber", cert1, [] { return renumber(8); }, [] { return renumber(9); },
         {"2 ООО Ромашка", "3 ИП Иванов", "8 ООО Ромашка"}, {"8/1", "8/2", "3/1"}, kag},
        {"renumber/delete", cert1, [] { return renumber(8); }, [] { return RELATE_FORMA1->Delete(); },
         {"2 ООО Ромашка", "3 ИП Иванов", "8 ООО Ромашка"}, {"8/1", "8/2", "3/1"}, kag},
        {"delete/renumber", cert1, [] { return RELATE_FORMA1->Delete(); }, [] { return renumber(9); },
         {"2 ООО Ромашка", "3 ИП Иванов"}, {"3/1"}, kag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        closeAll();
        for (auto& e : fs::directory_iterator(dir)) fs::remove_all(e.path());
        openAll();
        addKagent("ООО Ромашка");
        addKagent("ИП Иванов");
        addCert(1, "ООО Ромашка");
        addCert(2, "ООО Ромашка");
        addCert(3, "ИП Иванов");
        addAnimal(1, 1);
        addAnimal(1, 2);
        addAnimal(3, 1);
        closeAll();
        Signal aRead, bRead, aLocked;
        pid_t pid = fork();
        if (pid == 0) {
            openAll();
            if (!c.read()) _exit(3);
            aRead.give();
            bRead.take();
            vx::RelationManager::SetCommitHook([&](int stage) {
                if (stage != -1) return;
                aLocked.give();
                std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            });
            _exit(c.a() == Benign ? 0 : 4);
        }
        openAll();
        ASSERT_TRUE(aRead.take());
        ASSERT_TRUE(c.read());
        bRead.give();
        ASSERT_TRUE(aLocked.take());
        shown.clear();
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_NE(c.b(), Benign);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2100));
        EXPECT_EQ(shown, std::vector<int>{vx::FileMsg::ChangedByOther});
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        State s = state();
        EXPECT_EQ(s.kagents, c.kagents);
        EXPECT_EQ(s.certs, c.certs);
        std::multiset<std::string> animals(s.animals.begin(), s.animals.end());
        EXPECT_EQ(animals, std::multiset<std::string>(c.animals.begin(), c.animals.end()));
    }
}

// 2 and then 4 programs for a few seconds each: every program renames shared counterparties and
// renumbers, deletes and adds certificates of its own (with their animal rows). Afterwards no
// certificate is lost or doubled, none is torn, none names a counterparty that does not exist,
// and every animal row belongs to a certificate.
TEST_F(Programs, ASoakOfTwoAndFourProgramsLosesAndDetachesNothing) {
    for (int programs : {2, 4}) {
        SCOPED_TRACE(programs);
        closeAll();
        for (auto& e : fs::directory_iterator(dir)) fs::remove_all(e.path());
        openAll();
        const int kagents = 6;
        for (int k = 1; k <= kagents; ++k) addKagent("K" + std::to_string(k));
        for (int p = 0; p < programs; ++p)
            for (int i = 0; i < 12; ++i) {
                int no = 1000 * (p + 1) + i;
                addCert(no, "K" + std::to_string(1 + i % kagents));
                addAnimal(no, 1);
                addAnimal(no, 2);
            }
        closeAll();
        std::vector<pid_t> pids;
        for (int p = 0; p < programs; ++p) {
            pid_t pid = fork();
            if (pid == 0) {
                openAll();
                std::mt19937 rng(unsigned(p * 7919 + programs));
                std::set<int> mine;
                for (int i = 0; i < 12; ++i) mine.insert(1000 * (p + 1) + i);
                int next = 1000 * (p + 1) + 100, renames = 0;
                auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
                while (std::chrono::steady_clock::now() < until) {
                    int op = int(rng() % 4);
                    auto pick = [&] { return *std::next(mine.begin(), long(rng() % mine.size())); };
                    if (op == 0) {  // rename a shared counterparty (a cascade into the certificates)
                        KAG->ID = 1 + int(rng() % kagents);
                        if (ACCESS_KAGENT->Fetch(KAG_K1) != Benign) continue;
                        std::string name = t(KAG->NAME.view());
                        name = name.substr(0, name.find(' ')) + " v" + std::to_string(p) + "." + std::to_string(++renames);
                        rename(name);
                    } else if (op == 1 && !mine.empty()) {  // renumber one of mine (a cascade into its rows)
                        int from = pick();
                        if (!fetchCert(from)) _exit(10);
                        if (renumber(next) == Benign) mine.erase(from), mine.insert(next);
                        ++next;
                    } else if (op == 2 && mine.size() > 4) {  // delete one of mine with its rows
                        int no = pick();
                        if (!fetchCert(no)) _exit(11);
                        if (RELATE_FORMA1->Delete() == Benign) mine.erase(no);
                    } else {  // add one, naming a counterparty as it is called now: read and
                              // written with the counterparties locked, so no rename passes it by
                        vx::store::File& kf = *ACCESS_KAGENT->File;
                        if (kf.begin(2000) != 0) continue;
                        KAG->ID = 1 + int(rng() % kagents);
                        bool ok = ACCESS_KAGENT->Fetch(KAG_K1) == Benign;
                        if (ok) {
                            ACCESS_FORMA1->PrimeRecord();
                            FRM->NOMSV = next;
                            FRM->F2 = std::string(KAG->NAME.view());
                            FRM->OPIS = std::to_string(next);
                            ok = ACCESS_FORMA1->Insert() == Benign;
                        }
                        kf.rollback();
                        if (ok) {
                            addAnimal(next, 1);
                            addAnimal(next, 2);
                            mine.insert(next);
                        }
                        ++next;
                    }
                }
                {
                    std::ofstream out(dir + "/mine." + std::to_string(p));
                    for (int no : mine) out << no << "\n";
                }
                closeAll();
                _exit(0);
            }
            pids.push_back(pid);
        }
        for (pid_t pid : pids) {
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        openAll();
        State s = state();
        std::set<std::string> names(s.kagents.begin(), s.kagents.end());
        std::map<int, int> certs, rows;
        int detached = 0;
        for (const std::string& c : s.certs) {
            int no = std::stoi(c);
            ++certs[no];
            if (!names.count(c.substr(c.find(' ') + 1))) ++detached;
        }
        for (const std::string& a : s.animals) ++rows[std::stoi(a)];
        std::set<int> expected;
        for (int p = 0; p < programs; ++p) {
            std::ifstream in(dir + "/mine." + std::to_string(p));
            for (int no; in >> no;) expected.insert(no);
        }
        int lost = 0, doubled = 0, orphans = 0, extra = 0;
        for (int no : expected) lost += !certs.count(no);
        for (auto& [no, n] : certs) doubled += n > 1, extra += !expected.count(no);
        for (auto& [no, n] : rows) orphans += !certs.count(no) ? n : 0, doubled += certs.count(no) && n != 2;
        EXPECT_EQ(lost, 0);
        EXPECT_EQ(doubled, 0);
        EXPECT_EQ(extra, 0);
        EXPECT_EQ(s.unreadable, 0) << "torn or unreadable records";
        EXPECT_EQ(detached, 0);
        EXPECT_EQ(orphans, 0);
        EXPECT_EQ(s.kagents.size(), std::size_t(kagents));
        std::printf("soak of %d programs: %zu certificates, %zu animal rows, lost %d, doubled %d, torn %d, detached %d\n",
                    programs, s.certs.size(), s.animals.size(), lost, doubled, s.unreadable, detached + orphans);
    }
}

// A counterparty renamed while the disk is full: nothing changes, neither the counterparty nor its
// certificates, and the message says so truly; reopened after space was freed, the files are as
// they were and the rename then goes through. Needs a small file system of its own (tmpfs, as root).
TEST_F(Programs, ARenameOnAFullDiskLeavesEverythingAsItWas) {
    DCTKILL();
    fs::current_path(old);
    std::string mnt = dir + "_full";
    fs::create_directory(mnt);
    if (::geteuid() != 0 || ::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=12m") != 0) {
        fs::remove(mnt);
        fs::current_path(dir);
        DCTINIT();
        GTEST_SKIP() << "a full disk needs a tmpfs of its own: run as root with mount allowed (" << std::strerror(errno) << ")";
    }
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH), fs::remove(at); }
    } unmount{mnt};
    fs::current_path(mnt);
    DCTINIT();
    openAll();
    addKagent("ООО Ромашка");
    for (int i = 1; i <= 1000; ++i) addCert(i, "ООО Ромашка");
    closeAll();
    // Fill the disk, then free a little: enough for the counterparty's own commit, far too little
    // for the certificates'.
    {
        std::vector<char> block(1 << 16, 'x');
        int fd = ::open("filler", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ASSERT_EQ(errno, ENOSPC);
        ASSERT_EQ(::ftruncate(fd, off_t(fs::file_size("filler")) - (256 << 10)), 0);
        ::close(fd);
    }
    openAll();
    ASSERT_TRUE(fetchKagent("ООО Ромашка"));
    std::vector<std::string> texts;
    GLOBALERRORS.SetDisplay([&](const vx::ShownMessage& m) {
        shown.push_back(m.id);
        texts.push_back(m.text.toStdString());
        return true;
    });
    EXPECT_NE(rename("ООО Лютик"), Benign);
    ASSERT_EQ(shown, std::vector<int>{vx::FileMsg::WriteFailed});
    EXPECT_NE(texts[0].find("No change was made"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("No space left on device"), std::string::npos) << texts[0];
    auto unchanged = [] {
        State s = state();
        EXPECT_EQ(s.kagents, std::vector<std::string>{"ООО Ромашка"});
        EXPECT_EQ(s.certs.size(), 1000u);
        EXPECT_EQ(std::count_if(s.certs.begin(), s.certs.end(), [](const std::string& c) { return c.ends_with(" ООО Ромашка"); }), 1000);
        EXPECT_EQ(s.unreadable, 0);
    };
    unchanged();
    closeAll();
    openAll();  // still full: nothing to replay, nothing said
    unchanged();
    closeAll();
    fs::remove("filler");
    shown.clear();
    openAll();
    unchanged();
    ASSERT_TRUE(fetchKagent("ООО Ромашка"));
    EXPECT_EQ(rename("ООО Лютик"), Benign);
    State s = state();
    EXPECT_EQ(std::count_if(s.certs.begin(), s.certs.end(), [](const std::string& c) { return c.ends_with(" ООО Лютик"); }), 1000);
    EXPECT_TRUE(shown.empty());
    closeAll();
    DCTKILL();
    fs::current_path(dir);
    DCTINIT();
}

// Damage and faults found in one program's files are told once, clearly, and the rest goes on:
// a damaged certificate is named by its position while the others are read; an unreadable cascade
// journal is set aside; a counterparty number that no longer fits names the numbering failure.
TEST_F(Programs, FaultsAreToldOnceAndClearly) {
    std::vector<std::pair<int, std::string>> told;
    GLOBALERRORS.SetDisplay([&](const vx::ShownMessage& m) {
        told.emplace_back(m.id, m.text.toStdString());
        return m.id != vx::Msg::RetryAutoInc;  // "Try Again?": no
    });
    openAll();
    for (int i = 1; i <= 3; ++i) addCert(i, "ООО Ромашка");
    addKagent("ООО Ромашка");
    KAG->ID = 999999999;  // the largest number KAG:ID holds
    KAG->NAME = w("ИП Последний");
    ASSERT_EQ(ACCESS_KAGENT->Insert(), Benign);
    closeAll();
    {  // one hundred bytes into the middle of certificate 2 (the slot after the header page)
        std::fstream f(dir + "/FORMA1.DAT", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096 + 4835 + 2000);
        f.write(std::string(100, 'Z').data(), 100);
    }
    std::ofstream(dir + "/CASCADE.JNL") << "not a journal";
    told.clear();
    openAll();
    // The loop every list-like reader of the program runs: Next until it is not benign. It goes
    // past the damaged certificate to the end, and the damage is told once.
    std::vector<int> read;
    ACCESS_FORMA1->SetStart(FRM_K1);
    while (ACCESS_FORMA1->Next() == Benign) read.push_back(FRM->NOMSV.toInt());
    EXPECT_EQ(ACCESS_FORMA1->LastError(), vx::store::NoMoreRecords);
    EXPECT_EQ(read, (std::vector<int>{1, 3}));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].first, vx::FileMsg::JournalSetAside);
    EXPECT_EQ(told[1].first, vx::FileMsg::ReadFailed);
    EXPECT_NE(told[1].second.find("record 2 damaged"), std::string::npos) << told[1].second;
    EXPECT_EQ(told[1].second.find("/"), std::string::npos) << "no directories in %ErrorText: " << told[1].second;
    EXPECT_TRUE(fs::exists(dir + "/CASCADE.BAD"));
    EXPECT_FALSE(fs::exists(dir + "/CASCADE.JNL"));
    // The reports' reading, in file order and sorted: every readable certificate, and at the end
    // one message that says how many were left out.
    for (const char* order : {"", "-FRM:nomsv"}) {
        SCOPED_TRACE(order);
        told.clear();
        vx::ViewClass view;
        vx::ProcessClass process;
        process.Init(view, *RELATE_FORMA1);
        process.AppendOrder(order);
        ASSERT_EQ(process.Reset(), Benign);
        std::vector<int> reported;
        while (process.Reading()) process.Read();
        while (process.Next() == Benign) reported.push_back(FRM->NOMSV.toInt());
        std::sort(reported.begin(), reported.end());
        EXPECT_EQ(reported, (std::vector<int>{1, 3}));
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].first, vx::FileMsg::LeftOut);
        EXPECT_NE(told[0].second.find("1"), std::string::npos) << told[0].second;
        EXPECT_NE(told[0].second.find("record 2 damaged"), std::string::npos) << told[0].second;
        process.Kill();
    }
    told.clear();
    told.clear();
    EXPECT_NE(ACCESS_KAGENT->PrimeRecord(), Benign);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, vx::Msg::RetryAutoInc);
    EXPECT_EQ(told[0].second.find("No Error"), std::string::npos) << told[0].second;
    EXPECT_NE(told[0].second.find("does not fit"), std::string::npos) << told[0].second;
    closeAll();
    told.clear();
    openAll();
    ASSERT_TRUE(fetchCert(3));
    EXPECT_TRUE(told.empty()) << "the journal was set aside once";
}


// A data file whose header lost a bit of its change counter, or whose last record was cut short:
// the program rebuilds it as it rebuilds a damaged key (message 30, then on) and every whole
// certificate is there; a file that is not a data file at all still ends the program (26).
TEST_F(Programs, ADamagedHeaderOrAShortLastRecordIsRebuiltOnOpen) {
    std::vector<int> told;
    GLOBALERRORS.SetDisplay([&](const vx::ShownMessage& m) {
        told.push_back(m.id);
        return true;
    });
    openAll();
    for (int i = 1; i <= 20; ++i) addCert(i, "ООО Ромашка");
    closeAll();
    const std::string dat = dir + "/FORMA1.DAT";
    std::string good;
    {
        std::ifstream f(dat, std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(f), {});
    }
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        std::vector<int> told;
        int records;
    };
    const std::vector<Case> cases = {
        {"counter bit 0 flipped", [](std::string& s) { s[48] ^= 0x01; }, {vx::Msg::RebuildKey}, 20},
        {"last record cut short", [](std::string& s) { s.resize(s.size() - 100); }, {vx::Msg::RebuildKey}, 19},
        {"garbage", [](std::string& s) { s.replace(0, 8, "NOTADATA"); }, {vx::Msg::OpenFailed}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string s = good;
        c.damage(s);
        std::ofstream(dat, std::ios::binary | std::ios::trunc) << s;
        fs::remove(dir + "/FORMA1.BAD");
        told.clear();
        openAll();
        std::vector<int> read;
        if (ACCESS_FORMA1->SetStart(FRM_K1) == Benign)
            while (ACCESS_FORMA1->Next() == Benign) read.push_back(FRM->NOMSV.toInt());
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(int(read.size()), c.records);
        if (c.records) {
            EXPECT_EQ(read.front(), 1);
        }
        closeAll();
    }
}

}  // namespace
