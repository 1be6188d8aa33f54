#pragma once
// Small field tables shaped like the four data files (same record sizes and key field offsets),
// records built from UTF-8 text, and a temporary directory per test.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QString>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/store/store.h"
#include "framework/types/codepage.h"

namespace vxt {

using namespace vx;
using namespace vx::store;

inline constexpr FieldDesc kKagFields[] = {
    {"KAG:ID", FieldType::Dec, 0, 5, 0},
    {"KAG:NAME", FieldType::String, 5, 80, 0},
};
inline const RecordDesc kKag{"KAGENT", "KAG", 85, kKagFields};

inline constexpr FieldDesc kFrmFields[] = {
    {"FRM:NOMSV", FieldType::Dec, 0, 4, 0},
    {"FRM:DATAVV", FieldType::Long, 4, 4, 0},
    {"FRM:COMMENT", FieldType::String, 8, 9, 0},
    {"FRM:OPIS", FieldType::String, 17, 25, 0},
    {"FRM:DAY", FieldType::Dec, 42, 2, 0},
    {"FRM:MES", FieldType::String, 44, 8, 0},
    {"FRM:GOD", FieldType::Dec, 52, 2, 0},
    {"FRM:Z1", FieldType::String, 54, 200, 0},
    {"FRM:F1", FieldType::String, 254, 27, 0},
    {"FRM:F2", FieldType::String, 281, 120, 0},
    {"FRM:F3", FieldType::String, 401, 4391, 0},  // stands for F3 ... F50
    {"FRM:CENA", FieldType::Dec, 4792, 4, 2},
    {"FRM:SPIN", FieldType::String, 4796, 30, 0},  // stands for SPIN1 ... SPIN15
    {"FRM:RSH", FieldType::Byte, 4826, 1, 0},
};
inline const RecordDesc kFrm{"FORMA1", "FRM", 4827, kFrmFields};

inline constexpr FieldDesc kAniFields[] = {
    {"ANI:NFORM", FieldType::Dec, 0, 5, 0},    {"ANI:NPP", FieldType::Dec, 5, 3, 0},
    {"ANI:KICHKA", FieldType::String, 8, 15, 0}, {"ANI:INVENT", FieldType::String, 23, 15, 0},
    {"ANI:POL", FieldType::String, 38, 10, 0},   {"ANI:PORODA", FieldType::String, 48, 20, 0},
    {"ANI:VOSRAST", FieldType::String, 68, 12, 0}, {"ANI:PRIM", FieldType::String, 80, 30, 0},
};
inline const RecordDesc kAni{"ANIM", "ANI", 110, kAniFields};

inline const std::vector<FieldDesc>& lasFields() {
    static std::deque<std::string> names;
    static std::vector<FieldDesc> f = [] {
        std::vector<FieldDesc> v{{"LAS:NFORM", FieldType::Dec, 0, 5, 0}, {"LAS:NAME", FieldType::String, 5, 30, 0}};
        for (int i = 0; i < 208; ++i) {
            names.push_back("LAS:C" + std::to_string(i));
            v.push_back({names.back().c_str(), FieldType::Dec, std::uint16_t(35 + 4 * i), 4, std::uint8_t(i == 112 ? 2 : 1)});
        }
        v.push_back({"LAS:TYPEFACE", FieldType::String, 867, 31, 0});
        for (int i = 0; i < 4; ++i) v.push_back({"LAS:LONG", FieldType::Long, std::uint16_t(898 + 4 * i), 4, 0});
        v.push_back({"LAS:CENA", FieldType::Dec, 914, 4, 2});
        return v;
    }();
    return f;
}
inline const RecordDesc& lasRecord() {
    static const RecordDesc r{"LAST", "LAS", 918, lasFields()};
    return r;
}

inline KeyDesc key(const char* name, const FieldDesc& f, bool unique = false, bool autoNumber = false) {
    KeyDesc k;
    k.name = name;
    k.components = {{&f, true}};
    k.unique = unique;
    k.autoNumber = autoNumber;
    return k;
}

inline FileDesc kagentDesc() {
    return {"KAGENT", &kKag, {key("KAG:K1", kKagFields[0], true, true), key("KAG:K2", kKagFields[1])}, true};
}
inline FileDesc forma1Desc() {
    FileDesc d{"FORMA1", &kFrm, {key("FRM:K1", kFrmFields[0], true), key("FRM:K2", kFrmFields[9])}, true};
    d.keys[0].primary = true;
    return d;
}
inline FileDesc animDesc() { return {"ANIM", &kAni, {key("ANI:K1", kAniFields[0])}, false}; }
inline FileDesc lastDesc() { return {"LAST.DAT", &lasRecord(), {key("LAS:K1", lasFields()[0])}, true}; }

// A record buffer with typed setters.
struct Rec {
    std::vector<unsigned char> b;
    explicit Rec(std::size_t size) : b(size, 0) {}
    void* data() { return b.data(); }
    void text(std::size_t off, std::size_t size, const char* utf8) {
        std::string s = cp::toCp1251(QString::fromUtf8(utf8));
        s.resize(size, ' ');
        std::memcpy(b.data() + off, s.data(), size);
    }
    std::string text(std::size_t off, std::size_t size) const {
        std::string s(reinterpret_cast<const char*>(b.data() + off), size);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
        return cp::fromCp1251(s).toStdString();
    }
    void dec(std::size_t off, int bytes, long long v) {
        bool neg = v < 0;
        if (neg) v = -v;
        int n = 2 * bytes - 1;
        std::vector<int> d(n);
        for (int i = n - 1; i >= 0; --i) d[i] = int(v % 10), v /= 10;
        b[off] = static_cast<unsigned char>((neg ? 0xD0 : 0) | d[0]);
        for (int i = 1; i < bytes; ++i) b[off + i] = static_cast<unsigned char>(d[2 * i - 1] << 4 | d[2 * i]);
    }
    long long dec(std::size_t off, int bytes) const {
        long long v = b[off] & 0xF;
        for (int i = 1; i < bytes; ++i) v = v * 100 + (b[off + i] >> 4) * 10 + (b[off + i] & 0xF);
        return (b[off] >> 4) == 0xD ? -v : v;
    }
    void i32(std::size_t off, std::int32_t v) { std::memcpy(b.data() + off, &v, 4); }
};

inline Rec kag(long long id, const char* name) {
    Rec r(85);
    r.dec(0, 5, id);
    r.text(5, 80, name);
    return r;
}
inline Rec frm(long long no, const char* recipient, const char* rest = "") {
    Rec r(4827);
    for (auto [off, size] : {std::pair{8, 9}, {17, 25}, {44, 8}, {54, 200}, {254, 27}, {4796, 30}}) r.text(off, size, "");
    r.dec(0, 4, no);
    r.text(8, 9, "Выдано");
    r.text(281, 120, recipient);
    r.text(401, 4391, rest);
    return r;
}
inline Rec ani(long long nform, long long npp, const char* name) {
    Rec r(110);
    r.dec(0, 5, nform);
    r.dec(5, 3, npp);
    for (auto [off, size] : {std::pair{8, 15}, {23, 15}, {38, 10}, {48, 20}, {68, 12}, {80, 30}}) r.text(off, size, "");
    r.text(8, 15, name);
    return r;
}

// Each test runs in a fresh directory.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vx_store_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    // A created and opened file.
    std::unique_ptr<File> opened(const FileDesc& d, int m = mode::ReadWrite) {
        auto f = std::make_unique<File>(d, dir);
        EXPECT_EQ(f->create(), 0) << f->errorMessage();
        EXPECT_EQ(f->open(m), 0) << f->errorMessage();
        return f;
    }
    // The records of `key` in order, each as text(off, size) of the record.
    std::vector<std::string> order(File& f, int k, std::size_t off, std::size_t size, bool backward = false) {
        std::vector<std::string> out;
        Rec r(f.desc().record->size);
        EXPECT_EQ(backward ? f.setEnd(k) : f.setStart(k), 0);
        while ((backward ? f.previous(r.data()) : f.next(r.data())) == 0) out.push_back(r.text(off, size));
        EXPECT_EQ(f.lastError(), NoMoreRecords) << f.errorMessage();
        return out;
    }
    std::vector<long long> numbers(File& f, int k, std::size_t off, int bytes) {
        std::vector<long long> out;
        Rec r(f.desc().record->size);
        EXPECT_EQ(f.setStart(k), 0);
        while (f.next(r.data()) == 0) out.push_back(r.dec(off, bytes));
        return out;
    }
    std::string dir;
};

inline std::string slurp(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return {};
    std::string s;
    char buf[65536];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}
inline void spit(const std::string& path, const std::string& s) {
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(s.data(), 1, s.size(), f);
    fclose(f);
}
inline std::string cp866(const char* utf8) {
    std::string s = cp::toCp1251(QString::fromUtf8(utf8));
    cp::cp1251ToCp866(s.data(), s.size());
    return s;
}
inline std::string cp1251(const char* utf8) { return cp::toCp1251(QString::fromUtf8(utf8)); }

}  // namespace vxt
