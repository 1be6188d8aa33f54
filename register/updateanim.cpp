#include "shell/procedures.h"

// The animal-row form: not built yet; it opens nothing and says nothing.
void UPDATEANIM() {}
