#pragma once
// Pictures: the display formats that window and report layouts give their fields.
//
//   @sN / @SN      text of N characters (N >= 1): shown cut to N, clipped of trailing blanks.
//   @n[-][_|0]W[.P][b]
//                  a number in W positions (sign and point included) with P decimals.
//                  '-' allows a negative number to be typed (a negative value is always shown
//                  with its leading minus, never without it); '_' fills with blanks (the
//                  default), '0' with leading zeros; no thousands separators; 'b' shows zero
//                  as blank text. A value wider than W shows as W '#' characters. A value with
//                  more decimals than P is shown rounded half away from zero.
//   @d6[sep][b]    a date as dd.mm.yyyy (sep '.', '/', '-', ',' or '_' for a blank; '.' when
//                  omitted). No date (0) is always shown blank; a day number outside the
//                  calendar shows as '#' characters.
//   @P<mask>P[b]   a pattern: '#' is a digit shown with leading zeros, '<' a digit shown blank
//                  while it is a leading zero, any other character is copied. 'b' shows zero
//                  blank. A value that is negative or has more digits than the mask shows '#'s.
//
// The field may be of any type: a number picture on a text field reads the text as a number; a
// date picture on a text field reads the text as the date's day number in decimal digits (so
// the test-date cells of a certificate show 81234 as a date); a pattern on a short text field
// reads its digits. A text field whose text is not a number shows its text unchanged under a
// number, date or pattern picture, so no stored text is ever hidden.
//
// Input (deformat) accepts what a user types:
//   text:    cut to the picture's width and to the field.
//   numbers: blanks around, an optional sign, digits, '.' or ',' as the point. Blank is zero.
//            Invalid: anything else, a negative number without '-' in the picture, more
//            decimals than the picture shows, a value too wide for the picture, or a value
//            the field cannot hold without losing a digit.
//   dates:   d.m.yyyy and d.m.yy with '.', '/', '-', ',' or a blank between the parts, or the
//            digits alone as ddmmyyyy or ddmmyy. Blank is no date. A two-digit year is the year
//            with those digits within the 80 years before and the 19 years after the current
//            year (date::expandYear). Invalid: a day or month that does not exist, a year
//            before 1801 or after 9999, any other form.
//   pattern: the mask's digits (its literal characters may be typed or left out), at most as
//            many as the mask holds. Blank is zero. A text field gets the digits padded with
//            leading zeros to the mask's digit count ("5" in @P##P stores "05").
// A false result leaves the field unchanged.

#include <optional>
#include <string>
#include <string_view>

#include "fields.h"

namespace vx::pic {

enum class Kind : std::uint8_t { String, Number, Date, Pattern };
enum class Align : std::uint8_t { Left, Right };

struct Picture {
    Kind kind = Kind::String;
    int width = 0;           // display width in characters
    Align align = Align::Left;
    int places = 0;          // Number: decimals
    bool blankZero = false;  // trailing 'b'
    bool allowNegative = false;  // Number: '-' given
    char fill = ' ';         // Number: ' ' or '0'
    char separator = '.';    // Date
    int dateStyle = 6;       // Date
    std::string mask;        // Pattern: the characters between @P and P
    std::string text;        // the picture as written
};

// nullopt for a picture that is not one of the forms above.
std::optional<Picture> parse(std::string_view picture);

// The display text in code page 1251, without padding (Picture::width and align tell how to
// lay it out).
std::string format(const Picture& p, const VarRef& v);
// Reads typed 1251 text into the field; false (field unchanged) when the input is invalid.
bool deformat(const Picture& p, std::string_view input, VarRef target);

// Convenience forms that parse the picture first. An invalid picture formats as the field's
// plain text and deformats nothing (false).
std::string format(std::string_view picture, const VarRef& v);
bool deformat(std::string_view picture, std::string_view input, VarRef target);

// Value-level pieces, for the report engine and the evaluator.
std::string formatNumber(const Picture& p, const Decimal& v);
std::string formatDate(const Picture& p, std::int32_t day);
// Typed number under a number picture (range of the target not checked); nullopt if invalid.
std::optional<Decimal> parseNumber(const Picture& p, std::string_view input);
// Typed date; 0 for blank input, nullopt if invalid. currentYear decides two-digit years.
std::optional<std::int32_t> parseDate(std::string_view input, int currentYear);

}  // namespace vx::pic
