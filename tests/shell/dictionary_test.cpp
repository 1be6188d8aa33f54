// The data dictionary over real files in a temporary working directory: keys, new-certificate
// defaults, the relations' cascades and restrictions, lazy opening with its messages, per-thread
// buffers and crash safety of a cascade.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/engine/threads.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"

namespace {

namespace fs = std::filesystem;
using vx::Level::Benign;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
std::string t(std::string_view cp1251) { return vx::cp::fromCp1251(cp1251).toStdString(); }

struct Shown {
    int id;
    std::string text;
};

class Dictionary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool once = [] {
            // Every logical thread of the tests builds its own managers; the main stack calls
            // DCTINIT itself.
            vexlo::installDictionaryHooks(0);
            return true;
        }();
        (void)once;
    }
    void SetUp() override {
        char tmpl[] = "/tmp/vx_dct_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        GLOBALERRORS.SetDisplay([this](const vx::ShownMessage& m) {
            shown.push_back({m.id, m.text.toStdString()});
            return true;
        });
        GLOBALERRORS.SetEndProgram([](const vx::ShownMessage&) {});
        DCTINIT();
    }
    void TearDown() override {
        DCTKILL();
        vx::RelationManager::SetCommitHook(nullptr);
        fs::current_path(old);
        fs::remove_all(dir);
    }
    std::vector<int> ids() const {
        std::vector<int> r;
        for (auto& s : shown) r.push_back(s.id);
        return r;
    }
    bool exists(const char* name) const { return fs::exists(fs::path(dir) / name); }

    void addKagent(const char* name) {
        ASSERT_EQ(ACCESS_KAGENT->PrimeRecord(), Benign);
        KAG->NAME = w(name);
        ASSERT_EQ(ACCESS_KAGENT->Insert(), Benign);
    }
    void addCert(int no, const char* recipient) {
        ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
        FRM->NOMSV = no;
        FRM->F2 = w(recipient);
        ASSERT_EQ(ACCESS_FORMA1->Insert(), Benign);
    }
    void addAnimal(int nform, int npp) {
        ASSERT_EQ(ACCESS_ANIM->PrimeRecord(), Benign);
        ANI->NFORM = nform;
        ANI->NPP = npp;
        ASSERT_EQ(ACCESS_ANIM->Insert(), Benign);
    }
    // Recipients of all certificates in number order: "1 name".
    std::vector<std::string> certs() {
        std::vector<std::string> r;
        EXPECT_EQ(ACCESS_FORMA1->SetStart(FRM_K1), Benign);
        while (ACCESS_FORMA1->Next() == Benign) r.push_back(std::to_string(FRM->NOMSV.toInt()) + " " + t(FRM->F2.view()));
        return r;
    }
    // Animal rows in file order: "nform/npp".
    std::vector<std::string> animals() {
        std::vector<std::string> r;
        EXPECT_EQ(ACCESS_ANIM->SetStart(0), Benign);
        while (ACCESS_ANIM->Next() == Benign) r.push_back(std::to_string(ANI->NFORM.toInt()) + "/" + std::to_string(ANI->NPP.toInt()));
        return r;
    }
    std::vector<std::string> kagents() {
        std::vector<std::string> r;
        EXPECT_EQ(ACCESS_KAGENT->SetStart(KAG_K1), Benign);
        while (ACCESS_KAGENT->Next() == Benign) r.push_back(std::to_string(KAG->ID.toInt()) + " " + t(KAG->NAME.view()));
        return r;
    }
    void openAll() {
        for (vx::RelationManager* r : {static_cast<vx::RelationManager*>(RELATE_KAGENT.get()),
                                       static_cast<vx::RelationManager*>(RELATE_FORMA1.get()),
                                       static_cast<vx::RelationManager*>(RELATE_ANIM.get())})
            ASSERT_EQ(r->Open(), Benign);
    }
    void closeAll() {
        RELATE_KAGENT->Close();
        RELATE_FORMA1->Close();
        RELATE_ANIM->Close();
    }
    // A counterparty and three certificates, two of which name it (one in other letters), each
    // with animal rows.
    void sample() {
        openAll();
        addKagent("ООО Ромашка");
        addKagent("ИП Иванов");
        addCert(1, "ООО Ромашка");
        addCert(2, "ооо РОМАШКА");
        addCert(3, "ИП Иванов");
        addAnimal(1, 1);
        addAnimal(1, 2);
        addAnimal(3, 1);
    }
    bool fetchKagent(const char* name) {
        KAG->NAME = w(name);
        return ACCESS_KAGENT->Fetch(KAG_K2) == Benign;
    }
    bool fetchCert(int no) {
        FRM->NOMSV = no;
        return ACCESS_FORMA1->Fetch(FRM_K1) == Benign;
    }

    std::string dir;
    fs::path old;
    std::vector<Shown> shown;
};

