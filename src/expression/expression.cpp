// The tree written back as text, and compared. The text is as short as the
// tree lets it be, so that any expression that could be typed can be
// written back within the length and nesting a typed one may have.

#include "expression.h"

namespace expr {

namespace {

// How tightly a node's text binds, so that it is put in parentheses where a
// looser text would be read otherwise.
int binding(const Node& n)
{
    switch (n.kind) {
    case Kind::sum:
        return 1;
    case Kind::product:
        return n.terms_begin == n.terms_end ? 4 : 2; // x^3 alone reads as a power
    case Kind::negate:
        return 3;
    case Kind::power:
        return 4;
    default:
        return 5;
    }
}

struct Writer {
    const Expression& e;
    std::vector<std::string> text; // of each node, once its operands are written

    const Node& node(int k) const { return e.nodes[static_cast<std::size_t>(k)]; }

    // Node k where a text binding at least `least` is needed.
    std::string operand(int k, int least) const
    {
        const std::string& t = text[static_cast<std::size_t>(k)];
        if (binding(node(k)) >= least)
            return t;
        return "(" + t + ")";
    }

    // A factor of a product: repeated as a power, or alone. A product in a
    // product keeps its parentheses, or its factors would join the chain; a
    // negation needs none (-x*y, x*-y), as a factor is read with its signs.
    std::string factor(int k, int repeat) const
    {
        if (repeat == 1 && node(k).kind != Kind::product)
            return operand(k, 3);
        if (repeat == 1)
            return "(" + text[static_cast<std::size_t>(k)] + ")";
        return operand(k, 5) + "^" + std::to_string(repeat);
    }

    std::string written(const Node& n) const
    {
        switch (n.kind) {
        case Kind::number:
            return n.text;
        case Kind::x:
            return "x";
        case Kind::pi:
            return "pi";
        case Kind::e:
            return "e";
        case Kind::negate:
            return "-" + operand(n.a, 3);
        case Kind::power:
            // The exponent is read with its own signs (x^-2), so a negation
            // there needs no parentheses, which would nest deeper than typed.
            return operand(n.a, 5) + "^" + operand(n.b, 3);
        case Kind::call:
            return std::string(function_names[static_cast<int>(n.function)]) + "(" + text[static_cast<std::size_t>(n.a)] +
                   ")";
        case Kind::sum: {
            std::string t = operand(n.a, 2);
            for (int k = n.terms_begin; k < n.terms_end; ++k) {
                const Term& term = e.terms[static_cast<std::size_t>(k)];
                t += term.op + operand(term.node, 2);
            }
            return t;
        }
        case Kind::product: {
            std::string t = factor(n.a, n.repeat);
            for (int k = n.terms_begin; k < n.terms_end; ++k) {
                const Term& term = e.terms[static_cast<std::size_t>(k)];
                t += std::string(1, term.op) + factor(term.node, term.repeat);
            }
            return t;
        }
        }
        return "";
    }
};

bool same_node(const Expression& p, int i, const Expression& q, int j)
{
    const Node& m = p.nodes[static_cast<std::size_t>(i)];
    const Node& n = q.nodes[static_cast<std::size_t>(j)];
    if (m.kind != n.kind || m.repeat != n.repeat || m.terms_end - m.terms_begin != n.terms_end - n.terms_begin)
        return false;
    if (m.kind == Kind::number && (!same_double(m.value, n.value) || m.text != n.text))
        return false;
    if (m.kind == Kind::call && m.function != n.function)
        return false;
    if ((m.a >= 0) != (n.a >= 0) || (m.b >= 0) != (n.b >= 0))
        return false;
    if (m.a >= 0 && !same_node(p, m.a, q, n.a))
        return false;
    if (m.b >= 0 && !same_node(p, m.b, q, n.b))
        return false;
    for (int k = 0; k < m.terms_end - m.terms_begin; ++k) {
        const int at_p = m.terms_begin + k;
        const int at_q = n.terms_begin + k;
        const Term& s = p.terms[static_cast<std::size_t>(at_p)];
        const Term& t = q.terms[static_cast<std::size_t>(at_q)];
        if (s.op != t.op || s.repeat != t.repeat || !same_node(p, s.node, q, t.node))
            return false;
    }
    return true;
}

} // namespace

std::string to_text(const Expression& e)
{
    Writer w{e, {}};
    for (const Node& n : e.nodes)
        w.text.push_back(w.written(n));
    if (w.text.empty())
        return "";
    return w.text.back();
}

bool same_tree(const Expression& p, const Expression& q)
{
    if (p.nodes.empty() || q.nodes.empty())
        return p.nodes.empty() && q.nodes.empty();
    return same_node(p, p.root(), q, q.root());
}

} // namespace expr
