#include "records.h"

#include <cstddef>

namespace {
#include "records_fields.inc"

}  // namespace

const vx::RecordDesc KAGENT_DESC{"KAGENT", "KAG", sizeof(KAG_RECORD), kKagFields};
const vx::RecordDesc ANIM_DESC{"ANIM", "ANI", sizeof(ANI_RECORD), kAniFields};
const vx::RecordDesc FORMA1_DESC{"FORMA1", "FRM", sizeof(FRM_RECORD), kFrmFields};
const vx::RecordDesc LAST_DESC{"LAST", "LAS", sizeof(LAS_RECORD), kLasFields};

namespace vexlo {

const std::array<const vx::RecordDesc*, 4>& recordDescs() {
    static const std::array<const vx::RecordDesc*, 4> all{&KAGENT_DESC, &ANIM_DESC, &FORMA1_DESC, &LAST_DESC};
    return all;
}

const vx::RecordDesc* findRecordDesc(std::string_view name) {
    for (const vx::RecordDesc* d : recordDescs())
        if (vx::equalsAsciiNoCase(name, d->file) || vx::equalsAsciiNoCase(name, d->prefix)) return d;
    return nullptr;
}

const vx::FieldDesc* findField(std::string_view name) {
    auto c = name.find(':');
    if (c == std::string_view::npos) return nullptr;
    const vx::RecordDesc* d = findRecordDesc(name.substr(0, c));
    return d ? d->find(name) : nullptr;
}

const std::array<const char*, kLastPairs>& lastPrintedFields() {
    static const std::array<const char*, kLastPairs> names = [] {
        std::array<const char*, kLastPairs> a{};
        for (int i = 0; i < kLastPairs; ++i) a[static_cast<std::size_t>(i)] = kLastPrinted[i];
        return a;
    }();
    return names;
}

LastPair lastPair(int index) {
    if (index < 0 || index >= kLastPairs) return {};
    // The pairs follow LAS:NFORM and LAS:NAME in the table.
    const auto& f = LAST_DESC.fields;
    return {&f[static_cast<std::size_t>(2 + 2 * index)], &f[static_cast<std::size_t>(3 + 2 * index)]};
}

LastPair lastPair(std::string_view name) {
    if (name.size() > 4 && vx::equalsAsciiNoCase(name.substr(0, 4), "FRM:")) name.remove_prefix(4);
    for (int i = 0; i < kLastPairs; ++i)
        if (vx::equalsAsciiNoCase(name, kLastPrinted[i])) return lastPair(i);
    return {};
}

}  // namespace vexlo
