#include "shell/procedures.h"

// The counterparty form: not built yet; it opens nothing and says nothing.
void UPDATEAGENT() {}
