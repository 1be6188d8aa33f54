#include "shell/procedures.h"

// The front-side print: not built yet; it opens nothing and says nothing.
void PRINT_F1_1() {}
