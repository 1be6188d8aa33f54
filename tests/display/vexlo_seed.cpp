// vexlo-seed <datadir> <FILE>: adds records to KAGENT, FORMA1, ANIM or LAST from standard input,
// one per line as tab-separated "FIELD=value" pairs (dictionary names, "FRM:NOMSV=12"; text in
// UTF-8; dates as day numbers), through the program's own driver and dictionary. The file is
// created when it is missing; fields not named stay blank or zero.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "framework/store/store.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexlo-seed <datadir> KAGENT|FORMA1|ANIM|LAST < records\n");
        return 2;
    }
    const std::string which = QString::fromLocal8Bit(argv[2]).toUpper().toStdString();
    const vx::store::FileDesc* desc = which == "KAGENT"   ? &vexlo::kagentFile()
                                      : which == "FORMA1" ? &vexlo::forma1File()
                                      : which == "ANIM"   ? &vexlo::animFile()
                                      : which == "LAST"   ? &vexlo::lastFile()
                                                          : nullptr;
    if (!desc) {
        std::fprintf(stderr, "vexlo-seed: unknown file %s\n", argv[2]);
        return 2;
    }
    vx::store::File f(*desc, argv[1]);
    if (f.create() != 0 || f.open() != 0) {
        std::fprintf(stderr, "vexlo-seed: %s\n", f.errorMessage().c_str());
        return 1;
    }
    const vx::RecordDesc& rd = *desc->record;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty()) continue;
        std::vector<unsigned char> rec(rd.size);
        for (const vx::FieldDesc& fd : rd.fields) vx::VarRef::of(fd, rec.data()).setText("");
        for (const QString& pair : QString::fromUtf8(line).split(QLatin1Char('\t'))) {
            const QString name = pair.section(QLatin1Char('='), 0, 0), value = pair.section(QLatin1Char('='), 1);
            bool found = false;
            for (const vx::FieldDesc& fd : rd.fields)
                if (name.compare(QString::fromLatin1(fd.name), Qt::CaseInsensitive) == 0) {
                    vx::VarRef::of(fd, rec.data()).setText(vx::cp::toCp1251(value));
                    found = true;
                }
            if (!found) {
                std::fprintf(stderr, "vexlo-seed: no field %s\n", name.toUtf8().constData());
                return 2;
            }
        }
        if (f.add(rec.data()) != 0) {
            std::fprintf(stderr, "vexlo-seed: %s\n", f.errorMessage().c_str());
            return 1;
        }
    }
    return 0;
}
