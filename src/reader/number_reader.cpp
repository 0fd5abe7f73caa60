#include "number_reader.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

// Digits that can decide how a decimal rounds to a double: a halfway point
// between two doubles has at most 768 significant digits. Past them only
// whether any other digit is non-zero counts, so a number of any length is
// read in this much space and converts as strtod converts all of it.
constexpr int kept_digits = 800;
// Far beyond any power a double reaches; counts stop there.
constexpr long long exponent_limit = 1000000000000000;

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_hex(int c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int lower(int c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 'a';
    return c;
}

long long clamped(long long v)
{
    if (v < -exponent_limit)
        return -exponent_limit;
    if (v > exponent_limit)
        return exponent_limit;
    return v;
}

int skip_space(CharSource& source)
{
    int c = source.next(source.context);
    while (is_space(c))
        c = source.next(source.context);
    return c;
}

// A double as it is scanned: one character at a time, never going back.
struct Scan {
    CharSource& source;
    int c;                        // the character under consideration
    char tail[63] = {};           // taken since the number was last whole: given
    std::size_t tail_len = 0;     // back if no more of the number follows,
    bool tail_lost = false;       // unless it outgrew its room
    bool whole = false;           // a number ends before the tail
    bool negative = false;
    bool hex = false;
    bool digits_seen = false;     // of the mantissa, in its base
    char word = 0;                // 'i' infinity, 'n' NaN, 0 digits
    char digits[kept_digits + 2] = {}; // significant digits, one standing for the rest, and a 0
    int kept = 0;
    bool rest_nonzero = false;
    long long scale = 0;          // the value is digits * base^scale, base 10 or 2
    long long exponent = 0;       // written after e or p
    char payload[32] = {};        // of nan(...), when short enough to keep
    std::size_t payload_len = 0;
};

void take(Scan& s)
{
    if (s.tail_len < sizeof s.tail) {
        s.tail[s.tail_len] = static_cast<char>(s.c);
        ++s.tail_len;
    } else {
        s.tail_lost = true;
    }
    s.c = s.source.next(s.source.context);
}

void complete(Scan& s)
{
    s.whole = true;
    s.tail_len = 0;
    s.tail_lost = false;
}

// All of `w` in any case, or as much of it as is there.
bool take_word(Scan& s, const char* w)
{
    for (; *w != '\0'; ++w) {
        if (lower(s.c) != *w)
            return false;
        take(s);
    }
    return true;
}

bool in_base(const Scan& s)
{
    if (s.hex)
        return is_hex(s.c);
    return is_digit(s.c);
}

void digit(Scan& s, bool fraction)
{
    const int step = s.hex ? 4 : 1; // a hexadecimal digit is four bits
    if (s.kept == 0 && s.c == '0') {
        if (fraction)
            s.scale -= step;
    } else if (s.kept < kept_digits) {
        s.digits[s.kept] = static_cast<char>(s.c);
        ++s.kept;
        if (fraction)
            s.scale -= step;
    } else {
        if (s.c != '0')
            s.rest_nonzero = true;
        if (!fraction)
            s.scale += step;
    }
    s.scale = clamped(s.scale);
    take(s);
    complete(s);
    s.digits_seen = true;
}

// After e or p: the exponent counts only when a digit follows the sign.
void scan_exponent(Scan& s)
{
    take(s);
    const bool minus = s.c == '-';
    if (s.c == '+' || s.c == '-')
        take(s);
    long long e = 0;
    while (is_digit(s.c)) {
        e = clamped(e * 10 + (s.c - '0'));
        take(s);
        complete(s);
    }
    if (s.tail_len > 0)
        return;
    s.exponent = e;
    if (minus)
        s.exponent = -e;
}

void scan_mantissa(Scan& s)
{
    if (s.c == '0') {
        digit(s, false);
        // "0x" with no hexadecimal digit after it is the number 0
        if (lower(s.c) == 'x') {
            take(s);
            s.hex = true;
            s.digits_seen = false;
        }
    }
    while (in_base(s))
        digit(s, false);
    if (s.c == '.') {
        take(s);
        if (s.digits_seen)
            complete(s);
        while (in_base(s))
            digit(s, true);
    }
    int mark = 'e';
    if (s.hex)
        mark = 'p';
    if (s.digits_seen && lower(s.c) == mark)
        scan_exponent(s);
}

void scan_word(Scan& s)
{
    if (s.word == 'i') {
        if (!take_word(s, "inf"))
            return;
        complete(s);
        if (take_word(s, "inity"))
            complete(s);
        return;
    }
    if (!take_word(s, "nan"))
        return;
    complete(s);
    if (s.c != '(')
        return;
    take(s);
    while (is_digit(s.c) || is_letter(s.c) || s.c == '_') {
        if (s.payload_len < sizeof s.payload - 1) {
            s.payload[s.payload_len] = static_cast<char>(s.c);
            ++s.payload_len;
        }
        take(s);
    }
    if (s.c != ')') {
        s.payload_len = 0;
        return;
    }
    take(s);
    complete(s);
    if (s.payload_len == sizeof s.payload - 1) // cut short: any NaN prints alike
        s.payload_len = 0;
}

// The character under consideration and the tail, so that they are read
// again in order. A tail that outgrew its room is consumed whole, so that
// what is left unread is always what follows it in the input.
void give_back(Scan& s)
{
    if (s.c != EOF)
        s.source.give_back(s.source.context, s.c);
    if (s.tail_lost)
        return;
    while (s.tail_len > 0) {
        --s.tail_len;
        s.source.give_back(s.source.context, static_cast<unsigned char>(s.tail[s.tail_len]));
    }
}

// The whole number, rewritten so that strtod gives the same double for it:
// the text has no decimal point, so no locale can change how it reads.
double convert(Scan& s)
{
    char text[kept_digits + 64];
    const char* sign = s.negative ? "-" : "";
    s.payload[s.payload_len] = '\0';
    if (s.word == 'i') {
        std::snprintf(text, sizeof text, "%sinf", sign);
    } else if (s.word == 'n' && s.payload_len > 0) {
        std::snprintf(text, sizeof text, "%snan(%s)", sign, s.payload);
    } else if (s.word == 'n') {
        std::snprintf(text, sizeof text, "%snan", sign);
    } else if (s.kept == 0) {
        std::snprintf(text, sizeof text, "%s0", sign);
    } else {
        if (s.rest_nonzero) { // a digit past the last kept one: a 1 there rounds alike
            s.digits[s.kept] = '1';
            ++s.kept;
            s.scale -= s.hex ? 4 : 1;
        }
        s.digits[s.kept] = '\0';
        const char* format = s.hex ? "%s0x%sp%lld" : "%s%se%lld";
        std::snprintf(text, sizeof text, format, sign, s.digits, s.scale + s.exponent);
    }
    return std::strtod(text, nullptr);
}

} // namespace

