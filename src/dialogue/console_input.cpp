#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dialogue.h"

#ifndef _WIN32
#include <poll.h>
#endif

namespace {

// A standard input left non-blocking by the parent says "not yet" (EAGAIN),
// and a signal may cut a read short (EINTR): neither is the end of input.
bool wait_for_input(std::FILE* in)
{
#ifdef _WIN32
    (void)in;
    return false;
#else
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        return false;
    pollfd p{fileno(in), POLLIN, 0};
    poll(&p, 1, -1);
    std::clearerr(in);
    return true;
#endif
}

int next(ConsoleInput& input)
{
    if (input.backed > 0)
        return static_cast<unsigned char>(input.back[--input.backed]);
    int c = EOF;
    while (!input.ended && (c = std::fgetc(input.in)) == EOF)
        input.ended = !std::ferror(input.in) || !wait_for_input(input.in);
    return c;
}

// Gives back `text` and then `c` (unless EOF), so they are read again in
// order; what does not fit is dropped, having been consumed.
void give_back(ConsoleInput& input, int c, const char* text, std::size_t len)
{
    constexpr int room = sizeof input.back;
    if (c != EOF && input.backed < room)
        input.back[input.backed++] = static_cast<char>(c);
    while (len > 0 && input.backed < room)
        input.back[input.backed++] = text[--len];
}

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_hex(int c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

int skip_space(ConsoleInput& input)
{
    int c = next(input);
    while (is_space(c))
        c = next(input);
    return c;
}

// Digits that can decide how a decimal rounds to a double: a halfway point
// between two doubles has at most 768 significant digits. Past them only
// whether any other digit is non-zero counts, so a number of any length is
// read in this much space and converts as strtod converts all of it.
constexpr int kept_digits = 800;
// Far beyond any power a double reaches; counts stop there.
constexpr long long exponent_limit = 1000000000000000;

// A number as strtod reads it, scanned one character at a time without
// going back, in bounded space.
struct Scan {
    ConsoleInput& input;
    int c;                          // the character under consideration
    char tail[64] = {};             // taken since the number last was whole,
    std::size_t tail_len = 0;       // given back if no more of it fits
    bool whole = false;             // a number ends before the tail
    bool negative = false, hex = false;
    bool digits_seen = false;       // of the mantissa in its base
    char word = 0;                  // 'i' infinity, 'n' NaN, 0 digits
    char digits[kept_digits + 2] = {}; // significant digits, one standing for the rest, and a 0
    int kept = 0;
    bool rest_nonzero = false;
    long long scale = 0;            // digits * base^scale, base 10 or 2
    long long exponent = 0;         // written after e or p
    char payload[32] = {};          // of nan(...), when short enough to keep
    std::size_t payload_len = 0;

    void take()
    {
        if (tail_len < sizeof tail)
            tail[tail_len++] = static_cast<char>(c);
        c = next(input);
    }
    void complete() { whole = true, tail_len = 0; }
    bool take_word(const char* w) // all of it, or as much as is there
    {
        for (; *w != '\0'; ++w) {
            if (lower(c) != *w)
                return false;
            take();
        }
        return true;
    }
    void digit(bool fraction)
    {
        const int step = hex ? 4 : 1;
        if (kept == 0 && c == '0')
            scale -= fraction ? step : 0;
        else if (kept < kept_digits)
            digits[kept++] = static_cast<char>(c), scale -= fraction ? step : 0;
        else
            rest_nonzero = rest_nonzero || c != '0', scale += fraction ? 0 : step;
        scale = scale < -exponent_limit ? -exponent_limit : scale > exponent_limit ? exponent_limit : scale;
        take();
        complete();
        digits_seen = true;
    }
};

void scan_mantissa(Scan& s)
{
    if (s.c == '0') {
        s.digit(false); // "0x" with no hexadecimal digit after it is the number 0
        if (lower(s.c) == 'x')
            s.take(), s.hex = true, s.digits_seen = false;
    }
    auto in_base = [&](int ch) { return s.hex ? is_hex(ch) : is_digit(ch); };
    while (in_base(s.c))
        s.digit(false);
    if (s.c == '.') {
        s.take();
        if (s.digits_seen)
            s.complete();
        while (in_base(s.c))
            s.digit(true);
    }
    if (!s.digits_seen || lower(s.c) != (s.hex ? 'p' : 'e'))
        return;
    s.take();
    const bool minus = s.c == '-';
    if (s.c == '+' || s.c == '-')
        s.take();
    long long e = 0;
    for (; is_digit(s.c); s.complete())
        e = e * 10 + (s.c - '0') > exponent_limit ? exponent_limit : e * 10 + (s.c - '0'), s.take();
    if (s.tail_len == 0)
        s.exponent = minus ? -e : e;
}

void scan_word(Scan& s)
{
    if (lower(s.c) == 'i') {
        if (s.take_word("inf") && (s.complete(), s.take_word("inity")))
            s.complete();
        return;
    }
    if (!s.take_word("nan"))
        return;
    s.complete();
    if (s.c != '(')
        return;
    s.take();
    for (; is_digit(s.c) || (lower(s.c) >= 'a' && lower(s.c) <= 'z') || s.c == '_'; s.take())
        if (s.payload_len < sizeof s.payload - 1)
            s.payload[s.payload_len++] = static_cast<char>(s.c);
    if (s.c == ')') // an over-long payload is dropped: any NaN prints alike
        s.take(), s.complete(), s.payload_len = s.payload_len < sizeof s.payload - 1 ? s.payload_len : 0;
    else
        s.payload_len = 0;
}

// The whole number, rewritten so that strtod gives the same double for it.
double convert(Scan& s)
{
    char text[kept_digits + 64];
    const char* sign = s.negative ? "-" : "";
    if (s.word != 0) {
        s.payload[s.payload_len] = '\0';
        std::snprintf(text, sizeof text, s.word == 'i' ? "%sinf" : s.payload_len > 0 ? "%snan(%s)" : "%snan", sign,
                      s.payload);
    } else if (s.kept == 0) {
        std::snprintf(text, sizeof text, "%s0", sign);
    } else {
        if (s.rest_nonzero) // any digit past the last kept one: a 1 rounds alike
            s.digits[s.kept++] = '1', s.scale -= s.hex ? 4 : 1;
        s.digits[s.kept] = '\0';
        std::snprintf(text, sizeof text, s.hex ? "%s0x%sp%lld" : "%s%se%lld", sign, s.digits, s.scale + s.exponent);
    }
    return std::strtod(text, nullptr);
}

bool read_double(ConsoleInput& input, double& v)
{
    Scan s{input, skip_space(input)};
    if (s.c == '+' || s.c == '-')
        s.negative = s.c == '-', s.take();
    s.word = lower(s.c) == 'i' ? 'i' : lower(s.c) == 'n' ? 'n' : '\0';
    s.word != 0 ? scan_word(s) : scan_mantissa(s);
    give_back(input, s.c, s.tail, s.tail_len);
    if (s.whole)
        v = convert(s);
    return s.whole;
}

bool read_int(ConsoleInput& input, int& v)
{
    int c = skip_space(input);
    const char sign = c == '+' || c == '-' ? static_cast<char>(c) : '\0';
    if (sign != '\0')
        c = next(input);
    if (!is_digit(c)) {
        give_back(input, c, &sign, sign != '\0' ? 1 : 0);
        return false;
    }
    // Saturates rather than wraps: an over-long n stays the nearest int.
    const long long limit = sign == '-' ? -(long long)INT_MIN : INT_MAX;
    long long mag = 0;
    for (; is_digit(c); c = next(input))
        mag = mag * 10 + (c - '0') > limit ? limit : mag * 10 + (c - '0');
    give_back(input, c, nullptr, 0);
    v = static_cast<int>(sign == '-' ? -mag : mag);
    return true;
}

} // namespace

void flush_output(ConsoleInput& input)
{
    errno = 0;
    if ((std::fflush(input.out) == 0 && !std::ferror(input.out)) || input.output_failed)
        return;
    input.output_failed = true;
    warn(input.err, "Upozornenie: zapis na standardny vystup zlyhal (%s).\n", system_reason(errno != 0 ? errno : EIO));
}

int read_char(ConsoleInput& input)
{
    flush_output(input);
    return next(input);
}

void read_numbers(ConsoleInput& input, double& x0, double& xn, int& n)
{
    flush_output(input);
    if (read_double(input, x0) && read_double(input, xn))
        read_int(input, n);
}
