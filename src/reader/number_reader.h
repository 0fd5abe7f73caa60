// The numbers a, b and n, read as a person types them: one character at a
// time, in bounded memory, the same in every locale.
//
// A number is read as C's strtod and strtol read one: white space skipped,
// then the longest prefix that is a number, and every character after that
// prefix is left unread (given back to the source), to be read next as
// something else. A double takes an optional sign, then decimal digits with
// an optional point and exponent (2.5, -1e-3, .5, 5.), a hexadecimal number
// (0x1.8p1), inf, infinity, nan or nan(chars), in any case; an int takes an
// optional sign and decimal digits. A number of any length converts to the
// double that all of its digits round to.
//
// What is left unread is always exactly what follows the characters taken.
// The one case where strtod would give back more than this reader keeps is
// an unclosed "nan(": after nan, the "(" and the letters, digits and
// underscores that follow it are given back when they are 63 characters or
// fewer; a longer run is taken whole, up to the character that ends it.
//
// This differs from glibc's scanf("%lf %lf %d"), which reads one character
// ahead and cannot give back more than that one:
// - "1e+x": scanf reads 1 and swallows "e+"; here 1 is read and "e+x" left.
// - "infinit" and "0x": scanf fails; here inf and 0 are read, "init" and "x"
//   left.
// - an n outside the range of int: scanf wraps it; here it is clamped to
//   -2147483648 or 2147483647.
#pragma once

// Where the reader takes its characters from, and where it gives back what it
// took but could not use, the last taken first, so that the next read sees
// them again in order.
struct CharSource {
    int (*next)(void* context); // 0..255, or EOF
    void (*give_back)(void* context, int c);
    void* context;
};

// A double after white space: false when none starts there (the value is
// then left alone).
bool read_double(CharSource& source, double& v);
// An int after white space, clamped to int's range; false when none starts there.
bool read_int(CharSource& source, int& v);


// Whether `text` is one double and nothing else (no white space around it),
// and which: the command line takes a and b so.
bool whole_double(const char* text, double& v);
// Whether `text` is one int and nothing else, and which (clamped).
bool whole_int(const char* text, int& v);
