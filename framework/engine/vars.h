#pragma once
// The registry of named variables: every control with a USE is bound through it, and the
// expression evaluator's BIND uses the same names. Names are case-insensitive ("FRM:nomsv").
//
// Process-wide variables register a fixed VarRef; per-thread record buffers register a resolver
// that finds the running thread's copy; a thread can also bind names of its own (procedure-local
// values such as a register's search text), which hide process-wide names on that thread only.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/types/fields.h"
#include "framework/types/refs.h"  // vx::ref(variable): the VarRef to register

namespace vx::eng {

using VarResolver = std::function<VarRef()>;

namespace vars {
// Process-wide.
void add(std::string_view name, VarRef ref);
void add(std::string_view name, VarResolver resolver);
// Every field of a record as "PRE:FIELD"; buffer() gives the running thread's record bytes.
// oem: the record's file keeps its text in code page 866, so a field takes only what 866 holds.
void addRecord(const RecordDesc& rec, std::function<void*()> buffer, bool oem = false);
void remove(std::string_view name);

// The running thread's own names (also usable on the main stack); removed at thread end.
void bindLocal(std::string_view name, VarRef ref);
void unbindLocal(std::string_view name);

// Looks a name up: the thread's own names first, then the process-wide ones. Invalid when unknown.
VarRef find(std::string_view name);
bool known(std::string_view name);
bool keptIn866(std::string_view name);  // a field of a record whose file keeps 866
std::string normalise(std::string_view name);  // the key the registry uses
}  // namespace vars

}  // namespace vx::eng
