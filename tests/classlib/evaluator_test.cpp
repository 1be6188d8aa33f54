#include "framework/classlib/evaluator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib_testutil.h"
#include "framework/classlib/fuzzy.h"

using namespace vx;
using vxtest::w;

namespace {

class EvaluatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        rec = vxtest::makeCert(123, 80000, "Выдано", "Корова дойная", "Иванов Пётр");
        rec.CENA = Decimal::fromParts(1250, 2);
        nform = 123;
        d1 = 79000;
        d2 = 81000;
        comment = w("Выдано");
        ev.bindRecord(vxtest::kCertDesc, &rec);
        ev.bind("nform", ref(nform));
        ev.bind("d1", ref(d1));
        ev.bind("d2", ref(d2));
        ev.bind("comment", ref(comment));
    }

    // The result as text, numbers in their plain form; "ERROR" when evaluation failed.
    std::string eval(const std::string& text) {
        EvalResult r = ev.evaluate(text);
        if (!r.ok) return "ERROR: " + r.error;
        return r.value.isText() ? "'" + r.value.str() + "'" : r.value.num().normalized().toString();
    }

    vxtest::CertRec rec{};
    DEC<5, 0> nform{};
    LONG d1{}, d2{};
    STRING<9> comment{};
    Evaluator ev;
};

struct Case {
    const char* expr;  // UTF-8, converted to 1251
    const char* want;  // UTF-8: a number, 'text', or the start of "ERROR: ..."
};

TEST_F(EvaluatorTest, OperatorsPrecedenceAndComparisons) {
    const Case cases[] = {
        // arithmetic, exact decimals, precedence
        {"1+2*3", "7"},
        {"(1+2)*3", "9"},
        {"7-2-1", "4"},
        {"10/4", "2.5"},
        {"-2*3", "-6"},
        {"- -4", "4"},
        {"+'12'", "12"},
        {"0.1+0.2 = 0.3", "1"},
        {"10/0", "0"},
        {"FRM:cena*2", "25"},
        // concatenation is looser than + and -, and joins texts as they are
        {"'a'&'b'", "'ab'"},
        {"1+2&'x'", "'3x'"},
        {"'№'&FRM:nomsv&'/'&FRM:f2", "'№123/Иванов Пётр'"},
        {"FRM:opis&'|'", "'Корова дойная|'"},
        {"'it''s'", "'it's'"},
        // numbers against numbers, texts against texts, and mixed
        {"2 < 10", "1"},
        {"'2' < '10'", "0"},
        {"10 > '9'", "1"},
        {"FRM:nomsv = '123'", "1"},
        {"FRM:nomsv = ' 123 '", "1"},
        {"'' = 0", "1"},
        {"'abc' = 0", "0"},
        {"'abc  ' = 'abc'", "1"},
        {"'abc' = 'abc   '", "1"},
        {"' abc' = 'abc'", "0"},
        {"'abc' = 'ABC'", "0"},
        {"'abc' <> 'ABC'", "1"},
        {"UPPER('abc') = 'ABC'", "1"},
        {"UPPER(FRM:f2) = 'ИВАНОВ ПЁТР'", "1"},
        {"FRM:f2 = 'ИВАНОВ ПЁТР'", "0"},
        {"LOWER('ЁЖ Я') = 'ёж я'", "1"},
        {"'Ёж' > 'Еж'", "1"},
        {"'Ёж' < 'Жук'", "1"},
        {"'Я' > 'а'", "1"},
        {"'а' < 'Б'", "1"},
        {"'Аб' < 'аб'", "1"},
        {"'аб' > 'Аа'", "1"},
        {"3 >= 3", "1"}, {"3 <= 2", "0"}, {"3 => 4", "0"}, {"3 =< 4", "1"}, {"1 ~= 2", "1"},
        // UPPER keeps a number a number, so the query dialog's items compare by value
        {"UPPER(FRM:nomsv) > '100'", "1"},
        {"UPPER(FRM:nomsv) = '123'", "1"},
        {"UPPER(FRM:datavv) >= '79999'", "1"},
        // logic
        {"1=1 AND 2=3", "0"},
        {"1=1 OR 2=3", "1"},
        {"1=0 AND 1=1 OR 1=1", "1"},
        {"1=1 OR 1=1 AND 1=0", "1"},
        {"NOT 1=2", "1"},
        {"~(1=1)", "0"},
        {"not 0 and 'x'", "1"},
        {"NOT ''", "1"},
        {"'  ' OR 0", "0"},
        // functions
        {"SUB('Иванов',1,3)", "'Ива'"},
        {"SUB('Иванов',-2,2)", "'ов'"},
        {"SUB('abc',3,10)", "'c'"},
        {"SUB('abc',5,1)", "''"},
        {"INSTRING('ван','Иванов',1,1)", "2"},
        {"INSTRING('x','abc')", "0"},
        {"INSTRING('b','abcb',1,3)", "4"},
        {"CLIP('ab  ')&'|'", "'ab|'"},
        {"LEFT('  ab')&'|'", "'ab  |'"},
        {"LEN('abc')", "3"},
        {"upper(frm:F2) = 'ИВАНОВ ПЁТР'", "1"},
        // names: any case, with or without the prefix; a global wins over a field's short name
        {"nomsv + FRM:NOMSV + frm:Nomsv", "369"},
        {"NFORM = 123", "1"},
        {"FRM:nform", "0"},
    };
    for (const Case& c : cases) {
        std::string got = eval(w(c.expr));
        EXPECT_EQ(got, w(c.want)) << c.expr;
    }
}

