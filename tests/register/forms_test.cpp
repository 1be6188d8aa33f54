// The animal-row form and the counterparty form, driven headless as the register runs them: on a
// started logical thread that has ANIM open with its related files, with the record positioned or
// primed and the request in GLOBALREQUEST; over real data files in a temporary working directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QString>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/vars.h"
#include "framework/platform/profile.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/procedures.h"
#include "shell/runtime.h"
#include "controls_apart.h"

namespace {

namespace fs = std::filesystem;
namespace eng = vx::eng;
using eng::Prop;
using vx::Level::Benign;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
std::string t(std::string_view cp1251) { return vx::cp::fromCp1251(cp1251).toStdString(); }
QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// Controls of the two windows.
namespace anim {
constexpr int NFORM = 4, NPP = 5, KICHKA = 6, INVENT = 7, POL = 14, PORODA = 15, VOSRAST = 16, PRIM = 17, OK = 22, CANCEL = 23;
constexpr int kEntries[] = {NFORM, NPP, KICHKA, INVENT, POL, PORODA, VOSRAST, PRIM};
}  // namespace anim
namespace agent {
constexpr int ID = 4, NAME = 6, OK = 7, CANCEL = 8;
}

// The files opened for a block of direct reads and writes on the running thread.
struct FilesOpen {
    FilesOpen() {
        RELATE_KAGENT->Open();
        RELATE_FORMA1->Open();
        RELATE_ANIM->Open();
    }
    ~FilesOpen() {
        RELATE_ANIM->Close();
        RELATE_FORMA1->Close();
        RELATE_KAGENT->Close();
    }
};

int addAgent(const char* name) {
    EXPECT_EQ(ACCESS_KAGENT->PrimeRecord(), Benign);
    KAG->NAME = w(name);
    EXPECT_EQ(ACCESS_KAGENT->Insert(), Benign);
    return static_cast<int>(KAG->ID.toInt());
}
void addCert(int no, const char* recipient) {
    EXPECT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
    FRM->NOMSV = no;
    FRM->F2 = w(recipient);
    EXPECT_EQ(ACCESS_FORMA1->Insert(), Benign);
}
void addAnimal(int nform, int npp, const char* name, const char* invent) {
    EXPECT_EQ(ACCESS_ANIM->PrimeRecord(), Benign);
    ANI->NFORM = nform;
    ANI->NPP = npp;
    ANI->KICHKA = w(name);
    ANI->INVENT = w(invent);
    EXPECT_EQ(ACCESS_ANIM->Insert(), Benign);
}

// "id name" in number order.
std::vector<std::string> agents() {
    std::vector<std::string> r;
    EXPECT_EQ(ACCESS_KAGENT->SetStart(KAG_K1), Benign);
    while (ACCESS_KAGENT->Next() == Benign) r.push_back(std::to_string(KAG->ID.toInt()) + " " + t(KAG->NAME.view()));
    return r;
}
// "no recipient" in number order.
std::vector<std::string> certs() {
    std::vector<std::string> r;
    EXPECT_EQ(ACCESS_FORMA1->SetStart(FRM_K1), Benign);
    while (ACCESS_FORMA1->Next() == Benign) r.push_back(std::to_string(FRM->NOMSV.toInt()) + " " + t(FRM->F2.view()));
    return r;
}
// "nform/npp name|invent|sex|breed|age|note" in file order.
std::vector<std::string> animals() {
    std::vector<std::string> r;
    EXPECT_EQ(ACCESS_ANIM->SetStart(0), Benign);
    while (ACCESS_ANIM->Next() == Benign)
        r.push_back(std::to_string(ANI->NFORM.toInt()) + "/" + std::to_string(ANI->NPP.toInt()) + " " + t(ANI->KICHKA.view()) + "|" +
                    t(ANI->INVENT.view()) + "|" + t(ANI->POL.view()) + "|" + t(ANI->PORODA.view()) + "|" + t(ANI->VOSRAST.view()) + "|" +
                    t(ANI->PRIM.view()));
    return r;
}

// What the register's browses leave in the buffers before they run a form.
// An insert of an animal row: the row cleared, its certificate's number from the certificate
// list's record buffer.
void primeAnimal(int certNo) {
    FRM->NOMSV = certNo;
    ASSERT_EQ(ACCESS_FORMA1->Fetch(FRM_K1), Benign);
    ASSERT_EQ(ACCESS_ANIM->PrimeRecord(), Benign);
    ANI->NFORM = FRM->NOMSV.toInt();
}
// The highlighted row, read again.
void chooseAnimal(int nform, int npp) {
    ASSERT_EQ(ACCESS_ANIM->SetStart(0), Benign);
    while (ACCESS_ANIM->Next() == Benign)
        if (ANI->NFORM.toInt() == nform && ANI->NPP.toInt() == npp) return;
    FAIL() << "no row " << nform << "/" << npp;
}
void primeAgent() { ASSERT_EQ(ACCESS_KAGENT->PrimeRecord(), Benign); }
void chooseAgent(int id) {
    KAG->ID = id;
    ASSERT_EQ(ACCESS_KAGENT->Fetch(KAG_K1), Benign);
}

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vx_forms_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        qputenv("VEXLO_INI_DIR", QFile::encodeName(QString::fromStdString(dir)));
        // Every started thread builds its own managers, as the register's thread does.
        vexlo::processStart(0);
        // Other suites of this program bind the record names to buffers of their own.
        eng::vars::addRecord(KAGENT_DESC, [] { return static_cast<void*>(static_cast<KAG_RECORD*>(&*KAG)); },
                             vexlo::kagentFile().oem);
        eng::vars::addRecord(ANIM_DESC, [] { return static_cast<void*>(static_cast<ANI_RECORD*>(&*ANI)); },
                             vexlo::animFile().oem);
        INIMGR.Init(QStringLiteral("vexlo.INI"));
    }
    void TearDown() override {
        h.idle();
        fs::current_path(old);
        fs::remove_all(dir);
        qunsetenv("VEXLO_INI_DIR");
    }

    // Runs fn on a thread of its own to the end.
    void onThread(const std::function<void()>& fn) {
        const int th = h.start([&fn] {
            FilesOpen files;
            fn();
        });
        ASSERT_TRUE(h.waitEnd(th));
    }

    // A counterparty "ООО Ромашка" (1) and "СПК Рассвет" (2); certificates 120, 121, 122 of the
    // first (121 typed in other letters), 123 of the second, 124 of a name that only starts like
    // the first; two animal rows of 120 and one of 123.
    void sample() {
        onThread([] {
            addAgent("ООО Ромашка");
            addAgent("СПК Рассвет");
            addCert(120, "ООО Ромашка");
            addCert(121, "ооо РОМАШКА");
            addCert(122, "ООО Ромашка");
            addCert(123, "СПК Рассвет");
            addCert(124, "ООО Ромашка-Агро");
            addAnimal(120, 1, "Буян", "INV-1");
            addAnimal(120, 2, "Зорька", "INV-2");
            addAnimal(123, 1, "Мальва", "INV-3");
        });
    }

    struct Snapshot {
        std::vector<std::string> agents, certs, animals;
    };
    Snapshot snapshot() {
        Snapshot s;
        onThread([&s] {
            s.agents = agents();
            s.certs = certs();
            s.animals = animals();
        });
        return s;
    }

    // Runs a form as the register does: on the register's thread, with ANIM open together with
    // FORMA1 and KAGENT, the buffer prepared by `prepare`, and the request in GLOBALREQUEST. The
    // form's answer lands in `response`. Returns the thread.
    int call(void (*form)(), int request, std::function<void()> prepare) {
        response = -1;
        return h.start([this, form, request, prepare] {
            RELATE_ANIM->SetOpenRelated();
            RELATE_ANIM->Open();
            if (prepare) prepare();
            eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
            form();
            response = eng::GLOBALRESPONSE;
            RELATE_ANIM->Close();
        });
    }

    bool ended(int th) { return h.waitEnd(th); }
    static std::string iniKey(const char* section, const char* key) {
        return vx::platform::getProfileString(section, key, "<none>", "vexlo.INI");
    }

    std::string dir;
    fs::path old;
    eng::test::Harness h;
    int response = -1;
};

