// Record round trips, the code-page rule, the key rules and positioning.
#include "fixture.h"

using namespace vxt;

TEST_F(StoreTest, CyrillicRoundTripsInAllFourFilesWithOemTextOnDisk) {
    struct Case {
        FileDesc desc;
        Rec rec;
        std::size_t off, size;
        bool oem;
    };
    Rec las(918);
    las.dec(0, 5, 1);
    las.text(5, 30, "Основная настройка");
    las.dec(35 + 4 * 112, 4, -1234);  // the two-place coordinate keeps its digits
    las.text(867, 31, "Times New Roman CYR");
    std::vector<Case> cases = {
        {kagentDesc(), kag(0, "ООО «Заря» Ёлкин"), 5, 80, true},
        {forma1Desc(), frm(7, "Колхоз им. Ленина", "Свиньи живые, ёжики"), 281, 120, true},
        {animDesc(), ani(7, 1, "Бурёнка «Зорька»"), 8, 15, false},
        {lastDesc(), las, 5, 30, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.desc.name);
        Rec in = c.rec;
        {
            auto f = opened(c.desc);
            ASSERT_EQ(f->add(in.data()), 0) << f->errorMessage();
        }
        File f(c.desc, dir);
        ASSERT_EQ(f.open(mode::ReadOnly), 0) << f.errorMessage();
        Rec out = in;  // carries the key value (and the number KAGENT gave)
        std::fill(out.b.begin() + 5, out.b.end(), 0);
        ASSERT_EQ(f.get(1, out.data()), 0) << f.errorMessage();  // by the first key's value
        std::string disk = slurp(f.dataPath());
        std::string plain = c.rec.text(c.off, c.size);
        std::string word = plain.substr(0, plain.find(' '));
        if (c.oem) {
            // Stored in 866; a character 866 lacks (the guillemets) does not come back.
            EXPECT_NE(disk.find(cp866(word.c_str())), std::string::npos);
            EXPECT_EQ(disk.find(cp1251(word.c_str())), std::string::npos);
            std::string back = out.text(c.off, c.size);
            EXPECT_EQ(QString::fromStdString(back).remove('"'), QString::fromStdString(plain).remove(QString::fromUtf8("«")).remove(QString::fromUtf8("»")));
        } else {
            EXPECT_NE(disk.find(cp1251(word.c_str())), std::string::npos);
            EXPECT_EQ(out.b, in.b);
        }
        if (c.desc.name == "LAST.DAT") {
            EXPECT_EQ(out.dec(35 + 4 * 112, 4), -1234);
            EXPECT_EQ(out.text(867, 31), "Times New Roman CYR");
            EXPECT_TRUE(std::filesystem::exists(dir + "/LAST.K01"));
        }
    }
}

TEST_F(StoreTest, TextKeysIgnoreCaseIncludingYoAndOrderYoAfterYe) {
    auto f = opened(kagentDesc());
    for (const char* n : {"Жуков", "Ёлкин", "иванов", "елкин", "ИВАНОВ", "Егоров", "ёжиков"}) {
        Rec r = kag(0, n);
        ASSERT_EQ(f->add(r.data()), 0) << f->errorMessage();
    }
    EXPECT_EQ(order(*f, 2, 5, 80), (std::vector<std::string>{"Егоров", "елкин", "ёжиков", "Ёлкин", "Жуков", "иванов", "ИВАНОВ"}));
    EXPECT_EQ(order(*f, 2, 5, 80, true), (std::vector<std::string>{"ИВАНОВ", "иванов", "Жуков", "Ёлкин", "ёжиков", "елкин", "Егоров"}));
    Rec probe = kag(0, "ЁЛКИН");
    ASSERT_EQ(f->get(2, probe.data()), 0);
    EXPECT_EQ(probe.text(5, 80), "Ёлкин");
    probe = kag(0, "Ивaнов");  // Latin "a": a different name
    EXPECT_EQ(f->get(2, probe.data()), RecordNotFound);
    probe = kag(0, "иВаНоВ");
    ASSERT_EQ(f->get(2, probe.data()), 0);
    EXPECT_EQ(probe.text(5, 80), "иванов");  // the first of equal names in record order
    Rec next(85);
    ASSERT_EQ(f->next(next.data()), 0);
    EXPECT_EQ(next.text(5, 80), "ИВАНОВ");
}