TEST_F(EvaluatorTest, BadExpressionsGiveAClearError) {
    const Case cases[] = {
        {"", "empty expression"},
        {"1 +", "operand expected at the end"},
        {"(1", "missing ')'"},
        {"'abc", "unterminated string"},
        {"FOO = 1", "unknown name 'FOO' at 1"},
        {"1 = FRM:nosuch", "unknown name 'FRM:NOSUCH' at 5"},
        {"1 2", "unexpected '2' at 3"},
        {"UPPER()", "wrong number of arguments for 'UPPER'"},
        {"SUB('a',1)", "wrong number of arguments for 'SUB'"},
        {"NOSUCH(1)", "unknown function 'NOSUCH'"},
        {"nform(1)", "'NFORM' is not a function"},
        {"1 @ 2", "unexpected character '@' at 3"},
        {"12abc", "malformed number at 1"},
        {"Кличка = 1", "unexpected character '\\xCA' at 1"},
        {"1 AND", "operand expected at the end"},
        {"AND 1", "operand expected before 'AND'"},
        {"SUB('a',1,1,", "operand expected at the end"},
        {"99999999999999999999999999999999999999999", "number too large"},
    };
    for (const Case& c : cases) {
        Expression e = ev.compile(w(c.expr));
        EXPECT_FALSE(e.valid()) << c.expr;
        EXPECT_NE(e.error().find(c.want), std::string::npos) << c.expr << " -> " << e.error();
        EXPECT_FALSE(e.holds()) << c.expr;
        EXPECT_FALSE(e.evaluate().ok) << c.expr;
    }
}

TEST_F(EvaluatorTest, HostileInputNeverCrashes) {
    EXPECT_FALSE(ev.compile(std::string(5000, '(') + "1" + std::string(5000, ')')).valid());
    EXPECT_FALSE(ev.compile(std::string(5000, '-') + "1").valid());
    std::string longSum = "1";
    for (int i = 0; i < 5000; ++i) longSum += "+1";
    EXPECT_FALSE(ev.compile(longSum).valid());
    // Long AND / OR lists are fine: they do not nest.
    std::string alternatives = "1=0";
    for (int i = 0; i < 5000; ++i) alternatives += " OR 1=0";
    EXPECT_TRUE(ev.compile(alternatives).valid());
    EXPECT_FALSE(ev.compile(alternatives).holds());
    // A product beyond the range of the exact numbers is a failed evaluation, not a crash.
    EvalResult r = ev.evaluate("9999999999999999999999999999999 * 9999999999999999999999999999999");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "number too large");
    // Bytes of every value in a string and outside.
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_FALSE(ev.compile(all).valid());
    EXPECT_TRUE(ev.compile("'" + std::string(all).erase(38, 1) + "' <> ''").holds());
}

