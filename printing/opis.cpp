// OPIS: the inventory of commercial animals of the certificate NFORM (number, name, inventory
// number), run by the register with request 5.
#include "printing/inventory.h"
#include "shell/procedures.h"

void OPIS() { vexlo::printing::runInventory(vexlo::printing::kCommercialAnimals); }