TEST_F(Dictionary, KeysRefuseADuplicateNumberButAllowEqualNames) {
    openAll();
    addCert(5, "А");
    ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
    FRM->NOMSV = 5;
    EXPECT_EQ(ACCESS_FORMA1->Insert(), vx::Level::Notify);
    ASSERT_EQ(ids(), std::vector<int>{15});
    EXPECT_NE(shown[0].text.find("По номеру свидетельства"), std::string::npos) << shown[0].text;
    EXPECT_EQ(ACCESS_FORMA1->Records(), 1u);

    addKagent("ООО Ромашка");
    addKagent("ООО Ромашка");
    EXPECT_EQ(kagents(), (std::vector<std::string>{"1 ООО Ромашка", "2 ООО Ромашка"}));
    EXPECT_EQ(ACCESS_KAGENT->KeyDisplayName(KAG_K1).toStdString(), "По iD");
    EXPECT_EQ(ACCESS_KAGENT->FindKey("KAG:K2"), KAG_K2);
    EXPECT_EQ(ids(), std::vector<int>{15});
}

TEST_F(Dictionary, ANewCertificateIsClearedAndPrimedWithItsDefaults) {
    openAll();
    std::memset(static_cast<FRM_RECORD*>(&*FRM), 'x', sizeof(FRM_RECORD));
    ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
    EXPECT_EQ(t(FRM->COMMENT.view()), "Выдано");
    for (auto* sp : {&FRM->SPIN1, &FRM->SPIN2, &FRM->SPIN3, &FRM->SPIN4, &FRM->SPIN5, &FRM->SPIN6, &FRM->SPIN7,
                     &FRM->SPIN8, &FRM->SPIN9, &FRM->SPIN10, &FRM->SPIN11, &FRM->SPIN12, &FRM->SPIN13,
                     &FRM->SPIN14, &FRM->SPIN15})
        EXPECT_EQ(sp->toInt(), 8);
    EXPECT_EQ(FRM->RSH.get(), 0);
    EXPECT_EQ(FRM->NOMSV.toInt(), 0);
    EXPECT_TRUE(FRM->F2.isBlank());
    EXPECT_EQ(FRM->DATAVV.get(), 0);
    // Only certificates have defaults; a counterparty gets the next number.
    addKagent("А");
    ASSERT_EQ(ACCESS_KAGENT->PrimeRecord(), Benign);
    EXPECT_EQ(KAG->ID.toInt(), 2);
    EXPECT_TRUE(KAG->NAME.isBlank());
}

TEST_F(Dictionary, RenamingACounterpartyRenamesItsCertificatesInAnyLetterCase) {
    sample();
    ASSERT_TRUE(fetchKagent("ООО Ромашка"));
    KAG->NAME = w("ООО Лютик");
    EXPECT_EQ(RELATE_KAGENT->Update(), Benign);
    EXPECT_EQ(certs(), (std::vector<std::string>{"1 ООО Лютик", "2 ООО Лютик", "3 ИП Иванов"}));
    EXPECT_TRUE(fetchKagent("ооо лютик"));
    // A change that leaves the link alone is a plain write.
    KAG->NAME = w("ООО Лютик");
    EXPECT_EQ(RELATE_KAGENT->Update(), Benign);
    EXPECT_TRUE(shown.empty());
}

