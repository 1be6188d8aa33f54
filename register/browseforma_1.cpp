#include "shell/procedures.h"

// The register: not built yet; it opens nothing and says nothing.
void BROWSEFORMA_1() {}
