#include "shell/procedures.h"

// The spreadsheet export dialog: not built yet; it opens nothing and says nothing.
void REP_DATA1() {}