TEST_F(StoreTest, BlankAndZeroKeyValuesAreLeftOutOfTheirKeyOnly) {
    auto f = opened(forma1Desc());
    Rec a = frm(5, ""), b = frm(0, "Петров"), c = frm(3, "Сидоров");
    for (Rec* r : {&a, &b, &c}) ASSERT_EQ(f->add(r->data()), 0) << f->errorMessage();
    EXPECT_EQ(numbers(*f, 1, 0, 4), (std::vector<long long>{3, 5}));      // number 0 is missing
    EXPECT_EQ(order(*f, 2, 281, 120), (std::vector<std::string>{"Петров", "Сидоров"}));  // blank recipient missing
    Rec probe = frm(5, "");
    ASSERT_EQ(f->get(1, probe.data()), 0);                                // still found by number
    probe = frm(0, "");
    EXPECT_EQ(f->get(1, probe.data()), RecordNotFound);
    EXPECT_EQ(f->records(), 3u);
    // Zero does not count against uniqueness; a change into the key enters it.
    Rec d = frm(0, "Другой");
    EXPECT_EQ(f->add(d.data()), 0);
    Rec e = frm(9, "Петров");
    ASSERT_EQ(f->put(f->position(), e.data()), 0);
    EXPECT_EQ(numbers(*f, 1, 0, 4), (std::vector<long long>{3, 5, 9}));

    auto l = opened(lastDesc());
    Rec l0(918), l2(918);
    l0.text(5, 30, "нулевая");
    l2.dec(0, 5, 2);
    l2.text(5, 30, "вторая");
    ASSERT_EQ(l->add(l0.data()), 0);
    ASSERT_EQ(l->add(l2.data()), 0);
    Rec first(918);
    ASSERT_EQ(l->setStart(1), 0);
    ASSERT_EQ(l->next(first.data()), 0);
    EXPECT_EQ(first.text(5, 30), "вторая");  // a layout numbered 0 is never the first
}

TEST_F(StoreTest, UniqueKeysRefuseDuplicatesAndDuplicateKeysKeepRecordOrder) {
    auto f = opened(forma1Desc());
    Rec a = frm(1, "Общий"), b = frm(2, "общий"), c = frm(1, "Иной");
    ASSERT_EQ(f->add(a.data()), 0);
    ASSERT_EQ(f->add(b.data()), 0);  // same recipient: allowed
    EXPECT_EQ(f->add(c.data()), DuplicateKey);
    EXPECT_EQ(f->errorDetail(), "FRM:K1");
    EXPECT_EQ(f->records(), 2u);
    Rec b2 = frm(1, "общий");
    EXPECT_EQ(f->put(2, b2.data()), DuplicateKey);  // renumbering onto another certificate
    Rec got = frm(2, "");
    ASSERT_EQ(f->get(1, got.data()), 0);
    EXPECT_EQ(got.text(281, 120), "общий");  // unchanged

    auto an = opened(animDesc());
    for (int i = 1; i <= 40; ++i) {
        Rec r = ani(i % 2 ? 7 : 8, i, ("Кличка" + std::to_string(i)).c_str());
        ASSERT_EQ(an->add(r.data()), 0);
    }
    ASSERT_EQ(an->remove(5), 0);  // the slot is reused by the next add, which sorts by position
    Rec r = ani(7, 99, "Новая");
    ASSERT_EQ(an->add(r.data()), 0);
    EXPECT_EQ(an->position(), 5u);
    std::vector<long long> npp;
    Rec x(110);
    x.dec(0, 5, 7);
    ASSERT_EQ(an->set(1, x.data()), 0);
    while (an->next(x.data()) == 0 && x.dec(0, 5) == 7) npp.push_back(x.dec(5, 3));
    EXPECT_EQ(npp, (std::vector<long long>{1, 3, 99, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31, 33, 35, 37, 39}));
}

