#pragma once
// The pieces of the certificate entry window that work on data alone: the form buffer copies,
// the font-size groups of the printed lines, the characters-left table, the month names, the
// date parts of the date of issue, and the fold of the operative offset into the print layouts.
// They act on the running thread's FRM and LAS buffers and on the process-wide globals.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::entry {

// --- form buffer
// The certificate into the form buffer (Z1..Z4, F1..F50 with sub-fields; with dateParts also
// DAY, MES, GOD and DATAV := FRM:DATAVV). Each text is cut to its global's width.
void copyIntoFormBuffer(bool dateParts);
// The form buffer back into the certificate: everything but FRM:F2 and the date of issue;
// texts are blank-padded (or cut) to the field's width.
void copyFromFormBuffer();
// The names of the 104 buffer globals ("Z1" ... "F50"), in the record's order.
const std::vector<std::string>& formBufferNames();

// --- font-size groups
// The printed lines whose controls take the first print layout's font: 1..15 for the lines of a
// group, 0 for the eight lines outside the groups (Z1, Z3, Z4, DATAVV, F47..F50), -1 otherwise.
// Names are field names without the prefix ("F171").
int fontGroup(std::string_view field);
// The field names of group g (1..15), or of the ungrouped lines (0), in the table's order.
const std::vector<std::string>& groupFields(int g);

// --- characters-left counter
// The capacity of a counted line at a font size in points; -1 when its row lists no capacity
// for that size or the line is not in the table.
int lineCapacity(std::string_view field, int size);
// Lines with a fixed rule (the test dates: 17 and 27; F49, F50: 39 and 39): the number the
// selection rule subtracts from and the declared width the keystroke rule shows; 0 otherwise.
struct FixedRule {
    int base = 0, width = 0;
};
FixedRule fixedRule(std::string_view field);
bool isCountedLine(std::string_view field);

// --- dates
// The genitive month name in code page 1251 ("марта" for 3); empty outside 1..12.
std::string monthName(int month);
// FRM:DAY, FRM:GOD (the low three digits of the year) and FRM:MES from FRM:DATAVV; a date of 0
// gives DAY = GOD = 0 and leaves MES.
void fillDateParts();

// --- print layout
// Positions LAST at the start of LAS:K1 and reads the first layout into LAS; false when there is
// none (or it cannot be read). Shows no message.
bool readFirstLayout();
// Adds AX, AY to every X/Y pair of every LAST record (exact decimals; LAS:AXF251 keeps its two
// places) and writes each back; then AX and AY are cleared. The fold is all or nothing: when a
// record cannot be read, a shifted position does not fit its field or a write fails, the records
// already written get their old positions back, the failure is reported through GLOBALERRORS
// ("File Write Error"), AX and AY keep the pending offset and false is returned.
bool foldOperativeOffset();

}  // namespace vexlo::entry
