#include "printing/certificate_print.h"
#include "shell/procedures.h"

// The front side of the certificate NFORM onto the blank, through the print preview.
void PRINT_F1_1() { vexlo::printing::runCertificatePrint(vexlo::printing::kFrontSide); }
