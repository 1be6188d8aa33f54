#include "shell/procedures.h"

// The application frame: not built yet; it opens nothing and says nothing.
void MAIN() {}
