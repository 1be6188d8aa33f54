#pragma once
// The export dialog "Экспорт в файл Forma_2.xls": asks for the period (D1, D2) and the workbook
// (NAMEFILE) and returns when it closes. NAMEFILE is blank when the user left with "Выйти" or
// chose no file.
void REP_DATA1_DIALOG();