TEST_F(StoreTest, AutoNumberGivesTheNextAfterTheHighestStored) {
    auto f = opened(kagentDesc());
    auto add = [&](long long id, const char* name) {
        Rec r = kag(id, name);
        EXPECT_EQ(f->add(r.data()), 0) << f->errorMessage();
        return r.dec(0, 5);
    };
    EXPECT_EQ(add(0, "Первый"), 1);
    EXPECT_EQ(add(0, "Второй"), 2);
    EXPECT_EQ(add(10, "Десятый"), 10);
    EXPECT_EQ(add(0, "Следующий"), 11);
    Rec r = kag(11, "");
    ASSERT_EQ(f->get(1, r.data()), 0);
    ASSERT_EQ(f->remove(), 0);
    EXPECT_EQ(add(0, "Снова"), 11);
    Rec dup = kag(2, "Дубль");
    EXPECT_EQ(f->add(dup.data()), DuplicateKey);
    Rec top = kag(999999999, "Последний");  // DEC(5,0): nine digits
    ASSERT_EQ(f->add(top.data()), 0);
    Rec over = kag(0, "Лишний");
    EXPECT_EQ(f->add(over.data()), AutoNumberFailed);
    EXPECT_EQ(f->records(), 5u);
}

TEST_F(StoreTest, NumbersAreComparedByValueIncludingNegatives) {
    // DEC in ANIM's key, LONG and a descending DEC in keys of our own.
    FileDesc d = animDesc();
    d.keys.push_back(key("ANI:NPPDOWN", kAniFields[1]));
    d.keys.back().components[0].ascending = false;
    auto f = opened(d);
    for (long long v : {3, -5, 120, 0, -100, 7, -7, 45}) {
        Rec r = ani(v, v, "x");
        ASSERT_EQ(f->add(r.data()), 0);
    }
    EXPECT_EQ(numbers(*f, 1, 0, 5), (std::vector<long long>{-100, -7, -5, 3, 7, 45, 120}));
    EXPECT_EQ(numbers(*f, 2, 5, 3), (std::vector<long long>{120, 45, 7, 3, -5, -7, -100}));
    Rec probe(110);
    probe.dec(0, 5, 4);
    ASSERT_EQ(f->set(1, probe.data()), 0);  // >= 4
    ASSERT_EQ(f->next(probe.data()), 0);
    EXPECT_EQ(probe.dec(0, 5), 7);

    FileDesc l{"DATES", &kFrm, {key("D", kFrmFields[1])}, true};
    auto g = opened(l);
    for (std::int32_t v : {5, -1, 100000, -70000, 2}) {
        Rec r = frm(0, "");
        r.i32(4, v);
        ASSERT_EQ(g->add(r.data()), 0);
    }
    std::vector<std::int32_t> got;
    Rec r(4827);
    g->setStart(1);
    while (g->next(r.data()) == 0) {
        std::int32_t v;
        std::memcpy(&v, r.b.data() + 4, 4);
        got.push_back(v);
    }
    EXPECT_EQ(got, (std::vector<std::int32_t>{-70000, -1, 2, 5, 100000}));
}

