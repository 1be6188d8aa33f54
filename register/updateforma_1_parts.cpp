#include "register/updateforma_1_parts.h"

#include <QString>

#include <map>

#include "framework/classlib/errors.h"
#include "framework/classlib/filemanager.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/records.h"

namespace vexlo::entry {

namespace {

void* frm() { return static_cast<FRM_RECORD*>(&*FRM); }
void* las() { return static_cast<LAS_RECORD*>(&*LAS); }

struct BufferPair {
    std::string name;
    vx::VarRef global;
    const vx::FieldDesc* field = nullptr;
    bool datePart = false;
};

// Z1..Z4, then every global from DAY on (DAY, GOD, MES, F1 ... F50), each with its field.
const std::vector<BufferPair>& pairs() {
    static const std::vector<BufferPair> p = [] {
        std::vector<BufferPair> r;
        bool inBuffer = false;
        for (const GlobalVar& g : globals()) {
            const std::string name = g.name;
            if (name == "DAY") inBuffer = true;
            const bool header = name == "Z1" || name == "Z2" || name == "Z3" || name == "Z4";
            if (!inBuffer && !header) continue;
            const vx::FieldDesc* f = FORMA1_DESC.find("FRM:" + name);
            if (!f) continue;
            r.push_back({name, g.ref, f, name == "DAY" || name == "MES" || name == "GOD"});
        }
        return r;
    }();
    return p;
}

void copy(vx::VarRef from, vx::VarRef to) {
    if (to.isText()) to.setText(from.text());
    else to.setNumber(from.number());
}

// Text and number values keep their own representation: a text copies as text (leading blanks
// kept, trailing blanks dropped, then cut or padded to the target).
void copyRaw(vx::VarRef from, vx::VarRef to) {
    if (from.isText() && to.isText()) {
        std::string_view s(reinterpret_cast<const char*>(from.data), from.size);
        to.setText(vx::clip(s));
    } else {
        copy(from, to);
    }
}

const std::map<std::string, std::array<int, 6>, std::less<>>& capacities() {
    static const std::map<std::string, std::array<int, 6>, std::less<>> t = [] {
        std::map<std::string, std::array<int, 6>, std::less<>> m;
        auto row = [&m](std::initializer_list<const char*> names, std::array<int, 6> caps) {
            for (const char* n : names) m[n] = caps;
        };
        row({"F2", "F3", "F8", "F9", "F11", "F12", "F15", "F33", "F38", "F40", "F41", "F42", "F43", "F44", "F45", "F46"},
            {120, 120, 85, 85, 84, -1});
        row({"F1"}, {27, 27, 19, 19, 17, -1});
        row({"F4"}, {40, 40, 27, 27, 27, -1});
        row({"F5"}, {39, 39, 26, 26, 26, -1});
        row({"F6"}, {37, 37, 27, 27, 25, -1});
        row({"F7"}, {89, 89, 66, 66, 61, -1});
        row({"F10"}, {52, 52, 36, 36, 35, -1});
        row({"F13"}, {42, 42, 31, 31, 30, -1});
        row({"F14"}, {57, 57, 44, 44, 40, -1});
        row({"F16"}, {104, 104, 77, 77, 72, -1});
        row({"F17", "F18", "F19", "F20", "F21", "F22"}, {30, 30, 22, 22, 20, -1});
        row({"F172", "F182", "F192", "F202", "F212", "F222"}, {30, 30, 21, 21, 19, -1});
        row({"F173", "F183", "F193", "F203", "F213", "F223"}, {33, 33, 23, 23, 22, -1});
        row({"F23", "F24", "F25", "F26", "F27", "F28", "F29", "F30", "F31"}, {65, 65, 47, 47, 46, 46});
        row({"F32"}, {87, 87, 63, 63, 61, 61});
        row({"F34"}, {47, 47, 34, 34, 33, -1});
        row({"F36"}, {115, 115, 83, 83, 80, -1});
        row({"F37"}, {107, 107, 77, 77, 75, -1});
        row({"F39"}, {102, 102, 74, 74, 72, -1});
        return m;
    }();
    return t;
}

const std::array<std::vector<std::string>, 16>& groups() {
    static const std::array<std::vector<std::string>, 16> g = [] {
        std::array<std::vector<std::string>, 16> r;
        auto quad = [](std::vector<std::string>& v, int from, int to) {
            for (int k = from; k <= to; ++k) {
                const std::string s = "F" + std::to_string(k);
                v.insert(v.end(), {s, s + "1", s + "2", s + "3"});
            }
        };
        r[0] = {"Z1", "Z3", "Z4", "DATAVV", "F47", "F48", "F49", "F50"};
        r[1] = {"DAY", "MES", "GOD", "F1", "F2", "F3"};
        r[2] = {"F4", "F5", "F6"};
        r[3] = {"F7", "F8", "F9"};
        r[4] = {"F10", "F11", "F12"};
        r[5] = {"F13", "F14", "F15"};
        r[6] = {"F16"};
        quad(r[7], 17, 22);
        quad(r[8], 23, 28);
        quad(r[9], 29, 31);
        r[10] = {"F32", "F33"};
        r[11] = {"F34", "F35", "F351", "F352"};
        r[12] = {"F36"};
        r[13] = {"F37", "F38"};
        r[14] = {"F39", "F40"};
        r[15] = {"F41", "F42", "F43", "F44", "F45", "F46"};
        return r;
    }();
    return g;
}

}  // namespace

const std::vector<std::string>& formBufferNames() {
    static const std::vector<std::string> n = [] {
        std::vector<std::string> r;
        for (const BufferPair& p : pairs()) r.push_back(p.name);
        return r;
    }();
    return n;
}

void copyIntoFormBuffer(bool dateParts) {
    for (const BufferPair& p : pairs()) {
        if (p.datePart && !dateParts) continue;
        copyRaw(vx::VarRef::of(*p.field, frm()), p.global);
    }
    if (dateParts) DATAV = static_cast<std::int32_t>(FRM->DATAVV);
}

void copyFromFormBuffer() {
    for (const BufferPair& p : pairs()) {
        if (p.name == "F2") continue;
        copyRaw(p.global, vx::VarRef::of(*p.field, frm()));
    }
}

int fontGroup(std::string_view field) {
    const auto& g = groups();
    for (int i = 0; i < 16; ++i)
        for (const std::string& n : g[i])
            if (n == field) return i;
    return -1;
}

const std::vector<std::string>& groupFields(int g) {
    static const std::vector<std::string> none;
    return g >= 0 && g < 16 ? groups()[g] : none;
}

int lineCapacity(std::string_view field, int size) {
    const auto& t = capacities();
    auto it = t.find(field);
    if (it == t.end() || size < 6 || size > 11) return -1;
    return it->second[size - 6];
}

FixedRule fixedRule(std::string_view field) {
    if (field == "F49" || field == "F50") return {39, 39};
    for (int k = 17; k <= 22; ++k)
        if (field == "F" + std::to_string(k) + "1") return {17, 27};
    return {};
}

bool isCountedLine(std::string_view field) {
    return capacities().count(field) != 0 || fixedRule(field).base != 0;
}

std::string monthName(int month) {
    static const char* const names[] = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                        "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
    if (month < 1 || month > 12) return {};
    return vx::cp::toCp1251(QString::fromUtf8(names[month - 1]));
}

void fillDateParts() {
    const auto ymd = vx::date::toYmd(FRM->DATAVV);
    if (!ymd) {
        FRM->DAY = 0;
        FRM->GOD = 0;
        return;
    }
    FRM->DAY = ymd->day;
    FRM->GOD = ymd->year;  // the three-digit field keeps the low digits: 2015 -> 15
    FRM->MES = monthName(ymd->month);
}

bool readFirstLayout() {
    if (!ACCESS_LAST) return false;
    if (ACCESS_LAST->SetStart(LAS_K1) != vx::Level::Benign) return false;
    return ACCESS_LAST->TryNext() == 0;
}

bool foldOperativeOffset() {
    if (!ACCESS_LAST) return false;
    vx::FileManager& file = *ACCESS_LAST;
    const vx::Decimal ax = AX, ay = AY;
    auto shift = [&ax, &ay] {
        bool fits = true;
        for (int i = 0; i < kLastPairs; ++i) {
            const LastPair p = lastPair(i);
            vx::VarRef x = vx::VarRef::of(*p.x, las()), y = vx::VarRef::of(*p.y, las());
            const vx::Decimal nx = x.number() + ax, ny = y.number() + ay;
            fits = fits && x.canHold(nx) && y.canHold(ny);
            x.setNumber(nx);
            y.setNumber(ny);
        }
        return fits;
    };
    auto report = [&file](int code, const QString& text) {
        GLOBALERRORS.SetErrors(code, text);
        GLOBALERRORS.ThrowFile(vx::FileMsg::WriteFailed, file.FileName);
        return false;
    };
    auto driverError = [&file, &report] {
        return report(file.LastError(), vx::cp::fromCp1251(file.LastErrorMessage()));
    };
    const std::string before = file.SaveBuffer();

    // First every record is read and shifted in memory: a position the record cannot hold stops
    // the fold before anything is written.
    struct Layout {
        vx::store::Position pos;
        std::string old;
    };
    std::vector<Layout> layouts;
    if (file.SetStart(LAS_K1) != vx::Level::Benign) return driverError();
    for (;;) {
        const int err = file.TryNext();
        if (err == vx::store::NoMoreRecords) break;
        if (err != 0) {
            file.RestoreBuffer(before);
            return driverError();
        }
        layouts.push_back({file.Position(), file.SaveBuffer()});
        if (!shift()) {
            file.RestoreBuffer(before);
            return report(0, QString::fromUtf8("позиция поля выходит за пределы записи"));
        }
    }
    // Then each record is written; when a write fails, the records already written get their
    // old positions back, so that the pending offset still applies to every layout.
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        bool ok = file.TryReget(layouts[i].pos) == 0;
        if (ok) {
            shift();
            ok = file.TryUpdate() == 0;
        }
        if (!ok) {
            const int code = file.LastError();
            const QString text = vx::cp::fromCp1251(file.LastErrorMessage());
            for (std::size_t j = 0; j < i; ++j)
                if (file.TryReget(layouts[j].pos) == 0) {
                    file.RestoreBuffer(layouts[j].old);
                    file.TryUpdate();
                }
            file.RestoreBuffer(before);
            return report(code, text);
        }
    }
    AX = 0;
    AY = 0;
    return true;
}

}  // namespace vexlo::entry
