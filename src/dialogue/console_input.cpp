#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dialogue.h"

namespace {

int next(ConsoleInput& input)
{
    if (!input.back.empty()) {
        const int c = static_cast<unsigned char>(input.back.back());
        input.back.pop_back();
        return c;
    }
    if (input.ended)
        return EOF;
    const int c = std::fgetc(input.in);
    if (c == EOF)
        input.ended = true;
    return c;
}

// Gives back `text` and then `c` (unless EOF), so they are read again in order.
void give_back(ConsoleInput& input, int c, const std::string& text)
{
    if (c != EOF)
        input.back.push_back(static_cast<char>(c));
    input.back.append(text.rbegin(), text.rend());
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

// Reads the longest run of characters that starts a number as strtod knows
// it, into `tok`; returns how long its longest complete number is (0: none)
// and leaves in `c` the first character that does not fit.
std::size_t scan_number(ConsoleInput& input, int& c, std::string& tok)
{
    auto take = [&] { tok.push_back(static_cast<char>(c)); c = next(input); };
    auto take_word = [&](const char* word) { // how many of its letters were there
        std::size_t k = 0;
        for (; word[k] != '\0' && lower(c) == word[k]; ++k)
            take();
        return k;
    };
    std::size_t good = 0;
    if (c == '+' || c == '-')
        take();
    if (lower(c) == 'i') {
        if (take_word("inf") < 3)
            return 0;
        good = tok.size();
        return take_word("inity") == 5 ? tok.size() : good;
    }
    if (lower(c) == 'n') {
        if (take_word("nan") < 3)
            return 0;
        good = tok.size();
        if (c != '(')
            return good;
        take();
        while (is_digit(c) || (lower(c) >= 'a' && lower(c) <= 'z') || c == '_')
            take();
        if (c != ')')
            return good;
        take();
        return tok.size();
    }
    bool hex = false;
    if (c == '0') {
        take();
        good = tok.size();
        if (lower(c) == 'x') {
            take();
            hex = true;
        }
    }
    auto digit = [&](int ch) { return hex ? is_hex(ch) : is_digit(ch); };
    bool digits = good > 0 && !hex;
    while (digit(c))
        take(), digits = true;
    if (c == '.') {
        take();
        while (digit(c))
            take(), digits = true;
    }
    if (!digits)
        return good;
    good = tok.size();
    if (lower(c) != (hex ? 'p' : 'e'))
        return good;
    take();
    if (c == '+' || c == '-')
        take();
    if (!is_digit(c))
        return good;
    while (is_digit(c))
        take();
    return tok.size();
}

bool read_double(ConsoleInput& input, double& v)
{
    int c = skip_space(input);
    std::string tok;
    const std::size_t good = scan_number(input, c, tok);
    give_back(input, c, tok.substr(good));
    if (good == 0)
        return false;
    tok.resize(good);
    v = std::strtod(tok.c_str(), nullptr);
    return true;
}

bool read_int(ConsoleInput& input, int& v)
{
    int c = skip_space(input);
    std::string sign;
    if (c == '+' || c == '-') {
        sign.push_back(static_cast<char>(c));
        c = next(input);
    }
    if (!is_digit(c)) {
        give_back(input, c, sign);
        return false;
    }
    // Saturates rather than wraps: an over-long n stays the nearest int.
    const long long limit = sign == "-" ? -(long long)INT_MIN : INT_MAX;
    long long mag = 0;
    for (; is_digit(c); c = next(input))
        mag = mag * 10 + (c - '0') > limit ? limit : mag * 10 + (c - '0');
    give_back(input, c, std::string());
    v = static_cast<int>(sign == "-" ? -mag : mag);
    return true;
}

} // namespace

int read_char(ConsoleInput& input)
{
    std::fflush(input.out);
    return next(input);
}

void read_numbers(ConsoleInput& input, double& x0, double& xn, int& n)
{
    std::fflush(input.out);
    if (read_double(input, x0) && read_double(input, xn))
        read_int(input, n);
}
