#include "printing/certificate_print.h"
#include "shell/procedures.h"

// The reverse side of the counterfoil of the certificate NFORM onto the blank, through the print preview.
void PRINT_F1_3() { vexlo::printing::runCertificatePrint(vexlo::printing::kCounterfoilSide); }
