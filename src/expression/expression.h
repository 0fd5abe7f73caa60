// A function of x as the user types it, and the one order of operations it
// is evaluated in: the rule the menu's polynomials follow, so that each menu
// text typed with decimal points gives the built-in's bits.
//
// - Sums and products go left to right as written: a - b + c is (a - b) + c,
//   a * b / c is (a * b) / c.
// - A power whose exponent is a whole number from 1 to 64 written as a
//   literal (x^3, (x+1)^2) takes its place in the product as that many
//   factors: 3x^2 is (3*x)*x, x^2*3 is (x*x)*3. As a divisor it is formed
//   first: 1/x^2 is 1/(x*x). Any other power calls pow.
// - A number directly before x, a name or "(" multiplies: 3x, 2sin(x),
//   0.5(x+1), 2pi.
// - ^ binds tighter than a sign and groups to the right: -x^2 is -(x*x),
//   2^3^2 is 2^9.
// - Every function is the C library's.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace expr {

enum class Function { sin, cos, tan, asin, acos, atan, sinh, cosh, tanh, exp, log, log10, sqrt, cbrt, abs };

// The names as typed, in the order of Function.
extern const char* const function_names[15];

// pi and e as the program computes with them: the doubles nearest them.
constexpr double pi_double = 3.141592653589793115997963468544185161590576171875;
constexpr double e_double = 2.718281828459045090795598298427648842334747314453125;

enum class Kind : unsigned char {
    number, // `value`, typed as `text`
    x,
    pi,
    e,
    negate,  // -a
    sum,     // a, then each term added or subtracted
    product, // a repeated `repeat` times, then each term multiplied or divided
    power,   // pow(a, b)
    call,    // function(a)
};

// A term of a sum (op '+' or '-') or of a product (op '*' or '/'), its
// factor repeated `repeat` times.
struct Term {
    char op;
    int node;
    int repeat = 1;
};

struct Node {
    Kind kind = Kind::number;
    double value = 0.0;   // number
    std::string text;     // number: its characters as typed
    Function function = Function::sin;
    int a = -1;           // operand, base, or the first of a sum or product
    int b = -1;           // exponent
    int repeat = 1;       // product: of the first factor
    int terms_begin = 0;  // sum, product: [terms_begin, terms_end) of `terms`
    int terms_end = 0;

    static Node of(Kind k)
    {
        Node n;
        n.kind = k;
        return n;
    }
};

// Every node after the nodes it uses: evaluation is one pass in order, and
// the last node is the whole expression.
struct Expression {
    std::vector<Node> nodes;
    std::vector<Term> terms;
    int root() const { return static_cast<int>(nodes.size()) - 1; }
    bool uses_x() const;
};

constexpr int longest_text = 10000;
constexpr int deepest_nesting = 200;

// Where a text is no expression: the index of the character (0 for the
// first) and what was expected there, in Slovak.
struct ParseError {
    std::size_t at = 0;
    std::string what;
};

// Parses `text` into `e`; false with `error` set where it is no expression.
bool parse(const std::string& text, Expression& e, ParseError& error);

// The expression written out so that it parses back into the same tree.
std::string to_text(const Expression& e);

// Whether two trees are the same: kinds, numbers to the bit, terms.
bool same_tree(const Expression& p, const Expression& q);

// The same double to the bit: -0 is not 0, as 1/x tells them apart. Inline:
// the engine asks it a point.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): either way round
inline bool same_double(double p, double q)
{
    std::uint64_t u = 0;
    std::uint64_t v = 0;
    std::memcpy(&u, &p, sizeof u);
    std::memcpy(&v, &q, sizeof v);
    return u == v;
}

// `text` without the spaces around it, as records and captions show it.
std::string trimmed(const std::string& text);

} // namespace expr
