#include "shell/procedures.h"

// The period report dialog: not built yet; it opens nothing and says nothing.
void REP_DATA() {}
