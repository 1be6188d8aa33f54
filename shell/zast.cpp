#include "shell/procedures.h"

// The About window: not built yet; it opens nothing and says nothing.
void ZAST() {}
