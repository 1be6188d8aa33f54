#include "shell/procedures.h"

// The inventory of breeding animals: not built yet; it opens nothing and says nothing.
void OPIS1() {}