TEST_F(EvaluatorTest, CompiledOnceReadsTheCurrentValues) {
    Expression e = ev.compile("nform=FRM:nomsv");
    ASSERT_TRUE(e.valid()) << e.error();
    EXPECT_TRUE(e.holds());
    nform = 124;
    EXPECT_FALSE(e.holds());
    rec.NOMSV = 124;
    EXPECT_TRUE(e.holds());

    // Rebinding follows the new variable; unbinding makes evaluation fail, not crash.
    DEC<5, 0> other{};
    other = 7;
    ev.bind("NFORM", ref(other));
    EXPECT_FALSE(e.holds());
    rec.NOMSV = 7;
    EXPECT_TRUE(e.holds());
    ev.unbind("nform");
    EvalResult r = e.evaluate();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("no longer bound"), std::string::npos);
}

TEST_F(EvaluatorTest, ShortNamesAndAmbiguity) {
    vxtest::AnimRec anim{};
    anim.NFORM = 5;
    anim.KICHKA = w("Зорька");
    ev.bindRecord(vxtest::kAnimDesc, &anim);
    // "nform" is the global even though two records have a field of that name.
    EXPECT_EQ(eval("nform"), "123");
    EXPECT_EQ(eval("kichka"), w("'Зорька'"));
    EXPECT_EQ(eval("nform=ani:nform"), "0");
    ev.unbind("nform");
    EXPECT_NE(eval("nform").find("ambiguous name"), std::string::npos);
    EXPECT_EQ(eval("ani:nform"), "5");
}

TEST_F(EvaluatorTest, PushBindRestoresTheOuterNames) {
    ev.pushBind();
    LONG local{};
    local = 42;
    ev.bind("local", ref(local));
    ev.bind("d1", ref(local));
    EXPECT_EQ(eval("local + d1"), "84");
    ev.popBind();
    EXPECT_NE(eval("local").find("unknown name"), std::string::npos);
    EXPECT_EQ(eval("d1"), "79000");
    ev.popBind();  // unmatched: nothing happens
    EXPECT_EQ(eval("d1"), "79000");
}

TEST_F(EvaluatorTest, ExpressionOutlivingItsEvaluatorFails) {
    Expression e;
    {
        Evaluator local;
        local.bind("n", ref(nform));
        e = local.compile("n = 123");
        EXPECT_TRUE(e.holds());
    }
    EXPECT_FALSE(e.evaluate().ok);
}

TEST_F(EvaluatorTest, BindingsBelongToOneEvaluator) {
    // Two registers, each with its own search text under the same name.
    STRING<255> q1{}, q2{};
    q1 = w("Иванов");
    q2 = w("Петров");
    Evaluator a, b;
    a.bind("FuzzyQuery12", ref(q1));
    b.bind("FuzzyQuery12", ref(q2));
    EXPECT_EQ(a.evaluate("FuzzyQuery12").value.str(), w("Иванов"));
    EXPECT_EQ(b.evaluate("fuzzyquery12").value.str(), w("Петров"));
    EXPECT_FALSE(Evaluator().compile("FuzzyQuery12").valid());
}

