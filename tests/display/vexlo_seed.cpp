// vexlo-seed <datadir> <FILE>: adds records to KAGENT, FORMA1, ANIM or LAST from JSON objects on
// standard input, one a line, through the program's own driver and dictionary (the files are
// created when missing). Keys are the dictionary's field names ("FRM:NOMSV"), values are texts
// (UTF-8) or numbers; fields not named stay blank or zero; auto-numbered fields get their number.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "framework/store/store.h"
#include "framework/types/codepage.h"
#include "data_file_arg.h"
#include "shell/dictionary.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexlo-seed <datadir> KAGENT|FORMA1|ANIM|LAST < records.jsonl\n");
        return 2;
    }
    const vx::store::FileDesc* desc = dataFileNamed(argv[2]);
    if (!desc) {
        std::fprintf(stderr, "vexlo-seed: unknown file %s\n", argv[2]);
        return 2;
    }
    // The files are a test's, thrown away after it: no sync at every record (thousands of them
    // would take minutes on a busy disk); the program reads them through the same page cache.
    vx::store::setSync(false);
    vx::store::File f(*desc, argv[1]);
    if (f.create() || f.open()) {
        std::fprintf(stderr, "vexlo-seed: %s\n", f.errorMessage().c_str());
        return 1;
    }
    const vx::RecordDesc& rd = *desc->record;
    std::vector<unsigned char> rec(rd.size);
    std::string line;
    int n = 0;
    while (std::getline(std::cin, line)) {
        ++n;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        if (!doc.isObject()) {
            std::fprintf(stderr, "vexlo-seed: line %d is not a JSON object\n", n);
            return 1;
        }
        rd.clear(rec.data());
        const QJsonObject o = doc.object();
        for (auto it = o.begin(); it != o.end(); ++it) {
            const vx::FieldDesc* fd = rd.find(it.key().toStdString());
            if (!fd) {
                std::fprintf(stderr, "vexlo-seed: line %d: no field %s\n", n, qPrintable(it.key()));
                return 1;
            }
            const QString v = it.value().isString() ? it.value().toString() : QString::number(it.value().toDouble(), 'f', 4);
            vx::VarRef::of(*fd, rec.data()).setText(vx::cp::toCp1251(v));
        }
        if (f.add(rec.data())) {
            std::fprintf(stderr, "vexlo-seed: line %d: %s\n", n, f.errorMessage().c_str());
            return 1;
        }
    }
    f.close();
    return 0;
}
