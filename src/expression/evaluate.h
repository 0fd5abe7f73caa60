// An expression evaluated in any arithmetic, in the one order of operations
// of expression.h: in double as the program computes it, in 50 digits as the
// mathematical function is, over intervals to prove where it is real. One
// pass over the nodes in order, no recursion.
//
// `Arithmetic` gives the numbers (number(node), pi(), e()), the operations
// (negate, add, subtract, multiply, divide, power, call) and the chain of a
// repeated factor: times(v, f, k) is v multiplied by f k times in turn, and
// repeated(f, k) is f multiplied by itself to k factors, as a divisor or a
// product's first factor is formed.
#pragma once

#include <vector>

#include "expression.h"

namespace expr {

template <class Arithmetic>
typename Arithmetic::Value evaluate(const Expression& e, const typename Arithmetic::Value& x, const Arithmetic& arith,
                                    std::vector<typename Arithmetic::Value>& values)
{
    using Value = typename Arithmetic::Value;
    values.clear();
    values.reserve(e.nodes.size());
    const auto at = [&](int k) -> const Value& { return values[static_cast<std::size_t>(k)]; };
    for (const Node& n : e.nodes) {
        switch (n.kind) {
        case Kind::number:
            values.push_back(arith.number(n));
            break;
        case Kind::x:
            values.push_back(x);
            break;
        case Kind::pi:
            values.push_back(arith.pi());
            break;
        case Kind::e:
            values.push_back(arith.e());
            break;
        case Kind::negate:
            values.push_back(arith.negate(at(n.a)));
            break;
        case Kind::power:
            values.push_back(arith.power(at(n.a), at(n.b)));
            break;
        case Kind::call:
            values.push_back(arith.call(n.function, at(n.a)));
            break;
        case Kind::sum: {
            Value v = at(n.a);
            for (int k = n.terms_begin; k < n.terms_end; ++k) {
                const Term& t = e.terms[static_cast<std::size_t>(k)];
                if (t.op == '+')
                    v = arith.add(v, at(t.node));
                else
                    v = arith.subtract(v, at(t.node));
            }
            values.push_back(v);
            break;
        }
        case Kind::product: {
            Value v = arith.repeated(at(n.a), n.repeat);
            for (int k = n.terms_begin; k < n.terms_end; ++k) {
                const Term& t = e.terms[static_cast<std::size_t>(k)];
                if (t.op == '*')
                    v = arith.times(v, at(t.node), t.repeat);
                else
                    v = arith.divide(v, arith.repeated(at(t.node), t.repeat));
            }
            values.push_back(v);
            break;
        }
        }
    }
    return values.back();
}

// The program's own arithmetic: IEEE double, each operation rounded on its
// own, the functions the C library's.
struct DoubleArithmetic {
    using Value = double;
    double number(const Node& n) const { return n.value; }
    double pi() const { return pi_double; }
    double e() const { return e_double; }
    double negate(double a) const { return -a; }
    double add(double a, double b) const { return a + b; }
    double subtract(double a, double b) const { return a - b; }
    double divide(double a, double b) const { return a / b; }
    // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): v times f, k times
    double times(double v, double f, int k) const
    {
        for (int j = 0; j < k; ++j)
            v = v * f;
        return v;
    }
    double repeated(double f, int k) const { return times(f, f, k - 1); }
    double power(double a, double b) const;
    double call(Function fn, double a) const;
};

// f at x as the program computes it.
double value_at(const Expression& e, double x);

} // namespace expr
