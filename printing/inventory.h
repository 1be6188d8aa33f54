#pragma once
// What the two animal inventories share (OPIS commercial animals, OPIS1 breeding animals): the
// animal rows of the certificate NFORM ("nform=ani:nform", NFORM bound as it is), in ascending
// ANI:NPP, one table row each; the break on ANI:NFORM prints the header with Z1..Z4, the title,
// the certificate's number and date (DATAV) once before the first row and the footer with P3 and
// P4 once after the last. Run on the register's thread through its Run(4 or 5, request 5); the
// answer goes into GLOBALRESPONSE.

namespace vexlo::printing {

struct Inventory {
    const char* name;      // registered name and INI section
    const char* report;    // report layout resource
    const char* progress;  // progress window layout resource
};

inline constexpr Inventory kCommercialAnimals{"Opis", ":/reports/opis.rpt", ":/reports/opis.lay"};
inline constexpr Inventory kBreedingAnimals{"Opis1", ":/reports/opis1.rpt", ":/reports/opis1.lay"};

void runInventory(const Inventory& inventory);

}  // namespace vexlo::printing
