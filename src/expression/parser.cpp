// A recursive-descent parser of the language in expression.h. It recurses
// only where the text nests (parentheses, functions, signs, exponents),
// never along a sum or a product, so that its depth is the nesting's, which
// it bounds.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "expression.h"
#include "number_reader.h"

namespace expr {

const char* const function_names[15] = {"sin",  "cos", "tan", "asin",  "acos", "atan", "sinh", "cosh",
                                        "tanh", "exp", "log", "log10", "sqrt", "cbrt", "abs"};

namespace {

// A factor as a product sees it: a node, and how many times it stands in
// the chain (x^3 is x three times).
struct Factor {
    int node = -1;
    int repeat = 1;
};

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct Text {
    const std::string& s;
    std::size_t at;
};

int next_of(void* context)
{
    Text& t = *static_cast<Text*>(context);
    if (t.at >= t.s.size())
        return EOF;
    return static_cast<unsigned char>(t.s[t.at++]);
}

// Only what was taken comes back, the last first: one step back.
void back_of(void* context, int) { --static_cast<Text*>(context)->at; }

class Parser {
  public:
    Parser(const std::string& s, Expression& e, ParseError& error) : s_(s), e_(e), error_(error) {}

    bool whole()
    {
        skip_space();
        if (at_ >= s_.size())
            return fail(0, "prazdny vyraz");
        const int root = sum();
        if (failed_)
            return false;
        skip_space();
        if (at_ < s_.size()) {
            if (s_[at_] == ')')
                return fail(at_, "nadbytocna zatvorka )");
            return unexpected("cakal som + - * / ^ alebo koniec vyrazu");
        }
        // The root last, as every node after what it uses.
        if (root != e_.root())
            return fail(0, "vnutorna chyba");
        return true;
    }

  private:
    const std::string& s_;
    Expression& e_;
    ParseError& error_;
    std::size_t at_ = 0;
    int depth_ = 0;
    bool failed_ = false;
    std::size_t number_end_ = std::string::npos; // just after the last number read

    bool fail(std::size_t at, const std::string& what)
    {
        if (!failed_)
            error_ = ParseError{at, what};
        failed_ = true;
        return false;
    }

    // What stands at at_ is not what was expected: a decimal comma, one
    // between digits (2,5, not sin(x,2)), says so.
    bool unexpected(const std::string& expected)
    {
        const auto digit = [&](std::size_t k) { return k < s_.size() && s_[k] >= '0' && s_[k] <= '9'; };
        if (at_ < s_.size() && s_[at_] == ',' && at_ > 0 && digit(at_ - 1) && digit(at_ + 1))
            return fail(at_, "desatinnu ciarku napis ako bodku");
        if (at_ >= s_.size())
            return fail(at_, "vyraz sa konci priskoro: " + expected);
        return fail(at_, expected);
    }

    void skip_space()
    {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t'))
            ++at_;
    }

    bool peek(char c)
    {
        skip_space();
        return at_ < s_.size() && s_[at_] == c;
    }

    // One level deeper, opened by the character at `at`.
    bool deeper(std::size_t at)
    {
        ++depth_;
        if (depth_ > deepest_nesting)
            return fail(at, "vyraz je vnoreny hlbsie ako " + std::to_string(deepest_nesting) + " urovni");
        return true;
    }

    int add(Node n)
    {
        e_.nodes.push_back(std::move(n));
        return e_.root();
    }

    // A factor standing alone: its repeats become a product of their own.
    int alone(Factor f)
    {
        if (f.repeat == 1 || f.node < 0)
            return f.node;
        Node n = Node::of(Kind::product);
        n.a = f.node;
        n.repeat = f.repeat;
        n.terms_begin = n.terms_end = static_cast<int>(e_.terms.size());
        return add(n);
    }

    int sum()
    {
        const int first = term();
        std::vector<Term> terms;
        while (!failed_ && (peek('+') || peek('-'))) {
            const char op = s_[at_++];
            const int next = term();
            terms.push_back(Term{op, next, 1});
        }
        if (failed_ || terms.empty())
            return first;
        Node n = Node::of(Kind::sum);
        n.a = first;
        n.terms_begin = static_cast<int>(e_.terms.size());
        e_.terms.insert(e_.terms.end(), terms.begin(), terms.end());
        n.terms_end = static_cast<int>(e_.terms.size());
        return add(n);
    }

    // Directly after a number, a letter or "(" multiplies.
    bool implicit_product() const
    {
        return at_ == number_end_ && at_ < s_.size() && (is_letter(s_[at_]) || s_[at_] == '(');
    }

    int term()
    {
        const Factor first = signed_factor();
        std::vector<Term> terms;
        while (!failed_) {
            char op = '*';
            if (!implicit_product()) {
                if (!peek('*') && !peek('/'))
                    break;
                op = s_[at_++];
            }
            const Factor next = signed_factor();
            terms.push_back(Term{op, next.node, next.repeat});
        }
        if (failed_ || (terms.empty() && first.repeat == 1))
            return first.node;
        Node n = Node::of(Kind::product);
        n.a = first.node;
        n.repeat = first.repeat;
        n.terms_begin = static_cast<int>(e_.terms.size());
        e_.terms.insert(e_.terms.end(), terms.begin(), terms.end());
        n.terms_end = static_cast<int>(e_.terms.size());
        return add(n);
    }