TEST_F(EvaluatorTest, FuzzyOrderExpression) {
    FuzzyClass matcher;
    matcher.Init();
    STRING<255> query{};
    query = w("иванов");
    ev.bind("FuzzyQuery12", ref(query));
    ev.bindFunction("FuzzyMatch", 2, 2, [&matcher](std::span<const Value> args) {
        return Value(matcher.Match(args[0].toText(), args[1].toText()));
    });
    Expression order = ev.compile("200-FuzzyMatch(FuzzyQuery12,FRM:nomsv&' '&FRM:datavv&' '&FRM:opis&' '&FRM:f2)");
    ASSERT_TRUE(order.valid()) << order.error();
    std::string text = "123 80000 " + w("Корова дойная Иванов Пётр");
    EvalResult r = order.evaluate();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value.num(), Decimal(200 - matcher.Match(query.view(), text)));
    EXPECT_GT(matcher.Match(query.view(), text), 0);
    // A better match sorts first: a smaller order value.
    rec.F2 = w("Сидоров");
    EXPECT_LT(r.value.num(), order.evaluate().value.num());
    EXPECT_NE(eval("FuzzyMatch('a')").find("wrong number of arguments"), std::string::npos);
}

TEST_F(EvaluatorTest, FiltersOverRecords) {
    const std::vector<vxtest::CertRec> file = {
        vxtest::makeCert(1, 79500, "Выдано", "Корова дойная", "Иванов Пётр"),
        vxtest::makeCert(2, 80500, "Испорчено", "Коза", "Петров Иван"),
        vxtest::makeCert(10, 80000, "Выдано", "Свиньи", "ИВАНОВ ПЁТР"),
        vxtest::makeCert(11, 82000, "Выдано", "Куры", "Сидоров"),
        vxtest::makeCert(12, 80100, "Образец", "Пчёлы", "иванова анна"),
    };
    auto select = [&](const std::string& filter) {
        Expression e = ev.compile(filter);
        EXPECT_TRUE(e.valid()) << filter << ": " << e.error();
        std::vector<long long> hits;
        for (const auto& r : file) {
            rec = r;
            if (e.holds()) hits.push_back(rec.NOMSV.toInt());
        }
        return hits;
    };
    using V = std::vector<long long>;
    // The period report's filter: status with trailing blanks on both sides.
    EXPECT_EQ(select("(d1<=frm:datavv) and (d2>=frm:datavv) and (comment=frm:comment)"), (V{1, 10}));
    // Filters the query dialog builds.
    EXPECT_EQ(select(w("UPPER(FRM:f2) = 'ИВАНОВ ПЁТР'")), (V{1, 10}));
    EXPECT_EQ(select(w("UPPER(FRM:f2) = 'ИВАНОВ ПЁТР' AND UPPER(FRM:nomsv) >= '10'")), (V{10}));
    EXPECT_EQ(select(w("SUB(UPPER(FRM:f2),1,6) = 'ИВАНОВ'")), (V{1, 10, 12}));
    EXPECT_EQ(select(w("INSTRING('КО',UPPER(FRM:opis),1,1) OR UPPER(FRM:f2) = 'СИДОРОВ'")), (V{1, 2, 11}));
    EXPECT_EQ(select(w("NOT (UPPER(FRM:opis) = 'КОЗА') AND UPPER(FRM:datavv) < '80200'")), (V{1, 10, 12}));
    EXPECT_EQ(select(w("UPPER(FRM:nomsv) > '2'")), (V{10, 11, 12}));
    // A typed value with quotes stays one value and cannot widen the filter.
    EXPECT_EQ(select("UPPER(FRM:f2) = " + quoteText("X' OR '1'='1")), (V{}));
    rec.F2 = "O'Brien";
    EXPECT_TRUE(ev.compile("FRM:f2 = " + quoteText("O'Brien")).holds());
    // Case-sensitive without UPPER.
    EXPECT_EQ(select(w("FRM:f2 = 'Иванов Пётр'")), (V{1}));
    // The print filter.
    nform = 11;
    EXPECT_EQ(select("nform=FRM:nomsv"), (V{11}));
}

}  // namespace
