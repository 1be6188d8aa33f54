// Order texts (shared by the browse and the report's process object) and the Russian reasons a
// filter or an order text cannot be used.
#include "framework/classlib/ordertext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "classlib_testutil.h"
#include "framework/classlib/processclass.h"

using namespace vx;
using vxtest::w;

namespace {

TEST(OrderText, SortsByKeyFieldsThenTheTextsPartsEachInItsDirection) {
    std::vector<vxtest::CertRec> recs = {
        vxtest::makeCert(3, 80001, "Выдано", "", "иванов"), vxtest::makeCert(1, 80002, "Выдано", "", "Петров"),
        vxtest::makeCert(2, 80001, "Выдано", "", "ИВАНОВ"), vxtest::makeCert(4, 80003, "Выдано", "", "Иванов")};
    vxtest::CertRec buffer{};
    Evaluator ev;
    ev.bindRecord(vxtest::kCertDesc, &buffer);
    SortOrder order;
    const FieldDesc* name = vxtest::kCertDesc.find("FRM:F2");
    ASSERT_NE(name, nullptr);
    order.AddField(*name, &buffer, false);                // a key on the name, case-blind
    order.AddText(ev, "-FRM:datavv, +FRM:nomsv");         // then the newest first, then the number
    EXPECT_TRUE(order.Error().empty());
    std::vector<std::pair<SortOrder::Values, int>> rows;
    for (const vxtest::CertRec& r : recs) {
        buffer = r;
        rows.push_back({order.Of(), int(Decimal(r.NOMSV).toInt())});
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) { return order.Less(a.first, b.first); });
    std::vector<int> numbers;
    for (const auto& r : rows) numbers.push_back(r.second);
    EXPECT_EQ(numbers, (std::vector<int>{4, 2, 3, 1}));
    // A part that does not compile sorts nothing and is named.
    SortOrder bad;
    bad.AddText(ev, "+FRM:nosuch");
    EXPECT_NE(bad.Error().find("FRM:NOSUCH"), std::string::npos) << bad.Error();
}

TEST(OrderText, TheReasonsOfTheExpressionLanguageInRussian) {
    vxtest::CertRec buffer{};
    Evaluator ev;
    ev.bindRecord(vxtest::kCertDesc, &buffer);
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"FRM:nomsv >>> 3", "вместо «>» ожидается значение (знак 12)"},
        {"FRM:nosuch = 1", "неизвестное имя «FRM:NOSUCH» (знак 1)"},
        {"(FRM:nomsv = 1", "не хватает закрывающей скобки (знак 15)"},
        {"FRM:f2 = 'Иван", "не закрыта кавычка текста (знак 10)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Expression e = ev.compile(w(c.text));
        ASSERT_FALSE(e.valid());
        EXPECT_EQ(ExpressionProblem(e.error()).toStdString(), c.reason) << e.error();
    }
}

}  // namespace
