#include "shell/procedures.h"

// The print-layout list: not built yet; it opens nothing and says nothing.
void BROWSENASTR() {}