// ---------------------------------------------------------------------------------------------
// The animal-row form

TEST_F(Forms, AnimalRowInsertShowsTheCertificateNumberReadOnlyAndWritesTheRow) {
    sample();
    const int th = call(UPDATEANIM, vx::Request::Insert, [] { primeAnimal(123); });
    eng::Window& win = h.win();
    EXPECT_EQ(win.title(), u("Информация о животном"));
    EXPECT_EQ(win.statusText(2), u("Добавить запись"));
    EXPECT_EQ(h.value(anim::NFORM).trimmed(), u("123"));
    EXPECT_TRUE(h.prop(anim::NFORM, Prop::ReadOnly).toBool());
    for (int feq : anim::kEntries) {
        if (feq == anim::NFORM) continue;
        EXPECT_TRUE(h.value(feq).trimmed().isEmpty()) << feq;
        EXPECT_FALSE(h.prop(feq, Prop::ReadOnly).toBool()) << feq;
    }
    h.fill(anim::NPP, u("2"));
    h.fill(anim::KICHKA, u("Ласточка"));
    h.fill(anim::INVENT, u("RU-0457"));
    h.fill(anim::POL, u("кобыла"));
    h.fill(anim::PORODA, u("орловская рысистая"));
    h.fill(anim::VOSRAST, u("4 года"));
    h.fill(anim::PRIM, u("племенное свидетельство"));
    h.click(anim::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Completed);
    EXPECT_TRUE(h.dialogs().empty());
    const Snapshot s = snapshot();
    ASSERT_EQ(s.animals.size(), 4u);
    EXPECT_EQ(s.animals[3], "123/2 Ласточка|RU-0457|кобыла|орловская рысистая|4 года|племенное свидетельство");
    // The window was closed normally: its place is kept under the procedure's name.
    EXPECT_EQ(iniKey("UpdateAnim", "Maximize"), "No");
}