TEST_F(Dictionary, DeletingAReferencedCounterpartyIsRefused) {
    sample();
    ASSERT_TRUE(fetchKagent("ООО Ромашка"));
    EXPECT_EQ(RELATE_KAGENT->Delete(), vx::Level::Notify);
    ASSERT_EQ(ids(), std::vector<int>{33});
    EXPECT_NE(shown[0].text.find("FORMA1"), std::string::npos) << shown[0].text;
    EXPECT_EQ(kagents().size(), 2u);
    EXPECT_EQ(certs().size(), 3u);

    // Once no certificate names it, it goes.
    addKagent("Никто");
    ASSERT_TRUE(fetchKagent("Никто"));
    EXPECT_EQ(RELATE_KAGENT->Delete(), Benign);
    EXPECT_EQ(kagents(), (std::vector<std::string>{"1 ООО Ромашка", "2 ИП Иванов"}));
    EXPECT_EQ(ids(), std::vector<int>{33});
}

TEST_F(Dictionary, RenumberingAndDeletingACertificateCarryItsAnimalRows) {
    sample();
    ASSERT_TRUE(fetchCert(1));
    FRM->NOMSV = 7;
    EXPECT_EQ(RELATE_FORMA1->Update(), Benign);
    EXPECT_EQ(animals(), (std::vector<std::string>{"7/1", "7/2", "3/1"}));

    // Renumbering onto a taken number is refused and changes nothing, rows included.
    ASSERT_TRUE(fetchCert(7));
    FRM->NOMSV = 3;
    EXPECT_EQ(RELATE_FORMA1->Update(), vx::Level::Notify);
    EXPECT_EQ(ids(), std::vector<int>{15});
    EXPECT_EQ(animals(), (std::vector<std::string>{"7/1", "7/2", "3/1"}));
    EXPECT_EQ(certs(), (std::vector<std::string>{"2 ооо РОМАШКА", "3 ИП Иванов", "7 ООО Ромашка"}));

    ASSERT_TRUE(fetchCert(7));
    EXPECT_EQ(RELATE_FORMA1->Delete(), Benign);
    EXPECT_EQ(animals(), (std::vector<std::string>{"3/1"}));
    EXPECT_EQ(certs(), (std::vector<std::string>{"2 ооо РОМАШКА", "3 ИП Иванов"}));
}

TEST_F(Dictionary, FilesOpenLazilyAndAreCreatedWithoutAMessage) {
    // Opening counts a use; nothing touches the disk yet.
    ASSERT_EQ(RELATE_FORMA1->Open(), Benign);
    EXPECT_FALSE(exists("FORMA1.DAT"));
    EXPECT_FALSE(ACCESS_FORMA1->IsOpen());
    // The first read creates and opens it, silently.
    FRM->NOMSV = 1;
    EXPECT_EQ(ACCESS_FORMA1->Fetch(FRM_K1), vx::Level::Notify);
    EXPECT_TRUE(exists("FORMA1.DAT") && exists("FORMA1.K01") && exists("FORMA1.K02"));
    EXPECT_TRUE(shown.empty());
    RELATE_FORMA1->Close();
    EXPECT_FALSE(ACCESS_FORMA1->IsOpen());
    // The files this thread never used were never made.
    EXPECT_FALSE(exists("KAGENT.DAT") || exists("ANIM.DAT") || exists("LAST.DAT"));
    // A use without an open request is a program error.
    EXPECT_EQ(ACCESS_LAST->Fetch(LAS_K1), vx::Level::Program);
    EXPECT_EQ(ids(), std::vector<int>{42});
    EXPECT_FALSE(exists("LAST.DAT"));

    // Opening with the related files counts them too.
    RELATE_KAGENT->SetOpenRelated();
    ASSERT_EQ(RELATE_KAGENT->Open(), Benign);
    EXPECT_EQ(ACCESS_ANIM->OpenCount(), 1);
    EXPECT_EQ(ACCESS_FORMA1->OpenCount(), 1);
    RELATE_KAGENT->Close();
    EXPECT_EQ(ACCESS_ANIM->OpenCount(), 0);
}

TEST_F(Dictionary, AFileHeldExclusivelyGivesAccessDeniedThenAccessError) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
        vx::store::File f(vexlo::forma1File());
        if (f.create() || f.open(vx::store::mode::Exclusive)) _exit(1);
        if (write(ready[1], "x", 1) != 1) _exit(2);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(RELATE_FORMA1->Open(), Benign);
    FRM->NOMSV = 1;
    EXPECT_EQ(ACCESS_FORMA1->Fetch(FRM_K1), vx::Level::Fatal);
    EXPECT_EQ(ids(), (std::vector<int>{2, 26}));
    EXPECT_NE(shown[1].text.find("FORMA1"), std::string::npos) << shown[1].text;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    RELATE_FORMA1->Close();
}