namespace {

// As read_double; `consumed_more` tells that characters past the number were
// taken and dropped (an unclosed nan( run too long to give back).
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the value, then whether more was read
bool scan_double(CharSource& source, double& v, bool& consumed_more)
{
    Scan s{source, skip_space(source)};
    if (s.c == '+' || s.c == '-') {
        s.negative = s.c == '-';
        take(s);
    }
    if (lower(s.c) == 'i' || lower(s.c) == 'n') {
        s.word = static_cast<char>(lower(s.c));
        scan_word(s);
    } else {
        scan_mantissa(s);
    }
    consumed_more = s.tail_lost;
    give_back(s);
    if (s.whole)
        v = convert(s);
    return s.whole;
}

} // namespace

bool read_double(CharSource& source, double& v)
{
    bool consumed_more = false;
    return scan_double(source, v, consumed_more);
}

bool read_int(CharSource& source, int& v)
{
    int c = skip_space(source);
    int sign = 0;
    if (c == '+' || c == '-') {
        sign = c;
        c = source.next(source.context);
    }
    if (!is_digit(c)) {
        if (c != EOF)
            source.give_back(source.context, c);
        if (sign != 0)
            source.give_back(source.context, sign);
        return false;
    }
    // Saturates rather than wraps: an over-long n stays the nearest int.
    const long long limit = sign == '-' ? -(long long)INT_MIN : INT_MAX;
    long long mag = 0;
    for (; is_digit(c); c = source.next(source.context)) {
        mag = mag * 10 + (c - '0');
        if (mag > limit)
            mag = limit;
    }
    if (c != EOF)
        source.give_back(source.context, c);
    if (sign == '-')
        mag = -mag;
    v = static_cast<int>(mag);
    return true;
}

namespace {

struct Text {
    const char* s;
    std::size_t at;
};

int next_in_text(void* context)
{
    Text& t = *static_cast<Text*>(context);
    if (t.s[t.at] == '\0')
        return EOF;
    return static_cast<unsigned char>(t.s[t.at++]);
}

// Only what was taken comes back, in the reverse order: one step back.
void back_in_text(void* context, int) { --static_cast<Text*>(context)->at; }

} // namespace

// A whole text is one number only where the reader takes all of it as the
// number: an unclosed nan( run it drops for want of room is no number, at
// any length, as strtod would leave it.
bool whole_double(const char* text, double& v)
{
    Text t{text, 0};
    CharSource source{next_in_text, back_in_text, &t};
    double got = 0.0;
    bool consumed_more = false;
    if (is_space(static_cast<unsigned char>(text[0])) || !scan_double(source, got, consumed_more) || consumed_more ||
        text[t.at] != '\0')
        return false;
    v = got;
    return true;
}

bool whole_int(const char* text, int& v)
{
    Text t{text, 0};
    CharSource source{next_in_text, back_in_text, &t};
    int got = 0;
    if (is_space(static_cast<unsigned char>(text[0])) || !read_int(source, got) || text[t.at] != '\0')
        return false;
    v = got;
    return true;
}