TEST_F(Forms, AnimalRowChangeRewritesOnlyTheChosenRow) {
    sample();
    const int th = call(UPDATEANIM, vx::Request::Change, [] { chooseAnimal(120, 2); });
    EXPECT_EQ(h.win().statusText(2), u("Изменить запись"));
    EXPECT_EQ(h.value(anim::NFORM).trimmed(), u("120"));
    EXPECT_EQ(h.value(anim::KICHKA).trimmed(), u("Зорька"));
    h.fill(anim::KICHKA, u("Зоренька"));
    h.fill(anim::PRIM, u("переименована"));
    h.click(anim::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Completed);
    const Snapshot s = snapshot();
    EXPECT_EQ(s.animals, (std::vector<std::string>{"120/1 Буян|INV-1||||", "120/2 Зоренька|INV-2||||переименована",
                                                   "123/1 Мальва|INV-3||||"}));
}

TEST_F(Forms, AnimalRowViewIsReadOnlyAndAnswersCancelled) {
    sample();
    const Snapshot before = snapshot();
    const int th = call(UPDATEANIM, vx::Request::View, [] { chooseAnimal(120, 1); });
    EXPECT_EQ(h.win().statusText(2), u("Просмотреть запись"));
    EXPECT_EQ(h.win().title(), u("Информация о животном"));
    EXPECT_EQ(h.value(anim::KICHKA).trimmed(), u("Буян"));
    for (int feq : anim::kEntries) {
        EXPECT_TRUE(h.prop(feq, Prop::ReadOnly).toBool()) << feq;
        EXPECT_FALSE(h.prop(feq, Prop::Disable).toBool()) << feq;
    }
    h.click(anim::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(snapshot().animals, before.animals);
}

TEST_F(Forms, AnimalRowDeleteRemovesTheRowAtOnceWithoutAWindow) {
    sample();
    const int th = call(UPDATEANIM, vx::Request::Delete, [] { chooseAnimal(120, 1); });
    // The thread has already ended: no window waited for the user, no question was asked.
    EXPECT_FALSE(eng::threadAlive(th));
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(response, vx::Response::Completed);
    EXPECT_EQ(iniKey("UpdateAnim", "Maximize"), "<none>");
    const Snapshot s = snapshot();
    EXPECT_EQ(s.animals, (std::vector<std::string>{"120/2 Зорька|INV-2||||", "123/1 Мальва|INV-3||||"}));
    EXPECT_EQ(s.certs.size(), 5u);
}

TEST_F(Forms, AnimalRowHistoryKeyPutsBackWhatTheLastWriteOnTheThreadHeld) {
    sample();
    bool second = false;
    response = -1;
    const int th = h.start([&] {
        RELATE_ANIM->SetOpenRelated();
        RELATE_ANIM->Open();
        // Before any write on this thread the history record is blank.
        chooseAnimal(123, 1);
        eng::GLOBALREQUEST = vx::Request::Change;
        UPDATEANIM();
        primeAnimal(120);
        second = true;
        eng::GLOBALREQUEST = vx::Request::Insert;
        UPDATEANIM();
        response = eng::GLOBALRESPONSE;
        RELATE_ANIM->Close();
    });
    h.select(anim::KICHKA);
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(h.value(anim::KICHKA).trimmed().isEmpty());
    h.fill(anim::KICHKA, u("Мальва"));
    h.fill(anim::PORODA, u("холмогорская"));
    h.click(anim::OK);
    ASSERT_TRUE(h.waitFor([&] { return second && h.window(); }));
    EXPECT_EQ(h.win().statusText(2), u("Добавить запись"));
    for (int feq : {anim::KICHKA, anim::PORODA, anim::INVENT}) {
        h.select(feq);
        h.press(Qt::Key_H, Qt::ControlModifier);
    }
    EXPECT_EQ(h.value(anim::KICHKA).trimmed(), u("Мальва"));
    EXPECT_EQ(h.value(anim::PORODA).trimmed(), u("холмогорская"));
    EXPECT_EQ(h.value(anim::INVENT).trimmed(), u("INV-3"));
    EXPECT_TRUE(h.value(anim::POL).trimmed().isEmpty());  // not asked for
    h.click(anim::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Completed);
    EXPECT_EQ(snapshot().animals.back(), "120/0 Мальва|INV-3||холмогорская||");
}

// ---------------------------------------------------------------------------------------------
// The cancel question, in both forms

TEST_F(Forms, TheCancelQuestionComesOnlyAfterAChange) {
    struct Case {
        const char* what;
        void (*form)();
        int request;
        bool edit;
        bool closeBox;  // the window's close box instead of ?CANCEL
    };
    const Case cases[] = {
        {"animal change untouched", UPDATEANIM, vx::Request::Change, false, false},
        {"animal change edited", UPDATEANIM, vx::Request::Change, true, false},
        {"animal insert edited, close box", UPDATEANIM, vx::Request::Insert, true, true},
        {"animal insert untouched, close box", UPDATEANIM, vx::Request::Insert, false, true},
        {"counterparty change edited", UPDATEAGENT, vx::Request::Change, true, false},
        {"counterparty change untouched", UPDATEAGENT, vx::Request::Change, false, false},
        {"counterparty insert edited, close box", UPDATEAGENT, vx::Request::Insert, true, true},
        {"counterparty insert untouched", UPDATEAGENT, vx::Request::Insert, false, false},
    };
    sample();
    const Snapshot before = snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool isAnim = c.form == UPDATEANIM;
        const int field = isAnim ? anim::KICHKA : agent::NAME;
        const int cancel = isAnim ? anim::CANCEL : agent::CANCEL;
        std::function<void()> prepare;
        if (isAnim) prepare = c.request == vx::Request::Insert ? std::function<void()>([] { primeAnimal(120); }) : [] { chooseAnimal(120, 1); };
        else prepare = c.request == vx::Request::Insert ? std::function<void()>(primeAgent) : [] { chooseAgent(1); };
        const int th = call(c.form, c.request, prepare);
        const int firstFocus = h.focus();
        auto closeIt = [&] {
            if (c.closeBox) h.win().close();
            else h.click(cancel);
            h.idle();
        };
        if (c.edit) {
            h.type(field, u("Новое имя"));  // typed, not yet accepted
            closeIt();
            auto boxes = h.dialogs();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].title, u("Changes will be lost!"));
            EXPECT_EQ(boxes[0].text, u("Are you sure you want to cancel?"));
            EXPECT_EQ(boxes[0].buttons, eng::btn::Yes | eng::btn::No);
            ASSERT_TRUE(h.answer(eng::btn::No));
            h.idle();
            ASSERT_TRUE(eng::threadAlive(th));  // still open, as typed, focus back on the first field
            EXPECT_EQ(h.value(field).trimmed(), u("Новое имя"));
            EXPECT_EQ(h.focus(), firstFocus);
            closeIt();
            ASSERT_EQ(h.dialogs().size(), 1u);
            ASSERT_TRUE(h.answer(eng::btn::Yes));
        } else {
            closeIt();
            EXPECT_TRUE(h.dialogs().empty());
        }
        ASSERT_TRUE(ended(th));
        EXPECT_EQ(response, vx::Response::Cancelled);
        const Snapshot after = snapshot();
        EXPECT_EQ(after.agents, before.agents);
        EXPECT_EQ(after.animals, before.animals);
    }
}

