// OPIS1: the inventory of breeding animals of the certificate NFORM (number, name, inventory
// number, sex, breed, age), run by the register with request 5.
#include "printing/inventory.h"
#include "shell/procedures.h"

void OPIS1() { vexlo::printing::runInventory(vexlo::printing::kBreedingAnimals); }
