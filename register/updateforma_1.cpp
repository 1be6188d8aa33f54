#include "shell/procedures.h"

// The certificate entry window: not built yet; it opens nothing and says nothing.
void UPDATEFORMA_1() {}