// ---------------------------------------------------------------------------------------------
// The counterparty form

TEST_F(Forms, CounterpartyTitleNamesTheRequest) {
    struct Case {
        int request;
        const char* title;
        bool readOnly;
    };
    const Case cases[] = {
        {vx::Request::View, "View Record", true},
        {vx::Request::Insert, "Добавить запись", false},
        {vx::Request::Change, "Изменить запись", false},
    };
    sample();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const int th = call(UPDATEAGENT, c.request, c.request == vx::Request::Insert ? std::function<void()>(primeAgent) : [] { chooseAgent(2); });
        EXPECT_EQ(h.win().title(), u(c.title));
        EXPECT_TRUE(h.prop(agent::ID, Prop::ReadOnly).toBool());
        EXPECT_EQ(h.prop(agent::NAME, Prop::ReadOnly).toBool(), c.readOnly);
        // OK in view mode closes the window; elsewhere it saves (the change leaves the name as it was).
        h.click(agent::OK);
        ASSERT_TRUE(ended(th));
        EXPECT_EQ(response, c.request == vx::Request::View ? vx::Response::Cancelled : vx::Response::Completed);
    }
    // The insert wrote a counterparty with an empty name; nothing else changed.
    EXPECT_EQ(snapshot().agents, (std::vector<std::string>{"1 ООО Ромашка", "2 СПК Рассвет", "3 "}));
}

