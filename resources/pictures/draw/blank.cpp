// The pictures of the blank "Форма №1".
//
// Entry window ("f1u.gif", "f1u_2.gif"): drawn in the window's dialog units, with the rules of
// the blank under the entry fields of the front and of the reverse tab; the wording itself is the
// window's own fixed text, so these pictures carry only the paper, its frame and its rules.
//
// Layout editor ("Forma_1.jpg", "Forma_1_2.jpg"): the printed blank with its wording, drawn in
// millimetres of the A4 paper at the positions where the print puts each field, so a field placed
// at a layout position lies on its rule. Mapping of paper millimetres to picture pixels:
//   front:   x: 0 .. 210 mm over the width,  y: 6.4 .. 272.9 mm over the height
//   reverse: x: 0 .. 210 mm over the width,  y: 4.5 .. 277.4 mm over the height
// which puts each printed line beside the position spins of the editor.

#include "draw.h"

#include <QPainterPath>

#include <cmath>

namespace vx::pictures {

namespace {

const QColor kPaper(255, 254, 247);
const QColor kRule(120, 128, 140);
const QColor kFrame(92, 128, 104);
const QColor kGuilloche(196, 222, 204);
const QColor kWordInk(58, 58, 58);
const QColor kSmallInk(96, 96, 96);

// A light wave pattern along the edge of the sheet, as on security paper.
void guilloche(Sheet& s, double x1, double y1, double x2, double y2, double band) {
    QPainter& p = s.painter();
    p.save();
    p.setPen(QPen(kGuilloche, 0.8));
    p.setBrush(Qt::NoBrush);
    const double l = s.dx(x1), t = s.dy(y1), r = s.dx(x2), b = s.dy(y2);
    const double bw = band * (s.dx(x1 + 1) - s.dx(x1));
    for (int phase = 0; phase < 3; ++phase) {
        QPainterPath top, bottom, left, right;
        const double ph = phase * 2.1;
        for (double x = l; x <= r; x += 1.0) {
            const double v = bw / 2 * (1 + std::sin(x / 7.0 + ph));
            if (x == l) {
                top.moveTo(x, t + v);
                bottom.moveTo(x, b - v);
            } else {
                top.lineTo(x, t + v);
                bottom.lineTo(x, b - v);
            }
        }
        for (double y = t; y <= b; y += 1.0) {
            const double v = bw / 2 * (1 + std::sin(y / 7.0 + ph));
            if (y == t) {
                left.moveTo(l + v, y);
                right.moveTo(r - v, y);
            } else {
                left.lineTo(l + v, y);
                right.lineTo(r - v, y);
            }
        }
        p.drawPath(top);
        p.drawPath(bottom);
        p.drawPath(left);
        p.drawPath(right);
    }
    p.restore();
}

void paperFrame(Sheet& s, double x1, double y1, double x2, double y2, double band) {
    guilloche(s, x1, y1, x2, y2, band);
    s.frame(x1, y1, x2, y2, kFrame, 2);
    const double ix = band + 1.0, iy = band + 1.0;
    s.frame(x1 + ix, y1 + iy, x2 - ix, y2 - iy, kFrame, 1);
}

void watermark(Sheet& s, double cx, double cy, double w) {
    QPainter& p = s.painter();
    const double pw = s.dx(cx + w / 2) - s.dx(cx - w / 2);
    const double ph = pw * 1.2;
    const QRectF box(s.dx(cx) - pw / 2, s.dy(cy) - ph / 2, pw, ph);
    drawEmblem(p, box, QColor(236, 243, 236), QColor(248, 251, 245));
}

// ---------------------------------------------------------------------------------------------
// Entry window pictures, in dialog units of the window (font "Arial CYR" 8: 1.6 x 1.55 pixels).

constexpr int kEntryW = 820, kEntryH = 900;
constexpr double kEntrySx = 820.0 / 513.0, kEntrySy = 900.0 / 579.0;

struct Run {
    double x, y, w;  // an entry field: x, y, width (height 9)
};

void rules(Sheet& s, std::initializer_list<Run> runs) {
    for (const Run& r : runs) s.hline(r.x, r.x + r.w, r.y + 9.2, kRule);
}

void entrySheet(Sheet& s, double left, double right) {
    // The frame's inner line runs just below the last row of the test table (598).
    paperFrame(s, left, 26, right, 602.4, 1.2);
    watermark(s, (left + right) / 2, 330, 150);
}

}  // namespace

QImage drawEntryBlankFront() {
    Sheet s(kEntryW, kEntryH, 9, 24, kEntrySx, kEntrySy, kPaper);
    entrySheet(s, 11, 520);
    // Header lines of the issuing body: the subject, the district (filled only from the form
    // buffer, so it has a rule of its own), the institution and a spare line.
    rules(s, {{55, 81, 241}, {55, 94, 241}, {55, 107, 241}, {55, 122, 241}});
    // Date of issue: « day » month 20 year г.
    const QFont mark = serif(13, true);
    s.text(340, 159, QStringLiteral("«"), mark, kWordInk, 1);
    s.text(365, 159, QStringLiteral("»"), mark, kWordInk);
    s.text(457, 159, QStringLiteral("20"), mark, kWordInk, 1);
    s.text(479, 159, QStringLiteral("г."), mark, kWordInk);
    rules(s, {{343, 151, 20}, {384, 151, 57}, {459, 151, 18}});
    // The lines of the front.
    rules(s, {{387, 165, 90}, {67, 180, 410}, {67, 195, 410}, {332, 209, 145}, {65, 224, 130},
              {255, 224, 123}, {171, 253, 305}, {67, 268, 410}, {67, 282, 410}, {292, 326, 185},
              {67, 341, 410}, {67, 356, 410}, {136, 385, 150}, {274, 400, 203}, {67, 414, 410},
              {120, 473, 356}});
    // Table of test results: header row at 504, six rows from 517 to 589.
    const double cols[] = {62, 174, 261, 368, 481};
    const double rows[] = {501, 514, 529, 543, 557, 571.5, 586.5, 598.6};
    for (double y : rows) s.hline(cols[0], cols[4], y, kRule);
    for (double x : cols) s.vline(x, rows[0], rows[7], kRule);
    s.finish();
    return s.image();
}

QImage drawEntryBlankReverse() {
    Sheet s(815, kEntryH, 11, 24, kEntrySx, kEntrySy, kPaper);
    entrySheet(s, 13, 519);
    const QFont mark = serif(12, true);
    // Immunisations (rows at 72 .. 153) and treatments against parasites (187 .. 219): the
    // disease, then « day » month 20 year г.
    const double rowsY[] = {72, 88, 105, 121, 137, 153, 187, 203, 219};
    for (double y : rowsY) {
        rules(s, {{67, y, 205}, {294, y, 17}, {333, y, 83}, {444, y, 15}});
        s.text(291, y + 8, QStringLiteral("«"), mark, kWordInk, 1);
        s.text(313, y + 8, QStringLiteral("»"), mark, kWordInk);
        s.text(442, y + 8, QStringLiteral("20"), mark, kWordInk, 1);
        s.text(461, y + 8, QStringLiteral("г."), mark, kWordInk);
    }
    rules(s, {{174, 258, 301}, {68, 274, 407}, {310, 288, 166}, {307, 303, 19}, {336, 302, 83},
              {429, 303, 32}, {87, 317, 389}, {116, 332, 360}, {69, 346, 407}, {129, 360, 347},
              {69, 374, 407}, {68, 403, 408}, {68, 418, 409}, {68, 433, 409}, {68, 447, 409},
              {68, 461, 409}, {68, 476, 410}, {72, 548, 165}, {72, 565, 165}, {281, 548, 199},
              {281, 565, 199}});
    s.text(304, 311, QStringLiteral("«"), mark, kWordInk, 1);
    s.text(328, 311, QStringLiteral("»"), mark, kWordInk);
    s.text(463, 311, QStringLiteral("г."), mark, kWordInk);
    s.text(260, 590, QStringLiteral("М. П."), serif(12, true), kSmallInk, 0);
    s.finish();
    return s.image();
}

// ---------------------------------------------------------------------------------------------
// Layout editor pictures, in millimetres of the paper.

namespace {

constexpr double kRuleDrop = 4.4;  // the rule under a printed line, below the line's top
constexpr double kBase = 3.5;      // the wording's baseline, below the line's top
constexpr double kRight = 198;     // right end of the lines

struct Paper {
    Sheet s;
    QFont word = serif(11);
    QFont bold = serif(11, true);
    QFont small = serif(8);
    Paper(int w, int h, double y0, double y1)
        : s(w, h, 0, y0, w / 210.0, h / (y1 - y0), kPaper) {}
    // Wording that starts a printed line at the line's top y; returns its right end.
    double say(double x, double y, const QString& t, double maxRight = kRight) {
        return s.text(x, y + kBase, t, word, kWordInk, -1, maxRight - x);
    }
    void rule(double x1, double x2, double y) { s.hline(x1, x2, y + kRuleDrop, kRule); }
    // A small caption under the rule of the line at y.
    void caption(double cx, double y, const QString& t) {
        s.text(cx, y + kRuleDrop + 2.5, t, small, kSmallInk, 0);
    }
};

}  // namespace

QImage drawLayoutBlankFront() {
    Paper pp(704, 706, 6.4, 272.9);
    Sheet& s = pp.s;
    paperFrame(s, 12, 9, 205, 272, 2.5);
    watermark(s, 110, 150, 60);

    // Header: the issuing body and its lines Z1 to Z4 (printed at x 25, y 30, 36, 42, 49).
    s.text(77, 23.5, QStringLiteral("ГОСУДАРСТВЕННАЯ ВЕТЕРИНАРНАЯ СЛУЖБА"), serif(10, true),
           kWordInk, 0, 100);
    s.text(188, 18, QStringLiteral("Форма № 1"), serif(11, true), kWordInk, 1);
    for (double y : {30.0, 36.0, 42.0, 49.0}) pp.rule(22, 132, y);
    pp.caption(77, 30, QStringLiteral("(субъект Российской Федерации)"));
    pp.caption(77, 36, QStringLiteral("(район, город)"));
    pp.caption(77, 42, QStringLiteral("(наименование учреждения)"));
    s.text(160, 38, QStringLiteral("ВЕТЕРИНАРНОЕ"), serif(14, true), kWordInk, 0);
    s.text(160, 44, QStringLiteral("СВИДЕТЕЛЬСТВО №"), serif(14, true), kWordInk, 0);
    pp.rule(140, 180, 45.5);

    // Date of issue: « DAY » MES 20 GOD г. (printed at x 132, 152, 176, y 63).
    s.text(131, 63 + kBase, QStringLiteral("«"), pp.bold, kWordInk, 1);
    pp.rule(131, 141, 63);
    s.text(142, 63 + kBase, QStringLiteral("»"), pp.bold, kWordInk);
    pp.rule(148, 172, 63);
    s.text(175.5, 63 + kBase, QStringLiteral("20"), pp.bold, kWordInk, 1);
    pp.rule(176, 183, 63);
    s.text(184, 63 + kBase, QStringLiteral("г."), pp.bold, kWordInk);

    pp.say(22, 70, QStringLiteral("Я, нижеподписавшийся, выдал настоящее ветеринарное свидетельство"), 150);
    pp.rule(151, kRight, 70);
    pp.caption(174, 70, QStringLiteral("(наименование"));
    pp.rule(22, kRight, 76);
    pp.caption(110, 76, QStringLiteral("юридического лица или Ф. И. О. физического лица)"));
    pp.rule(22, kRight, 83);
    pp.say(22, 90, QStringLiteral("в том, что при ветеринарном осмотре подлежащих отправке"), 131);
    pp.rule(132, kRight, 90);
    pp.caption(165, 90, QStringLiteral("(указать вид животных, биологических объектов)"));
    pp.rule(22, 79, 96);
    pp.say(80.5, 96, QStringLiteral("в количестве"), 99.5);
    pp.rule(100, 153, 96);
    pp.say(154, 96, QStringLiteral("голов (мест, штук)"));
    pp.say(22, 103, QStringLiteral("больных и подозрительных по заболеванию заразными болезнями не обнаружено и они"));
    pp.say(22, 109, QStringLiteral("выходят (вывозятся) из"), 69);
    pp.rule(70, kRight, 109);
    pp.caption(134, 109, QStringLiteral("(указать наименование организации-отправителя,"));
    pp.rule(22, kRight, 116);
    pp.caption(110, 116, QStringLiteral("полный адрес, в т. ч. название населенного пункта, улицы и номер дома,"));
    pp.rule(22, kRight, 123);
    pp.caption(110, 123, QStringLiteral("название района, области, края, автономного образования или республики в составе Российской Федерации)"));
    pp.say(22, 131, QStringLiteral("благополучного по особо опасным и карантинным болезням животных."));
    pp.say(22, 137, QStringLiteral("При отправке на экспорт указывают благополучие хозяйства и местности согласно требованиям"));
    pp.say(22, 144, QStringLiteral("страны-импортера в срок их благополучия (мес., лет)"), 123);
    pp.rule(124, kRight, 144);
    pp.rule(22, kRight, 151);
    pp.rule(22, kRight, 158);
    pp.say(22, 164.5, QStringLiteral("Животные находились в Российской Федерации: с рождения, не менее 6 месяцев (нужное"));
    pp.say(22, 170, QStringLiteral("подчеркнуть) или"), 53);
    pp.rule(54, 118, 170);
    pp.say(119, 170, QStringLiteral("месяцев."));
    pp.say(22, 177, QStringLiteral("Животные перед отправкой карантинировались"), 113);
    pp.rule(114, kRight, 177);
    pp.caption(156, 177, QStringLiteral("(место карантинирования и количество дней)"));
    pp.rule(22, kRight, 184);
    pp.say(22, 190.5, QStringLiteral("В период карантинирования животные не имели контакта с другими животными; ежедневно"));
    pp.say(22, 195.5, QStringLiteral("клинически осматривались и у них измерялась температура тела; в день выдачи свидетельства"));
    pp.say(22, 200.5, QStringLiteral("обследованы, больных и подозрительных в заболевании не выявлено."));
    pp.say(22, 205.5, QStringLiteral("В период карантинирования материал от животных исследовался в государственной ветеринарной"));
    pp.say(22, 211, QStringLiteral("лаборатории"), 46);
    pp.rule(47, kRight, 211);
    pp.caption(122, 211, QStringLiteral("(указать наименование лаборатории)"));
    pp.say(22, 218.5, QStringLiteral("и были получены следующие результаты:"));

    // Table of test results: columns from the print positions x 21, 75, 105, 150; rows at
    // y 231, 238, 244, 251, 258, 265.
    const double cols[] = {19, 73, 103, 148.5, 199};
    const double lines[] = {223.5, 230.5, 237, 243.5, 250.5, 257.5, 264.5, 271.5};
    for (double y : lines) s.hline(cols[0], cols[4], y, kRule);
    for (double x : cols) s.vline(x, lines[0], lines[7], kRule);
    const QFont head = serif(9, true);
    const QString heads[] = {QStringLiteral("Наименование болезни"), QStringLiteral("Дата исследования"),
                             QStringLiteral("Метод исследования"), QStringLiteral("Результат исследования")};
    for (int i = 0; i < 4; ++i)
        s.text((cols[i] + cols[i + 1]) / 2, 228.3, heads[i], head, kWordInk, 0,
               cols[i + 1] - cols[i] - 1.5);
    s.finish();
    return s.image();
}

QImage drawLayoutBlankReverse() {
    Paper pp(708, 702, 4.5, 277.4);
    Sheet& s = pp.s;
    paperFrame(s, 12, 7, 205, 276.5, 2.5);
    watermark(s, 110, 150, 60);

    // Immunisations: rows at y 25 .. 64; treatments: rows at 80, 88, 95. Each row: the text at
    // x 23, « day (117) » month (129) 20 year (177) г.
    auto dated = [&](double y) {
        pp.rule(22, 113, y);
        s.text(116.5, y + kBase, QStringLiteral("«"), pp.bold, kWordInk, 1);
        pp.rule(116.5, 124, y);
        s.text(124.5, y + kBase, QStringLiteral("»"), pp.bold, kWordInk);
        pp.rule(128.5, 168, y);
        s.text(176.5, y + kBase, QStringLiteral("20"), pp.bold, kWordInk, 1);
        pp.rule(177, 184, y);
        s.text(185, y + kBase, QStringLiteral("г."), pp.bold, kWordInk);
    };
    s.text(22, 18 + kBase, QStringLiteral("Проведена иммунизация против"), pp.bold, kWordInk);
    for (double y : {25.0, 33.0, 41.0, 49.0, 57.0, 64.0}) dated(y);
    s.text(22, 73 + kBase, QStringLiteral("Животные обработаны против паразитов"), pp.bold, kWordInk);
    for (double y : {80.0, 88.0, 95.0}) dated(y);

    pp.say(22, 103, QStringLiteral("Упаковочный материал и сопровождающие грузы происходят непосредственно из хозяйства-"));
    pp.say(22, 108.5, QStringLiteral("поставщика и не контаминированы возбудителями инфекционных болезней."));
    pp.say(22, 114, QStringLiteral("Животные направляются"), 67);
    pp.rule(68, kRight, 114);
    pp.caption(133, 114, QStringLiteral("(пункт назначения и получатель)"));
    pp.rule(22, kRight, 121);
    pp.say(22, 128, QStringLiteral("при спецификации (гуртовой ведомости, накладной) №"), 122);
    pp.rule(123, kRight, 128);
    pp.say(112, 135, QStringLiteral("от"), 118);
    s.text(121.5, 135 + kBase, QStringLiteral("«"), pp.bold, kWordInk, 1);
    pp.rule(121.5, 130, 135);
    s.text(130.5, 135 + kBase, QStringLiteral("»"), pp.bold, kWordInk);
    pp.rule(139.5, 166, 135);
    pp.rule(170.5, 184, 135);
    s.text(185, 135 + kBase, QStringLiteral("г."), pp.bold, kWordInk);
    pp.say(22, 141, QStringLiteral("для"), 28);
    pp.rule(29, kRight, 141);
    pp.caption(113, 141, QStringLiteral("(откорма, разведения, продажи, убоя и т. д.)"));
    pp.say(22, 148, QStringLiteral("и следуют"), 41);
    pp.rule(42, kRight, 148);
    pp.caption(120, 148, QStringLiteral("(железнодорожным, водным, автомобильным, воздушным транспортом;"));
    pp.rule(22, kRight, 154.5);
    pp.caption(110, 154.5, QStringLiteral("номер автомобиля, вагона, название судна, номер рейса и т. д.)"));
    pp.say(22, 161, QStringLiteral("по маршруту"), 46);
    pp.rule(47, kRight, 161);
    pp.caption(122, 161, QStringLiteral("(указать основные пункты следования)"));
    pp.rule(22, kRight, 168);
    s.text(110, 176.5, QStringLiteral("ОСОБЫЕ ОТМЕТКИ"), serif(12, true), kWordInk, 0);
    const double marks[] = {181, 188, 195, 201.5, 209, 215.5};
    for (double y : marks) pp.rule(22, kRight, y);
    pp.caption(110, 181, QStringLiteral("(заполняется при отправке животных переболевших особо опасными заболеваниями,"));
    pp.caption(110, 188, QStringLiteral("перевозке на особых условиях и по специальному разрешению (указанию),"));
    pp.caption(110, 195, QStringLiteral("кем оно дано, номер и дата)"));
    pp.caption(110, 201.5, QStringLiteral("(отметка об осмотре при погрузке, выгрузке, в пути следования)"));
    pp.say(22, 225, QStringLiteral("Транспортное средство очищено и продезинфицировано"));
    pp.say(22, 231, QStringLiteral("Свидетельство предъявляется для контроля при погрузке, в пути следования и передается"));
    pp.say(22, 236, QStringLiteral("грузополучателю. Копии свидетельства недействительны."));

    // Signatures: the counterfoil's receiver on the left (x 26, y 250 and 260), the issuer on the
    // right (x 113, y 249 and 261), whose header lines Z5, Z6 print 3 and 6 mm under his line.
    s.text(24, 244 + kBase, QStringLiteral("Ветеринарное свидетельство получил"), pp.bold, kWordInk, -1, 80);
    s.text(112, 244 + kBase, QStringLiteral("Ветеринарное свидетельство выдал"), pp.bold, kWordInk, -1, 80);
    pp.rule(24, 95, 250);
    pp.caption(59, 250, QStringLiteral("(подпись и полное наименование должности)"));
    pp.rule(24, 95, 260);
    pp.caption(59, 260, QStringLiteral("(фамилия, инициалы)"));
    pp.rule(112, 195, 249);
    pp.rule(112, 195, 261);
    pp.caption(153, 261, QStringLiteral("(подпись, фамилия, инициалы)"));
    s.text(200, 271, QStringLiteral("М. П."), pp.bold, kSmallInk, 1);
    s.finish();
    return s.image();
}

}  // namespace vx::pictures
