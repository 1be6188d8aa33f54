#include "shell/procedures.h"

// The query report: not built yet; it opens nothing and says nothing.
void REP_INPUT11() {}