TEST_F(Forms, CounterpartyInsertShowsTheNewNumberAndAllowsANameThatExists) {
    onThread([] {
        addAgent("ООО Ромашка");
        addAgent("КФХ Никитин");
        addAgent("ИП Сидоров");
        chooseAgent(2);
        ASSERT_EQ(RELATE_KAGENT->Delete(), Benign);  // two left, the highest is 3
    });
    const int th = call(UPDATEAGENT, vx::Request::Insert, primeAgent);
    EXPECT_EQ(h.value(agent::ID).trimmed(), u("4"));
    EXPECT_TRUE(h.value(agent::NAME).trimmed().isEmpty());
    h.fill(agent::NAME, u("ООО Ромашка"));
    h.click(agent::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Completed);
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(snapshot().agents, (std::vector<std::string>{"1 ООО Ромашка", "3 ИП Сидоров", "4 ООО Ромашка"}));
    EXPECT_EQ(iniKey("UpdateAgent", "Maximize"), "No");
}

// The counterparty's file keeps its text in code page 866: a name with characters it cannot hold
// is refused with one message that names them, never stored with '?' in their place. A name
// typed past the 80 characters the file keeps stops there while typing.
TEST_F(Forms, CounterpartyNameTakesOnlyWhatItsFileKeeps) {
    onThread([] { addAgent("ООО Ромашка"); });
    const int th = call(UPDATEAGENT, vx::Request::Change, [] { chooseAgent(1); });
    h.type(agent::NAME, u("Zakład ę 中 ✓"));
    EXPECT_EQ(h.value(agent::NAME), u("Zakład ę 中 ✓"));  // shown as typed until it is handed in
    h.click(agent::OK);
    ASSERT_EQ(h.dialogs().size(), 1u);
    const QString said = h.dialogs()[0].text;
    EXPECT_EQ(h.dialogs()[0].title, u("Неверное значение"));
    EXPECT_TRUE(said.contains(u("«Zakład ę 中 ✓» не подходит для поля «Контрагент физическое/юридическое лицо»"))) << said.toStdString();
    EXPECT_TRUE(said.contains(u("Знаки ł ę 中 ✓ в этом поле не сохраняются"))) << said.toStdString();
    ASSERT_TRUE(h.answer(eng::btn::Ok));
    EXPECT_EQ(h.value(agent::NAME), u("ООО Ромашка"));
    EXPECT_EQ(h.focus(), agent::NAME);
    EXPECT_EQ(snapshot().agents, (std::vector<std::string>{"1 ООО Ромашка"}));
    h.target(th);  // the snapshot read on a thread of its own
    // The Russian quotes are 1251's but not 866's; the straight ones are both.
    h.type(agent::NAME, u("ООО «Заря» — Агро"));
    h.click(agent::OK);
    ASSERT_EQ(h.dialogs().size(), 1u);
    EXPECT_TRUE(h.dialogs()[0].text.contains(u("Знаки « » — в этом поле"))) << h.dialogs()[0].text.toStdString();
    ASSERT_TRUE(h.answer(eng::btn::Ok));
    const QString longName = QString(100, QChar(0x0416));  // Ж
    h.type(agent::NAME, longName);
    EXPECT_EQ(h.value(agent::NAME), longName.left(80));
    h.type(agent::NAME, u("ООО \"Заря\" - Агро №2"));
    h.click(agent::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(snapshot().agents, (std::vector<std::string>{"1 ООО \"Заря\" - Агро №2"}));
}

// The animal rows' file keeps 1251: a sign 1251 holds but 866 does not is taken there.
TEST_F(Forms, AnimalRowTakesWhatCodePage1251Holds) {
    sample();
    const int th = call(UPDATEANIM, vx::Request::Change, [] { chooseAnimal(120, 1); });
    h.type(anim::PRIM, u("«пл» — №5"));
    h.type(anim::KICHKA, QString(20, QChar(0x0411)));  // Б: the name keeps 15
    EXPECT_EQ(h.value(anim::KICHKA), QString(15, QChar(0x0411)));
    h.click(anim::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_TRUE(h.dialogs().empty());
    const auto rows = snapshot().animals;
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], "120/1 " + QString(15, QChar(0x0411)).toStdString() + "|INV-1||||«пл» — №5");
}

