// Class-library figures over 10,000 certificate texts: the fuzzy matcher alone, the register's
// fuzzy order expression (the ten fields joined and matched, as the order evaluates it per
// record), and a query-dialog filter. Best of several runs, in milliseconds for the whole set.
// Prints "name: value unit" lines.

#include <QString>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/classlib/evaluator.h"
#include "framework/classlib/fuzzy.h"
#include "framework/types/codepage.h"
#include "framework/types/refs.h"
#include "framework/types/values.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace vx;

std::string w(const char* utf8) { return cp::toCp1251(QString::fromUtf8(utf8)); }

#pragma pack(push, 1)
struct Cert {
    DEC<4, 0> NOMSV;
    LONG DATAVV;
    STRING<25> OPIS;
    STRING<87> F32;
    STRING<120> F2;
    STRING<40> F4;
    STRING<39> F5;
    STRING<37> F6;
    STRING<39> F49;
    STRING<39> F50;
};
#pragma pack(pop)

const std::array<FieldDesc, 10> kFields{{
    {"FRM:NOMSV", FieldType::Dec, offsetof(Cert, NOMSV), 4, 0},
    {"FRM:DATAVV", FieldType::Long, offsetof(Cert, DATAVV), 4, 0},
    {"FRM:OPIS", FieldType::String, offsetof(Cert, OPIS), 25, 0},
    {"FRM:F32", FieldType::String, offsetof(Cert, F32), 87, 0},
    {"FRM:F2", FieldType::String, offsetof(Cert, F2), 120, 0},
    {"FRM:F4", FieldType::String, offsetof(Cert, F4), 40, 0},
    {"FRM:F5", FieldType::String, offsetof(Cert, F5), 39, 0},
    {"FRM:F6", FieldType::String, offsetof(Cert, F6), 37, 0},
    {"FRM:F49", FieldType::String, offsetof(Cert, F49), 39, 0},
    {"FRM:F50", FieldType::String, offsetof(Cert, F50), 39, 0},
}};
const RecordDesc kDesc{"FORMA1", "FRM", sizeof(Cert), kFields};

std::vector<Cert> makeFile(int count) {
    const char* surnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов", "Васильев", "Соколов",
                              "Михайлов", "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев", "Лебедев", "Семёнов"};
    const char* kinds[] = {"Крупный рогатый скот", "Свиньи", "Овцы", "Козы", "Лошади", "Куры", "Пчёлы", "Кролики"};
    const char* places[] = {"г. Тула, ул. Ленина, д. 5, ООО «Агро»", "Калужская обл., с. Ивановка, КФХ «Заря»",
                            "г. Москва, рынок «Южный», ИП Смирнов", "Рязанская обл., д. Берёзовка, СПК «Рассвет»"};
    std::mt19937 rng(2026);
    auto pick = [&rng](auto& arr) { return arr[rng() % std::size(arr)]; };
    std::vector<Cert> file(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Cert& c = file[static_cast<std::size_t>(i)];
        c.NOMSV = i + 1;
        c.DATAVV = 80000 + static_cast<int>(rng() % 1500);
        c.OPIS = w(pick(kinds));
        c.F32 = w(pick(places));
        c.F2 = w(pick(surnames)) + w(" Пётр Сергеевич, ") + w(pick(places));
        c.F4 = w(pick(kinds));
        c.F5 = w("здоровые, вакцинированы");
        c.F6 = std::to_string(rng() % 200 + 1) + w(" голов");
        c.F49 = w("Ветеринарный врач");
        c.F50 = w(pick(surnames)) + w(" А.В.");
    }
    return file;
}

double bestMs(int runs, const std::function<void()>& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

}  // namespace

int main() {
    const int kCount = 10000;
    const std::vector<Cert> file = makeFile(kCount);
    FuzzyClass matcher;
    matcher.Init();

    // The joined texts, as the order builds them.
    std::vector<std::string> texts;
    texts.reserve(file.size());
    for (const Cert& c : file) {
        texts.push_back(c.NOMSV.get().toString() + ' ' + std::to_string(c.DATAVV.get()) + ' ' + c.OPIS.str() + ' ' +
                        c.F32.str() + ' ' + c.F2.str() + ' ' + c.F4.str() + ' ' + c.F5.str() + ' ' + c.F6.str() + ' ' +
                        c.F49.str() + ' ' + c.F50.str());
    }
    std::size_t totalLen = 0;
    for (const auto& t : texts) totalLen += t.size();

    volatile long long sink = 0;
    struct Query {
        const char* name;
        std::string text;
    };
    const Query queries[] = {
        {"word", w("фёдоров")},
        {"two_words", w("ивановка свиньи")},
        {"scattered", w("смрнвпчл")},
        {"absent", w("щъщъщ")},
    };
    double wordMs = 0;
    for (const Query& q : queries) {
        double ms = bestMs(5, [&] {
            long long s = 0;
            for (const auto& t : texts) s += matcher.Match(q.text, t);
            sink = sink + s;
        });
        if (std::string(q.name) == "word") wordMs = ms;
        std::printf("fuzzy_match_10000_%s: %.2f ms\n", q.name, ms);
    }
    std::printf("fuzzy_text_length_avg: %.0f bytes\n", static_cast<double>(totalLen) / kCount);

    // The register's fuzzy order, evaluated for every record from the record buffer.
    Cert buffer{};
    STRING<255> fuzzyQuery{};
    fuzzyQuery = w("фёдоров");
    Evaluator ev;
    ev.bindRecord(kDesc, &buffer);
    ev.bind("FuzzyQuery12", ref(fuzzyQuery));
    ev.bindFunction("FuzzyMatch", 2, 2, [&matcher](std::span<const Value> a) {
        return Value(matcher.Match(a[0].toText(), a[1].toText()));
    });
    Expression order = ev.compile(
        "200-FuzzyMatch(FuzzyQuery12,FRM:nomsv&' '&FRM:datavv&' '&FRM:opis&' '&FRM:f32&' '&FRM:f2&' '&FRM:f4&' '&"
        "FRM:f5&' '&FRM:f6&' '&FRM:f49&' '&FRM:f50)");
    if (!order.valid()) {
        std::fprintf(stderr, "order: %s\n", order.error().c_str());
        return 1;
    }
    double orderMs = bestMs(5, [&] {
        long long s = 0;
        for (const Cert& c : file) {
            buffer = c;
            s += order.evaluate().value.num().toInt();
        }
        sink = sink + s;
    });
    std::printf("fuzzy_order_eval_10000: %.2f ms\n", orderMs);
    std::printf("fuzzy_order_eval_10000_vs_match: %.2f\n", orderMs / wordMs);

    // A query-dialog filter over the same records.
    Expression filter = ev.compile(w("(UPPER(FRM:f2) = 'ИВАНОВ ПЁТР' OR INSTRING('СВИН',UPPER(FRM:opis),1,1)) AND "
                                     "UPPER(FRM:datavv) >= '80500' AND SUB(UPPER(FRM:f50),1,3) <> 'ПОП'"));
    double filterMs = bestMs(5, [&] {
        long long s = 0;
        for (const Cert& c : file) {
            buffer = c;
            s += filter.holds() ? 1 : 0;
        }
        sink = sink + s;
    });
    std::printf("qbe_filter_eval_10000: %.2f ms\n", filterMs);
    return sink == -1 ? 1 : 0;
}
