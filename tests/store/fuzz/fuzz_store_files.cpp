// Arbitrary bytes as a data file or as a key file, whole or as patches of sound files: opening,
// BUILD, reading in every order and writing must give error codes, never a crash or a hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/store/store.h"

using namespace vx;
using namespace vx::store;

namespace {

constexpr FieldDesc kFields[] = {
    {"FZ:ID", FieldType::Dec, 0, 5, 0},
    {"FZ:NAME", FieldType::String, 5, 40, 0},
    {"FZ:DAY", FieldType::Long, 45, 4, 0},
};
const RecordDesc kRecord{"FZ", "FZ", 49, kFields};

FileDesc desc() {
    FileDesc d{"FZ", &kRecord, {}, true};
    d.keys.push_back({"FZ:K1", {{&kFields[0], true}}, true, false, true, true});
    d.keys.push_back({"FZ:K2", {{&kFields[1], true}, {&kFields[2], false}}, false, false, false, true});
    return d;
}

std::string dir;
std::string images[3];  // sound FZ.DAT, FZ.K01, FZ.K02

std::string path(int i) { return dir + (i == 0 ? "/FZ.DAT" : i == 1 ? "/FZ.K01" : "/FZ.K02"); }
std::string slurp(const std::string& p) {
    std::string s;
    if (FILE* f = std::fopen(p.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}
void spit(const std::string& p, const std::string& s) {
    if (FILE* f = std::fopen(p.c_str(), "wb")) {
        std::fwrite(s.data(), 1, s.size(), f);
        std::fclose(f);
    }
}

std::vector<unsigned char> record(int i) {
    std::vector<unsigned char> r(49, ' ');
    std::memset(r.data(), 0, 5);
    std::string name = "\xC8\xEC\xFF " + std::to_string(i % 7);  // "Имя n"
    std::memcpy(r.data() + 5, name.data(), name.size());
    std::int32_t day = i * 37 - 100;
    std::memcpy(r.data() + 45, &day, 4);
    return r;
}

void setUp() {
    char tmpl[] = "/tmp/vx_fuzz_XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    dir = tmpl;
    setSync(false);
    File f(desc(), dir);
    if (f.create() || f.open()) std::abort();
    for (int i = 0; i < 300; ++i) {
        auto r = record(i);
        if (f.add(r.data())) std::abort();
    }
    for (Position p = 5; p < 300; p += 9) f.remove(p);
    f.close();
    for (int i = 0; i < 3; ++i) images[i] = slurp(path(i));
}

void exercise() {
    File f(desc(), dir);
    int r = f.open();
    if (r == KeyFileRebuild) {
        if (f.build() != 0) return;
        r = f.open();
    }
    if (r != 0) return;
    std::vector<unsigned char> buf(49);
    for (int k = 0; k <= 2; ++k) {
        int n = 0;
        f.setStart(k);
        while (f.next(buf.data()) == 0 && ++n < 2000) {
        }
        f.setEnd(k);
        while (f.previous(buf.data()) == 0 && ++n < 4000) {
        }
    }
    auto probe = record(3);
    f.get(2, probe.data());
    f.set(2, probe.data());
    f.next(buf.data());
    f.get(Position(7), buf.data());
    f.records();
    auto a = record(1000);
    if (f.add(a.data()) == 0) {
        f.put(a.data());
        f.remove();
    }
    if (f.begin(10) == 0) {
        auto b = record(1001);
        f.add(b.data());
        f.remove(Position(2));
        f.rollback();
    }
    f.close();
    f.build();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (dir.empty()) setUp();
    if (size < 1) return 0;
    const int mode = data[0] % 4;
    const std::string in(reinterpret_cast<const char*>(data + 1), size - 1);
    for (int i = 0; i < 3; ++i) spit(path(i), images[i]);
    ::unlink((dir + "/FZ.JNL").c_str());
    for (const auto& e : std::filesystem::directory_iterator(dir))  // short last slots set aside by BUILD
        if (e.path().extension() == ".BAD") std::filesystem::remove(e.path());
    switch (mode) {
        case 0: spit(path(0), in); break;                          // the data file is the input
        case 1: spit(path(1 + (in.size() & 1)), in); break;        // a key file is the input
        default: {                                                 // patches: (offset 24 bits, byte)
            std::string img = images[mode == 2 ? 0 : 1];
            for (std::size_t i = 0; i + 4 <= in.size(); i += 4) {
                std::size_t off = (std::size_t(std::uint8_t(in[i])) << 16 | std::size_t(std::uint8_t(in[i + 1])) << 8 | std::uint8_t(in[i + 2])) % img.size();
                img[off] = in[i + 3];
            }
            spit(path(mode == 2 ? 0 : 1), img);
        }
    }
    exercise();
    return 0;
}