TEST_F(Dictionary, AnInvalidKeyFileIsReportedAndRebuilt) {
    sample();
    closeAll();
    fs::resize_file(fs::path(dir) / "FORMA1.K02", 100);
    ASSERT_EQ(RELATE_FORMA1->Open(), Benign);
    FRM->F2 = w("ИП ИВАНОВ");
    EXPECT_EQ(ACCESS_FORMA1->Fetch(FRM_K2), Benign);
    EXPECT_EQ(FRM->NOMSV.toInt(), 3);
    EXPECT_EQ(ids(), std::vector<int>{30});
    RELATE_FORMA1->Close();
}

TEST_F(Dictionary, EveryLogicalThreadHasItsOwnManagersAndBuffers) {
    sample();
    closeAll();
    std::vector<std::string> log;
    bool bRead = false;
    HIDE_ACCESS_FORMA1* mine = ACCESS_FORMA1.get();
    auto reader = [&](int no, bool waitForB) {
        return [&, no, waitForB] {
            log.push_back(ACCESS_FORMA1.get() && ACCESS_FORMA1.get() != mine ? "managers" : "none");
            RELATE_FORMA1->Open();
            FRM->NOMSV = no;
            ACCESS_FORMA1->Fetch(FRM_K1);
            if (waitForB) vx::eng::detail::waitUntil([&] { return bRead; });
            else bRead = true;
            log.push_back(std::to_string(no) + " " + t(FRM->F2.view()) + (ACCESS_KAGENT->IsOpen() ? " kagent" : ""));
            RELATE_FORMA1->Close();
        };
    };
    // The threads run from Qt's event loop, as in the program.
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "dictionary-test";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    int a = vx::eng::START(reader(1, true));
    int b = vx::eng::START(reader(3, false));
    for (int i = 0; i < 100 && (vx::eng::threadAlive(a) || vx::eng::threadAlive(b)); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    EXPECT_FALSE(vx::eng::threadAlive(a) || vx::eng::threadAlive(b));
    EXPECT_EQ(log, (std::vector<std::string>{"managers", "managers", "3 ИП Иванов", "1 ООО Ромашка"}));
    EXPECT_EQ(ACCESS_FORMA1.get(), mine);
    EXPECT_TRUE(shown.empty());
}

// A cascade cut short by kill -9 at each step of its commit: the next opener finds either the
// old state or the whole new one.
TEST_F(Dictionary, ACascadeKilledMidwayLeavesAllOrNothing) {
    struct Case {
        int killAt;
        bool renamed;
    };
    for (Case c : {Case{-1, false}, Case{0, true}, Case{1, true}}) {
        SCOPED_TRACE(c.killAt);
        fs::current_path(old);
        fs::remove_all(dir);
        fs::create_directory(dir);
        fs::current_path(dir);
        sample();
        closeAll();
        pid_t pid = fork();
        if (pid == 0) {
            vx::RelationManager::SetCommitHook([&](int stage) {
                if (stage == c.killAt) raise(SIGKILL);
            });
            openAll();
            if (!fetchKagent("ООО Ромашка")) _exit(3);
            KAG->NAME = w("ООО Лютик");
            RELATE_KAGENT->Update();
            _exit(4);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        openAll();
        auto k = kagents();
        auto f = certs();
        if (c.renamed) {
            EXPECT_EQ(k, (std::vector<std::string>{"1 ООО Лютик", "2 ИП Иванов"}));
            EXPECT_EQ(f, (std::vector<std::string>{"1 ООО Лютик", "2 ООО Лютик", "3 ИП Иванов"}));
        } else {
            EXPECT_EQ(k, (std::vector<std::string>{"1 ООО Ромашка", "2 ИП Иванов"}));
            EXPECT_EQ(f, (std::vector<std::string>{"1 ООО Ромашка", "2 ооо РОМАШКА", "3 ИП Иванов"}));
        }
        EXPECT_FALSE(exists("CASCADE.JNL"));
        closeAll();
    }
    EXPECT_TRUE(shown.empty());
}

}  // namespace
