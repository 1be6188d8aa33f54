#pragma once
// Every procedure of the program, each in a source module of its own. Windows opened from the
// frame are started on a thread of their own (vx::eng::START); forms are called directly on their
// caller's thread. Procedures hand values to each other only through the globals and data files.

// shell/
void MAIN();           // the application frame
void ZAST();           // the About window

// register/
void BROWSEFORMA_1();  // the register
void UPDATEFORMA_1();  // the certificate entry window (form)
void UPDATEANIM();     // the animal-row form
void UPDATEAGENT();    // the counterparty form
void REP_DATA1();      // the spreadsheet export dialog

// printing/
void PRINT_F1_1();     // front side
void PRINT_F1_2();     // reverse side
void PRINT_F1_3();     // counterfoil reverse side
void BROWSENASTR();    // the print-layout list
void UPDATENASTR();    // the print-layout editor (form)
void REP_DATA();       // the period report dialog
void REP_INPUT1();     // the period report
void REP_INPUT11();    // the query report
void OPIS();           // the inventory of commercial animals
void OPIS1();          // the inventory of breeding animals
void PERIOD();         // the deletion of a period's certificates

namespace vexlo {
// printing/: creates the first print layout when LAST holds none with a non-zero number
// (number 1, the default positions of the printed fields). Run by _main after DCTINIT.
void ensureFirstPrintLayout();
}  // namespace vexlo
