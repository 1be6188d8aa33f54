#pragma once
// Code pages. Everything the program stores and keeps in memory is Windows code page 1251;
// three data files keep their text in the OEM code page 866 on disk. Conversion to Qt text
// happens only at the window and report edges.

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

namespace vx::cp {

// 1251 bytes -> Unicode. Every byte maps to one character (0x98, unassigned, stays U+0098).
QString fromCp1251(std::string_view bytes);
// Unicode -> 1251 bytes; a character 1251 lacks becomes '?'.
std::string toCp1251(const QString& text);

// In-place conversion of a text field between 1251 (memory) and 866 (disk).
// A 1251 character that 866 lacks is written as an ASCII look-alike or '?', so it does not come back.
void cp1251ToCp866(char* data, std::size_t size);
void cp866ToCp1251(char* data, std::size_t size);

// The characters of text that code page 1251 cannot hold, each once, in the order typed; with
// oem also those that 866 cannot hold (they would not come back from a file kept in 866).
QString unstorable(const QString& text, bool oem);

// Case folding of 1251 text (Latin and Cyrillic, Ё/ё included).
unsigned char upper1251(unsigned char c);
unsigned char lower1251(unsigned char c);
std::string upper1251(std::string_view s);

// Case-insensitive three-way comparison of 1251 bytes in alphabetical order: Cyrillic letters
// sort in the alphabet with Ё right after Е; trailing blanks are ignored.
int compareNoCase1251(std::string_view a, std::string_view b);
// Sort weight of one 1251 byte for case-insensitive ordering (used by the key files).
unsigned char collate1251(unsigned char c);

}  // namespace vx::cp