TEST_F(Forms, CounterpartyRenameCarriesTheNewNameIntoEveryCertificateOfIt) {
    sample();
    const int th = call(UPDATEAGENT, vx::Request::Change, [] { chooseAgent(1); });
    EXPECT_EQ(h.value(agent::NAME).trimmed(), u("ООО Ромашка"));
    h.fill(agent::NAME, u("ООО \"Ромашка-Плюс\""));
    h.click(agent::OK);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Completed);
    EXPECT_TRUE(h.dialogs().empty());
    const Snapshot s = snapshot();
    EXPECT_EQ(s.agents, (std::vector<std::string>{"1 ООО \"Ромашка-Плюс\"", "2 СПК Рассвет"}));
    EXPECT_EQ(s.certs, (std::vector<std::string>{"120 ООО \"Ромашка-Плюс\"", "121 ООО \"Ромашка-Плюс\"", "122 ООО \"Ромашка-Плюс\"",
                                                 "123 СПК Рассвет", "124 ООО Ромашка-Агро"}));
    EXPECT_EQ(s.animals.size(), 3u);
}

TEST_F(Forms, CounterpartyDeleteIsRefusedWhileCertificatesNameIt) {
    sample();
    const Snapshot before = snapshot();
    const int th = call(UPDATEAGENT, vx::Request::Delete, [] { chooseAgent(1); });
    auto boxes = h.dialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, u("Referential Integrity Delete Error"));
    EXPECT_TRUE(boxes[0].text.startsWith(u("This record is referenced from the file "))) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains(u("FORMA1"), Qt::CaseInsensitive)) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.endsWith(u(". This record cannot be deleted while these references exist.")));
    EXPECT_EQ(boxes[0].buttons, eng::btn::Ok);
    ASSERT_TRUE(h.answer(eng::btn::Ok));
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Cancelled);
    const Snapshot after = snapshot();
    EXPECT_EQ(after.agents, before.agents);
    EXPECT_EQ(after.certs, before.certs);
    EXPECT_EQ(after.animals, before.animals);
    EXPECT_EQ(iniKey("UpdateAgent", "Maximize"), "<none>");
}

