#include "shell/procedures.h"

// The period report: not built yet; it opens nothing and says nothing.
void REP_INPUT1() {}
