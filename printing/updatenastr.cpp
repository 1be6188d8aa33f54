#include "shell/procedures.h"

// The print-layout editor: not built yet; it opens nothing and says nothing.
void UPDATENASTR() {}
