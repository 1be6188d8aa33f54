// vexlo-dump <datadir> <FILE>: prints every record of KAGENT, FORMA1, ANIM or LAST as one JSON
// object per line, in file order, through the program's own driver and dictionary. Field names
// are the dictionary's ("FRM:NOMSV"), text is UTF-8 without the trailing blanks, numbers are
// their plain text. A missing data file prints nothing.

#include <cstdio>
#include <string>
#include <vector>

#include <QString>

#include "framework/store/store.h"
#include "framework/types/codepage.h"
#include "data_file_arg.h"
#include "shell/dictionary.h"

namespace {

std::string jsonText(const QString& s) {
    std::string r = "\"";
    for (char32_t ch : s.toStdU32String()) {
        switch (ch) {
        case '"': r += "\\\""; break;
        case '\\': r += "\\\\"; break;
        case '\n': r += "\\n"; break;
        case '\r': r += "\\r"; break;
        case '\t': r += "\\t"; break;
        default:
            if (ch < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(ch));
                r += buf;
            } else {
                r += QString::fromStdU32String(std::u32string(1, ch)).toStdString();
            }
        }
    }
    return r + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexlo-dump <datadir> KAGENT|FORMA1|ANIM|LAST\n");
        return 2;
    }
    const vx::store::FileDesc* desc = dataFileNamed(argv[2]);
    if (!desc) {
        std::fprintf(stderr, "vexlo-dump: unknown file %s\n", argv[2]);
        return 2;
    }
    vx::store::File f(*desc, argv[1]);
    if (int e = f.open(vx::store::mode::ReadOnly)) {
        if (e == vx::store::FileNotFound) return 0;
        std::fprintf(stderr, "vexlo-dump: %s\n", f.errorMessage().c_str());
        return 1;
    }
    const vx::RecordDesc& rd = *desc->record;
    std::vector<unsigned char> rec(rd.size);
    f.setStart(0);
    int e;
    vx::store::Position lastDamaged = 0;
    for (;;) {
        e = f.next(rec.data());
        // A damaged record is named on the standard error stream and passed over.
        if (e == vx::store::DataFileDamaged && f.position() != lastDamaged) {
            lastDamaged = f.position();
            std::fprintf(stderr, "vexlo-dump: %s\n", f.errorMessage().c_str());
            continue;
        }
        if (e) break;
        std::string line = "{";
        bool first = true;
        for (const vx::FieldDesc& fd : rd.fields) {
            if (!first) line += ", ";
            first = false;
            const vx::VarRef v = vx::VarRef::of(fd, rec.data());
            line += jsonText(QString::fromLatin1(fd.name)) + ": " +
                    (v.isText() ? jsonText(vx::cp::fromCp1251(v.text())) : "\"" + v.text() + "\"");
        }
        std::printf("%s}\n", line.c_str());
    }
    if (e != vx::store::NoMoreRecords) {
        std::fprintf(stderr, "vexlo-dump: %s\n", f.errorMessage().c_str());
        return 1;
    }
    return 0;
}
