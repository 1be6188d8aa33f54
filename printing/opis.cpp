#include "shell/procedures.h"

// The inventory of commercial animals: not built yet; it opens nothing and says nothing.
void OPIS() {}