TEST_F(StoreTest, PositioningAndNextPreviousAtBothEnds) {
    auto f = opened(forma1Desc());
    for (int n : {30, 10, 20}) {
        Rec r = frm(n, ("Получатель " + std::to_string(n)).c_str());
        ASSERT_EQ(f->add(r.data()), 0);
    }
    Rec r(4827);
    // Key order from the start: previous before the first is the end, then next starts again.
    ASSERT_EQ(f->setStart(1), 0);
    EXPECT_EQ(f->previous(r.data()), NoMoreRecords);
    ASSERT_EQ(f->next(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 10);
    EXPECT_EQ(f->previous(r.data()), NoMoreRecords);
    ASSERT_EQ(f->next(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 10);
    // From the end.
    ASSERT_EQ(f->setEnd(1), 0);
    EXPECT_EQ(f->next(r.data()), NoMoreRecords);
    ASSERT_EQ(f->previous(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 30);
    EXPECT_EQ(f->next(r.data()), NoMoreRecords);
    ASSERT_EQ(f->previous(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 30);  // after running off the end, previous is the last again
    ASSERT_EQ(f->previous(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 20);
    // SET by value past every record, then previous.
    Rec probe = frm(25, "");
    ASSERT_EQ(f->set(1, probe.data()), 0);
    ASSERT_EQ(f->previous(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 20);
    probe = frm(99, "");
    ASSERT_EQ(f->set(1, probe.data()), 0);
    EXPECT_EQ(f->next(r.data()), NoMoreRecords);
    // SET at a position: next gives that record, then its successors in key order.
    ASSERT_EQ(f->set(1, Position(2)), 0);  // number 10
    ASSERT_EQ(f->next(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 10);
    ASSERT_EQ(f->next(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 20);
    // File order, and re-get by position; positions stay when others are deleted.
    EXPECT_EQ(numbers(*f, 0, 0, 4), (std::vector<long long>{30, 10, 20}));
    ASSERT_EQ(f->remove(Position(1)), 0);
    ASSERT_EQ(f->get(Position(3), r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 20);
    EXPECT_EQ(f->get(Position(1), r.data()), RecordNotFound);
    EXPECT_EQ(f->get(Position(9), r.data()), RecordNotFound);
    ASSERT_EQ(f->setEnd(0), 0);
    ASSERT_EQ(f->previous(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 20);
    ASSERT_EQ(f->previous(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 10);
    EXPECT_EQ(f->previous(r.data()), NoMoreRecords);
    // Next continues past a record deleted under the cursor.
    ASSERT_EQ(f->setStart(1), 0);
    ASSERT_EQ(f->next(r.data()), 0);
    ASSERT_EQ(f->remove(), 0);
    ASSERT_EQ(f->next(r.data()), 0);
    EXPECT_EQ(r.dec(0, 4), 20);
}

TEST_F(StoreTest, ManyRecordsKeepEveryKeyInOrder) {
    // Enough records for several tree levels, added in scrambled order, some changed and deleted.
    setSync(false);
    auto f = opened(forma1Desc());
    const int n = 3000;
    for (int i = 0; i < n; ++i) {
        int no = (i * 7919) % n + 1;
        Rec r = frm(no, ("Контрагент " + std::to_string(no % 97)).c_str());
        ASSERT_EQ(f->add(r.data()), 0) << f->errorMessage();
    }
    for (int no = 1; no <= n; no += 3) {
        Rec r = frm(no, "");
        ASSERT_EQ(f->get(1, r.data()), 0);
        if (no % 2) ASSERT_EQ(f->remove(), 0);
        else {
            r.text(281, 120, "Переименован");
            ASSERT_EQ(f->put(r.data()), 0);
        }
    }
    std::vector<long long> k1 = numbers(*f, 1, 0, 4);
    EXPECT_EQ(k1.size(), f->records());
    EXPECT_TRUE(std::is_sorted(k1.begin(), k1.end()));
    EXPECT_EQ(std::adjacent_find(k1.begin(), k1.end()), k1.end());
    std::vector<std::string> k2 = order(*f, 2, 281, 120);
    EXPECT_EQ(k2.size(), f->records());
    std::vector<std::string> back = order(*f, 2, 281, 120, true);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, k2);
    EXPECT_EQ(std::count(k2.begin(), k2.end(), "Переименован"), 500);
    setSync(true);
}

TEST_F(StoreTest, OpenModesAndErrors) {
    File missing(forma1Desc(), dir);
    EXPECT_EQ(missing.open(), FileNotFound);
    EXPECT_EQ(missing.build(), FileNotFound);  // BUILD of a missing file leaves things as they are
    auto f = opened(forma1Desc());
    File other(forma1Desc(), dir);
    EXPECT_EQ(other.open(mode::Exclusive), AccessDenied);
    EXPECT_EQ(other.build(), AccessDenied);  // another handle writes
    ASSERT_EQ(other.open(mode::ReadOnly), 0);
    Rec r = frm(1, "Читатель");
    EXPECT_EQ(other.add(r.data()), AccessDenied);
    f->close();
    EXPECT_EQ(f->add(r.data()), FileNotOpen);
    EXPECT_EQ(f->open(mode::Exclusive), AccessDenied);  // the reader is still there
    other.close();
    ASSERT_EQ(f->open(mode::Exclusive), 0);
    File third(forma1Desc(), dir);
    EXPECT_EQ(third.open(mode::ReadOnly), AccessDenied);
    FileDesc wrong = forma1Desc();
    static const RecordDesc small{"FORMA1", "FRM", 4000, std::span<const FieldDesc>(kFrmFields, 2)};
    wrong.record = &small;
    File w(wrong, dir);
    f->close();
    EXPECT_EQ(w.open(), BadDeclaration);
    for (int code : {2, 5, 32, 33, 35, 37, 40, 46, 47, 48, 49, 90, 91}) EXPECT_STRNE(errorText(code), "Unknown Error") << code;
    EXPECT_STREQ(errorText(46), "Key File Must Be Rebuilt");
}

TEST_F(StoreTest, KeysOfTextThatOemLacksMatchWhatTheDiskKeeps) {
    // "«" is stored as '"' in KAGENT: the record is still found by the value it was added with,
    // by the value it reads back with, and can be changed and deleted, before and after BUILD.
    auto f = opened(kagentDesc());
    Rec a = kag(0, "ООО «Заря»");
    ASSERT_EQ(f->add(a.data()), 0);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (const char* v : {"ООО «Заря»", "ООО \"Заря\""}) {
            Rec probe = kag(0, v);
            ASSERT_EQ(f->get(2, probe.data()), 0) << v;
            EXPECT_EQ(probe.text(5, 80), "ООО \"Заря\"");
        }
        Rec back(85);
        ASSERT_EQ(f->get(f->position(), back.data()), 0);
        ASSERT_EQ(f->put(back.data()), 0) << f->errorMessage();
        f->close();
        ASSERT_EQ(f->build(), 0);
        ASSERT_EQ(f->open(), 0);
    }
    Rec probe = kag(0, "ООО «Заря»");
    ASSERT_EQ(f->get(2, probe.data()), 0);
    EXPECT_EQ(f->remove(), 0) << f->errorMessage();
    EXPECT_EQ(f->records(), 0u);
}

TEST_F(StoreTest, EveryByteOfTextConvertsLikeTheCodePageTables) {
    // Long text runs take the block-wise path; every byte value, in every position of a block.
    auto f = opened(forma1Desc());
    Rec r = frm(1, "");
    for (std::size_t i = 0; i < 4391; ++i) r.b[401 + i] = static_cast<unsigned char>(0x20 + (i * 7 + i / 224) % 224);
    ASSERT_EQ(f->add(r.data()), 0);
    std::string expectDisk(reinterpret_cast<const char*>(r.b.data() + 401), 4391);
    cp::cp1251ToCp866(expectDisk.data(), expectDisk.size());
    std::string expectBack = expectDisk;
    cp::cp866ToCp1251(expectBack.data(), expectBack.size());
    std::string disk = slurp(f->dataPath());
    EXPECT_NE(disk.find(expectDisk), std::string::npos);
    Rec back(4827);
    ASSERT_EQ(f->get(Position(1), back.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.b.data() + 401), 4391), expectBack);
}