    Factor signed_factor()
    {
        skip_space();
        if (at_ < s_.size() && (s_[at_] == '-' || s_[at_] == '+')) {
            const bool minus = s_[at_] == '-';
            ++at_;
            if (!deeper(at_ - 1))
                return {};
            const Factor inner = signed_factor();
            --depth_;
            if (failed_ || !minus)
                return inner;
            Node n = Node::of(Kind::negate);
            n.a = alone(inner);
            return Factor{add(n), 1};
        }
        return factor();
    }

    // A base and its exponent: a whole literal 1 to 64 repeats the base.
    Factor factor()
    {
        const int base = primary();
        if (failed_ || !peek('^'))
            return Factor{base, 1};
        ++at_;
        if (!deeper(at_ - 1))
            return {};
        const Factor exponent = signed_factor();
        --depth_;
        if (failed_)
            return {};
        const Node& x = e_.nodes[static_cast<std::size_t>(exponent.node)];
        if (exponent.repeat == 1 && x.kind == Kind::number && x.value >= 1 && x.value <= 64 &&
            x.value == std::floor(x.value)) {
            const int repeat = static_cast<int>(x.value);
            if (exponent.node == e_.root())
                e_.nodes.pop_back(); // the literal is the repeat now, not a node
            return Factor{base, repeat};
        }
        Node n = Node::of(Kind::power);
        n.a = base;
        n.b = alone(exponent);
        return Factor{add(n), 1};
    }

    int primary()
    {
        skip_space();
        if (at_ >= s_.size()) {
            unexpected("cakal som cislo, x, pi, e, funkciu alebo (");
            return -1;
        }
        const char c = s_[at_];
        if (is_digit(c) || c == '.')
            return number();
        if (is_letter(c))
            return name();
        if (c == '(') {
            const std::size_t open = at_;
            ++at_;
            if (!deeper(open))
                return -1;
            const int inner = sum();
            --depth_;
            if (failed_)
                return -1;
            if (!peek(')')) {
                unexpected("cakal som ) k zatvorke na znaku " + std::to_string(open + 1));
                return -1;
            }
            ++at_;
            return inner;
        }
        unexpected("cakal som cislo, x, pi, e, funkciu alebo (");
        return -1;
    }

    int number()
    {
        Text t{s_, at_};
        CharSource source{next_of, back_of, &t};
        double v = 0.0;
        if (!read_double(source, v)) {
            unexpected("cakal som cislo");
            return -1;
        }
        Node n = Node::of(Kind::number);
        n.value = v;
        n.text = s_.substr(at_, t.at - at_);
        at_ = t.at;
        number_end_ = at_;
        return add(n);
    }

    int name()
    {
        const std::size_t start = at_;
        while (at_ < s_.size() && (is_letter(s_[at_]) || is_digit(s_[at_]) || s_[at_] == '_'))
            ++at_;
        const std::string word = s_.substr(start, at_ - start);
        if (word == "x")
            return add(Node::of(Kind::x));
        if (word == "pi")
            return add(Node::of(Kind::pi));
        if (word == "e")
            return add(Node::of(Kind::e));
        for (int k = 0; k < 15; ++k) {
            if (word != function_names[k])
                continue;
            if (!peek('(')) {
                fail(at_, "za funkciou " + word + " cakam (");
                return -1;
            }
            ++at_;
            if (!deeper(at_ - 1))
                return -1;
            Node n = Node::of(Kind::call);
            n.function = static_cast<Function>(k);
            n.a = sum();
            --depth_;
            if (failed_)
                return -1;
            if (!peek(')')) {
                unexpected("cakal som ) za argumentom funkcie " + word);
                return -1;
            }
            ++at_;
            return add(n);
        }
        std::string list;
        for (const char* f : function_names)
            list += std::string(list.empty() ? "" : " ") + f;
        // A name of any length, said on one line of a sensible length.
        std::string shown = word;
        if (shown.size() > 20) {
            shown.resize(17);
            shown += "...";
        }
        fail(start, "neznamy nazov " + shown + ": funkcie su " + list + ", konstanty pi a e, premenna x");
        return -1;
    }
};

} // namespace

bool Expression::uses_x() const
{
    return std::any_of(nodes.begin(), nodes.end(), [](const Node& n) { return n.kind == Kind::x; });
}

bool parse(const std::string& text, Expression& e, ParseError& error)
{
    e = Expression{};
    if (text.size() > static_cast<std::size_t>(longest_text)) {
        error = ParseError{static_cast<std::size_t>(longest_text),
                           "vyraz je dlhsi ako " + std::to_string(longest_text) + " znakov"};
        return false;
    }
    Parser p(text, e, error);
    return p.whole();
}

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace expr
