// Small text helpers shared by the command parsers.
#pragma once

#include <cctype>

namespace text {

inline bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline const char* skip_space(const char* p) {
    while (is_space(*p)) ++p;
    return p;
}

// Spaces and tabs only: a line's own end stays, so an empty command remains empty.
inline const char* skip_blanks(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// Whether text begins with word (given in lower case), case ignored; nothing
// after the word is looked at.
inline bool starts_with_nocase(const char* text, const char* word) {
    for (; *word; ++text, ++word)
        if (std::tolower((unsigned char)*text) != *word) return false;
    return true;
}

// Whether the two texts are equal with the case of ASCII letters ignored.
inline bool equals_nocase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower((unsigned char)*a) != std::tolower((unsigned char)*b)) return false;
    return *a == *b;
}

}  // namespace text
