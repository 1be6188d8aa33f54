#pragma once
// VarRef of a typed variable: the bridge from a C++ variable (a global, a local bound by name)
// to the window engine, the pictures and the evaluator.

#include "decimal.h"
#include "fields.h"
#include "values.h"

namespace vx {

template <std::size_t N>
VarRef ref(STRING<N>& v) {
    static_assert(N <= 0xFFFF);
    return {FieldType::String, reinterpret_cast<unsigned char*>(v.b), static_cast<std::uint16_t>(N), 0};
}
template <int N, int P>
VarRef ref(DEC<N, P>& v) { return {FieldType::Dec, v.b, static_cast<std::uint16_t>(N), static_cast<std::uint8_t>(P)}; }
inline VarRef ref(LONG& v) { return {FieldType::Long, v.b, 4, 0}; }
inline VarRef ref(BYTE& v) { return {FieldType::Byte, &v.v, 1, 0}; }

}  // namespace vx
