#pragma once
// The deletion of a period's certificates, as PERIOD runs it on its own thread.

#include <cstdint>

namespace vexlo::printing {

// Deletes, through RELATE:FORMA1 with its cascade to ANIM, every certificate whose date of issue
// lies in from..to (day numbers, both included; from > to deletes nothing). FORMA1 must be open on
// the running thread. A deletion the relation manager refuses is reported by it and skipped.
// Certificates that cannot be read are left in the file, and one message tells how many.
// Returns the number of certificates deleted.
int deletePeriod(std::int32_t from, std::int32_t to);

}  // namespace vexlo::printing