TEST_F(Forms, CounterpartyWithoutCertificatesIsDeletedAtOnce) {
    sample();
    onThread([] { addAgent("КФХ Никитин"); });
    const int th = call(UPDATEAGENT, vx::Request::Delete, [] { chooseAgent(3); });
    EXPECT_FALSE(eng::threadAlive(th));
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(response, vx::Response::Completed);
    const Snapshot s = snapshot();
    EXPECT_EQ(s.agents, (std::vector<std::string>{"1 ООО Ромашка", "2 СПК Рассвет"}));
    EXPECT_EQ(s.certs.size(), 5u);
}

TEST_F(Forms, CounterpartyControlsFollowTheWindowInPlaceAndSize) {
    sample();
    const int th = call(UPDATEAGENT, vx::Request::Change, [] { chooseAgent(1); });
    eng::Window& win = h.win();
    const int w0 = win.width(), h0 = win.height();
    struct Box {
        int x, y, w, h;
    };
    auto box = [&](int feq) {
        return Box{h.prop(feq, Prop::X).toInt(), h.prop(feq, Prop::Y).toInt(), h.prop(feq, Prop::Width).toInt(), h.prop(feq, Prop::Height).toInt()};
    };
    const Box ok0 = box(agent::OK), name0 = box(agent::NAME);
    win.setSize(w0 * 2, h0 * 2);
    h.idle();
    ASSERT_EQ(win.width(), w0 * 2);
    // Buttons and entries grow with the window as well as move: within a unit of rounding.
    const Box ok1 = box(agent::OK), name1 = box(agent::NAME);
    EXPECT_NEAR(ok1.x, ok0.x * 2, 1);
    EXPECT_NEAR(ok1.y, ok0.y * 2, 1);
    EXPECT_NEAR(ok1.w, ok0.w * 2, 1);
    EXPECT_NEAR(ok1.h, ok0.h * 2, 1);
    EXPECT_NEAR(name1.w, name0.w * 2, 1);
    EXPECT_NEAR(name1.h, name0.h * 2, 1);
    // The opened size is the smallest the window can get.
    win.setSize(w0 / 2, h0 / 2);
    h.idle();
    EXPECT_GE(win.width(), w0);
    EXPECT_GE(win.height(), h0);
    h.click(agent::CANCEL);
    ASSERT_TRUE(ended(th));
    EXPECT_EQ(response, vx::Response::Cancelled);
}

// Both forms are resizable, from the size they open with upwards: whatever the size, their
// controls stay apart and inside the window.
TEST_F(Forms, ResizedFormsKeepTheirControlsApart) {
    sample();
    struct Case {
        const char* what;
        void (*form)();
        int cancel;
        std::function<void()> prepare;
    };
    const Case cases[] = {{"animal row", UPDATEANIM, anim::CANCEL, [] { chooseAnimal(120, 1); }},
                          {"counterparty", UPDATEAGENT, agent::CANCEL, [] { chooseAgent(2); }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int th = call(c.form, vx::Request::Change, c.prepare);
        eng::Window& win = h.win();
        const eng::test::ControlsApart layout(win);
        ASSERT_FALSE(layout.empty());
        const int w0 = win.width(), h0 = win.height();
        for (const auto& [w, hh] : {std::pair{w0 + 40, h0}, {w0, h0 + 60}, {w0 * 3 / 2, h0 * 3 / 2}, {w0 * 2, h0 + 20}}) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(hh));
            win.setSize(w, hh);
            h.idle();
            for (const std::string& fault : layout.faults()) ADD_FAILURE() << fault;
        }
        h.click(c.cancel);
        ASSERT_TRUE(ended(th));
    }
}

}  // namespace
