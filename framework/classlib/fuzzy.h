#pragma once
// FUZZYCLASS: scores how well a search text matches a record's text, for the register's fuzzy
// order (the whole certificate file sorted by 200 minus the score).
//
// Options (SetOption):
//   1  case-insensitive matching (Latin and Cyrillic, Ё/ё included), on after Init
//   2  whole words only: the query and its words count only where they stand as whole words,
//      and scattered letters do not count; off after Init
//
// Both texts are code page 1251; blanks at either end and runs of blanks inside do not count.
// Match gives 0 to 255, a better match scoring higher, in tiers that never overlap:
//   255        the text is the query
//   200 - 254  the text begins with the query; more of the text covered scores higher
//   150 - 199  the query stands inside the text; +25 when it starts a word, the rest for an
//              earlier place and for covering more of the text
//   100 - 149  every word of a query of several words stands in the text, in any order; words
//              that start a word of the text score higher
//    50 -  99  every word of the query stands in the text with a few typing errors: a wrong,
//              an extra or a missing letter, or two neighbouring letters swapped, each one error
//              (the optimal-string-alignment distance of the word to the stretch of the text it
//              matches best); a word of up to 2 letters allows none, 3 to 5 letters one, 6 to 9
//              two, longer words three. Fewer errors for the letters typed score higher.
//     1 -  49  the query's letters (blanks left out) appear in the text in their order, with
//              other characters between them; the tighter they stand, the higher
//     0        no match, an empty query or an empty text
// With whole words only, the two lowest tiers give 0.
// A letter or digit is a word character; anything else separates words.
// Cost: one pass for the exact, prefix and substring tiers (memmem); one bit-parallel pass over
// the text per query word for the typing errors (words past 64 letters are cut to 64); at most
// (query length x text length) steps for the scattered tier.

#include <string_view>

namespace vx {

class FuzzyClass {
public:
    enum Option { CaseInsensitive = 1, WordOnly = 2 };

    // Init: the options to their start values (case-insensitive on, whole words off).
    void Init();
    void Kill();
    void SetOption(int option, bool value);
    bool GetOption(int option) const;

    // 0 (no match) to 255 (equal texts).
    int Match(std::string_view query, std::string_view text) const;

    // The fewest typing errors (wrong, extra or missing letter, two neighbouring letters
    // swapped) that turn `word` into some stretch of `text`; bytes compared as they are.
    static int Errors(std::string_view word, std::string_view text);

private:
    bool noCase_ = true;
    bool wordOnly_ = false;
};

}  // namespace vx
