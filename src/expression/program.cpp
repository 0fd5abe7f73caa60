#include "program.h"

#include <cmath>

#include "evaluate.h"

// GCC on x86-64 ELF compiles the passes for several processors and picks
// one when the program loads; each is the same operations lane by lane.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    !defined(INTEGRATE_SINGLE_VARIANT)
#define WIDEST __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"), flatten))
#else
#define WIDEST
#endif
#if defined(INTEGRATE_OMP_SIMD)
#define LANES _Pragma("omp simd")
#else
#define LANES
#endif

namespace expr {

double DoubleArithmetic::power(double a, double b) const { return std::pow(a, b); }

double DoubleArithmetic::call(Function fn, double a) const
{
    switch (fn) {
    case Function::sin:
        return std::sin(a);
    case Function::cos:
        return std::cos(a);
    case Function::tan:
        return std::tan(a);
    case Function::asin:
        return std::asin(a);
    case Function::acos:
        return std::acos(a);
    case Function::atan:
        return std::atan(a);
    case Function::sinh:
        return std::sinh(a);
    case Function::cosh:
        return std::cosh(a);
    case Function::tanh:
        return std::tanh(a);
    case Function::exp:
        return std::exp(a);
    case Function::log:
        return std::log(a);
    case Function::log10:
        return std::log10(a);
    case Function::sqrt:
        return std::sqrt(a);
    case Function::cbrt:
        return std::cbrt(a);
    case Function::abs:
        return std::fabs(a);
    }
    return NAN;
}

double value_at(const Expression& e, double x)
{
    std::vector<double> values;
    return evaluate(e, x, DoubleArithmetic{}, values);
}

namespace {

using Op = Program::Op;
using Operand = Program::Operand;
using Step = Program::Step;

// Whether node k is a product the sum that uses it may fold into its own
// pass: f * c * c ... or c * c * ..., one factor repeated after the first.
bool foldable(const Expression& e, int k, const std::vector<int>& uses, const std::vector<bool>& constant)
{
    const Node& n = e.nodes[static_cast<std::size_t>(k)];
    if (n.kind != Kind::product || uses[static_cast<std::size_t>(k)] != 1 || constant[static_cast<std::size_t>(k)])
        return false;
    const int terms = n.terms_end - n.terms_begin;
    if (terms == 0)
        return true;
    return terms == 1 && n.repeat == 1 && e.terms[static_cast<std::size_t>(n.terms_begin)].op == '*';
}

struct Compiler {
    const Expression& e;
    std::vector<Step>& steps;
    std::vector<int> uses;      // how many nodes use each node
    std::vector<int> last_use;  // the last node that reads it
    std::vector<bool> constant; // no x in it
    std::vector<double> value;  // where constant
    std::vector<bool> folded;   // a product its sum computes in its own pass
    std::vector<int> reg;       // where not constant
    std::vector<int> free_regs;
    int registers = 0;

    explicit Compiler(const Expression& ex, std::vector<Step>& s) : e(ex), steps(s) {}

    // Each node's operands, each once in order.
    template <class Visit>
    void operands(const Node& n, const Visit& visit) const
    {
        if (n.a >= 0)
            visit(n.a);
        if (n.b >= 0)
            visit(n.b);
        for (int k = n.terms_begin; k < n.terms_end; ++k)
            visit(e.terms[static_cast<std::size_t>(k)].node);
    }

    void analyse()
    {
        const std::size_t count = e.nodes.size();
        uses.assign(count, 0);
        last_use.assign(count, -1);
        constant.assign(count, true);
        value.assign(count, 0.0);
        folded.assign(count, false);
        reg.assign(count, -1);
        std::vector<double> values;
        for (std::size_t k = 0; k < count; ++k) {
            const Node& n = e.nodes[k];
            bool c = n.kind != Kind::x;
            operands(n, [&](int j) {
                ++uses[static_cast<std::size_t>(j)];
                c = c && constant[static_cast<std::size_t>(j)];
            });
            constant[k] = c;
        }
        // Constants once, in the program's own arithmetic: the same bits as
        // computing them at every point.
        if (count > 0)
            evaluate(e, 0.0, DoubleArithmetic{}, values);
        for (std::size_t k = 0; k < count; ++k)
            if (constant[k])
                value[k] = values[k];
        for (std::size_t k = 0; k < count; ++k) {
            const Node& n = e.nodes[k];
            if (n.kind != Kind::sum)
                continue;
            for (int t = n.terms_begin; t < n.terms_end; ++t) {
                const int j = e.terms[static_cast<std::size_t>(t)].node;
                folded[static_cast<std::size_t>(j)] = foldable(e, j, uses, constant);
            }
            // The first product joins the first term in one pass, where
            // that term is no chain of its own (x^4 + 1).
            const int first_term = e.terms[static_cast<std::size_t>(n.terms_begin)].node;
            folded[static_cast<std::size_t>(n.a)] =
                foldable(e, n.a, uses, constant) && !folded[static_cast<std::size_t>(first_term)];
        }
        // A folded product's operands are read by its sum.
        for (std::size_t k = 0; k < count; ++k)
            operands(e.nodes[k], [&](int j) {
                last_use[static_cast<std::size_t>(j)] = static_cast<int>(k);
                if (folded[static_cast<std::size_t>(j)])
                    operands(e.nodes[static_cast<std::size_t>(j)],
                             [&](int i) { last_use[static_cast<std::size_t>(i)] = static_cast<int>(k); });
            });
    }

    Operand operand(int k) const
    {
        if (constant[static_cast<std::size_t>(k)])
            return Operand{-1, value[static_cast<std::size_t>(k)]};
        return Operand{reg[static_cast<std::size_t>(k)], 0.0};
    }

    int take()
    {
        if (!free_regs.empty()) {
            const int r = free_regs.back();
            free_regs.pop_back();
            return r;
        }
        ++registers;
        return registers + 1;
    }

    // Registers whose last reader was node k.
    void release_after(int k)
    {
        operands(e.nodes[static_cast<std::size_t>(k)], [&](int j) {
            const std::size_t u = static_cast<std::size_t>(j);
            if (folded[u])
                operands(e.nodes[u], [&](int i) {
                    const std::size_t v = static_cast<std::size_t>(i);
                    if (last_use[v] == k && reg[v] >= 2) {
                        free_regs.push_back(reg[v]);
                        reg[v] = -1;
                    }
                });
            if (last_use[u] == k && reg[u] >= 2) {
                free_regs.push_back(reg[u]);
                reg[u] = -1;
            }
        });
    }

    void emit(Op op, int out, Operand a, Operand b = {}, Operand c = {}, int repeat = 0, Function fn = Function::sin)
    {
        steps.push_back(Step{op, fn, out, a, b, c, repeat});
    }

    // A folded product f * c^k as the operands of a chain.
    // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): f * c^repeat as written
    void folded_chain(int k, Operand& f, Operand& c, int& repeat) const
    {
        const Node& p = e.nodes[static_cast<std::size_t>(k)];
        if (p.terms_begin == p.terms_end) {
            f = operand(p.a);
            c = operand(p.a);
            repeat = p.repeat - 1;
            return;
        }
        const Term& t = e.terms[static_cast<std::size_t>(p.terms_begin)];
        f = operand(p.a);
        c = operand(t.node);
        repeat = t.repeat;
    }

    // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): node k into register out
    void node(int k, int out)
    {
        const Node& n = e.nodes[static_cast<std::size_t>(k)];
        switch (n.kind) {
        case Kind::number:
        case Kind::pi:
        case Kind::e:
        case Kind::x:
            break; // constants and x are operands, never passes
        case Kind::negate:
            emit(Op::negate, out, operand(n.a));
            break;
        case Kind::power:
            emit(Op::power, out, operand(n.a), operand(n.b));
            break;
        case Kind::call:
            emit(Op::call, out, operand(n.a), {}, {}, 0, n.function);
            break;
        case Kind::sum: {
            Operand acc = operand(n.a);
            int t = n.terms_begin;
            if (folded[static_cast<std::size_t>(n.a)]) { // f * c^k + g or - g, in one pass
                const Term& term = e.terms[static_cast<std::size_t>(t)];
                Operand f;
                Operand c;
                int repeat = 0;
                folded_chain(n.a, f, c, repeat);
                emit(term.op == '+' ? Op::add_chain : Op::chain_subtract, out, operand(term.node), f, c, repeat);
                acc = Operand{out, 0.0};
                ++t;
            }
            for (; t < n.terms_end; ++t) {
                const Term& term = e.terms[static_cast<std::size_t>(t)];
                if (folded[static_cast<std::size_t>(term.node)]) {
                    Operand f;
                    Operand c;
                    int repeat = 0;
                    folded_chain(term.node, f, c, repeat);
                    emit(term.op == '+' ? Op::add_chain : Op::subtract_chain, out, acc, f, c, repeat);
                } else {
                    emit(term.op == '+' ? Op::add : Op::subtract, out, acc, operand(term.node));
                }
                acc = Operand{out, 0.0};
            }
            break;
        }
        case Kind::product: {
            int t = n.terms_begin;
            const bool multiplied_first = t < n.terms_end && n.repeat == 1 && e.terms[static_cast<std::size_t>(t)].op == '*';
            if (multiplied_first) { // f * g ...: the first pass multiplies already
                const Term& term = e.terms[static_cast<std::size_t>(t)];
                emit(Op::chain, out, operand(n.a), operand(term.node), {}, term.repeat);
                ++t;
            } else {
                emit(Op::chain, out, operand(n.a), operand(n.a), {}, n.repeat - 1);
            }
            for (; t < n.terms_end; ++t) {
                const Term& term = e.terms[static_cast<std::size_t>(t)];
                emit(term.op == '*' ? Op::chain : Op::divide_chain, out, Operand{out, 0.0}, operand(term.node), {},
                     term.repeat);
            }
            break;
        }
        }
    }

    void compile()
    {
        analyse();
        const int root = e.root();
        for (int k = 0; k <= root; ++k) {
            const std::size_t u = static_cast<std::size_t>(k);
            if (e.nodes[u].kind == Kind::x) {
                reg[u] = 0;
                if (k == root)
                    emit(Op::copy, 1, Operand{0, 0.0});
                continue;
            }
            if (folded[u] || (constant[u] && k != root))
                continue;
            if (constant[u]) {
                emit(Op::copy, 1, operand(k));
                continue;
            }
            const int out = k == root ? 1 : take();
            node(k, out);
            reg[u] = out;
            release_after(k);
        }
    }
};

// A register's values, or a constant, as the passes read them.
struct Values {
    const double* p;
    double operator()(int i) const { return p[i]; }
};
struct Constant {
    double c;
    double operator()(int) const { return c; }
};

// Runs `pass(a, b, c)` with each operand as values or a constant: four
// kinds for the two operands most passes read, so that each loop is plain.
template <class In, class Pass>
void with_operands(const In& in, const Step& s, const Pass& pass)
{
    const auto of = [&](const Operand& o, auto then) {
        if (o.reg < 0)
            then(Constant{o.c});
        else
            then(Values{in(o.reg)});
    };
    of(s.a, [&](auto a) { of(s.b, [&](auto b) { of(s.c, [&](auto c) { pass(a, b, c); }); }); });
}

} // namespace

Program::Program(const Expression& e)
{
    Compiler c(e, steps_);
    c.compile();
    registers_ = c.registers;
    for (const Step& s : steps_)
        calls_library_ = calls_library_ || s.op == Op::call || s.op == Op::power;
}

// Each pass is a plain loop over the block, its lanes independent, so that
// it runs in vector registers; a chain of factors is so many passes over
// one row, each multiplying every point by its next factor.
namespace {

template <class A>
void assign(double* out, const A& a, int count)
{
    LANES
    for (int i = 0; i < count; ++i)
        out[i] = a(i);
}

template <class B>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): count values, times over
void multiply_by(double* out, const B& b, int count, int times)
{
    for (int j = 0; j < times; ++j) {
        LANES
        for (int i = 0; i < count; ++i)
            out[i] = out[i] * b(i);
    }
}

template <class A, class B, class Op>
void combine(double* out, const A& a, const B& b, int count, const Op& op)
{
    LANES
    for (int i = 0; i < count; ++i)
        out[i] = op(a(i), b(i));
}

// out[i] = join(i, b(i) * c(i) * ... * c(i)), c taken k times: in one pass
// where k is small enough to be written out, else a pass a factor.
constexpr int longest_written_chain = 8;

template <int K, class B, class C, class Join>
void chain_pass(double* out, const B& b, const C& c, int count, const Join& join)
{
    LANES
    for (int i = 0; i < count; ++i) {
        double v = b(i);
        for (int j = 0; j < K; ++j)
            v = v * c(i);
        out[i] = join(i, v);
    }
}

template <int K = 0, class B, class C, class Join>
void chain(double* out, const B& b, const C& c, int k, int count, double* row, const Join& join)
{
    if constexpr (K <= longest_written_chain) {
        if (k == K) {
            chain_pass<K>(out, b, c, count, join);
            return;
        }
        chain<K + 1>(out, b, c, k, count, row, join);
    } else {
        assign(row, b, count);
        multiply_by(row, c, count, k);
        LANES
        for (int i = 0; i < count; ++i)
            out[i] = join(i, row[i]);
    }
}

// A function over the block: the choice made once, the loop plain (sqrt
// and fabs in vector registers, the others a call a point).
template <class A>
void apply(Function fn, double* out, const A& a, int count)
{
    switch (fn) {
// NOLINTNEXTLINE(bugprone-branch-clone): sqrt and fabs, which the check takes for one call
    case Function::sqrt:
        LANES
        for (int i = 0; i < count; ++i)
            out[i] = std::sqrt(a(i));
        return;
    case Function::abs:
        LANES
        for (int i = 0; i < count; ++i)
            out[i] = std::fabs(a(i));
        return;
    default:
        break;
    }
    double (*f)(double) = nullptr;
    switch (fn) {
    case Function::sin:
        f = std::sin;
        break;
    case Function::cos:
        f = std::cos;
        break;
    case Function::tan:
        f = std::tan;
        break;
    case Function::asin:
        f = std::asin;
        break;
    case Function::acos:
        f = std::acos;
        break;
    case Function::atan:
        f = std::atan;
        break;
    case Function::sinh:
        f = std::sinh;
        break;
    case Function::cosh:
        f = std::cosh;
        break;
    case Function::tanh:
        f = std::tanh;
        break;
    case Function::exp:
        f = std::exp;
        break;
    case Function::log:
        f = std::log;
        break;
    case Function::log10:
        f = std::log10;
        break;
    case Function::cbrt:
        f = std::cbrt;
        break;
    case Function::sqrt:
    case Function::abs:
        break;
    }
    for (int i = 0; i < count; ++i)
        out[i] = f(a(i));
}

} // namespace

WIDEST void Program::run(const double* x, double* y, int count, double* scratch) const
{
    const auto at = [&](int r) {
        if (r == 1)
            return y;
        return scratch + static_cast<std::ptrdiff_t>(r - 2) * block;
    };
    const auto in = [&](int r) -> const double* {
        if (r == 0)
            return x;
        return at(r);
    };
    double* row = scratch + static_cast<std::ptrdiff_t>(registers_) * block; // a chain's own
    for (const Step& s : steps_) {
        double* out = at(s.out);
        const int k = s.repeat;
        switch (s.op) {
        case Op::copy:
            with_operands(in, s, [&](auto a, auto, auto) { assign(out, a, count); });
            break;
        case Op::add:
            with_operands(in, s, [&](auto a, auto b, auto) { combine(out, a, b, count, [](double u, double v) { return u + v; }); });
            break;
        case Op::subtract:
            with_operands(in, s, [&](auto a, auto b, auto) { combine(out, a, b, count, [](double u, double v) { return u - v; }); });
            break;
        case Op::multiply:
            with_operands(in, s, [&](auto a, auto b, auto) { combine(out, a, b, count, [](double u, double v) { return u * v; }); });
            break;
        case Op::divide:
            with_operands(in, s, [&](auto a, auto b, auto) { combine(out, a, b, count, [](double u, double v) { return u / v; }); });
            break;
        case Op::negate:
            with_operands(in, s, [&](auto a, auto, auto) {
                LANES
                for (int i = 0; i < count; ++i)
                    out[i] = -a(i);
            });
            break;
        case Op::power:
            with_operands(in, s, [&](auto a, auto b, auto) {
                for (int i = 0; i < count; ++i)
                    out[i] = std::pow(a(i), b(i));
            });
            break;
        case Op::call:
            with_operands(in, s, [&](auto a, auto, auto) { apply(s.function, out, a, count); });
            break;
        case Op::chain: // out = a * b * ... * b
            with_operands(in, s, [&](auto a, auto b, auto) {
                chain(out, a, b, k, count, row, [](int, double v) { return v; });
            });
            break;
        case Op::divide_chain: // out = a / (b * ... * b)
            with_operands(in, s, [&](auto a, auto b, auto) {
                assign(row, b, count);
                multiply_by(row, b, count, k - 1);
                combine(out, a, Values{row}, count, [](double u, double v) { return u / v; });
            });
            break;
        case Op::add_chain: // out = a + b * c * ... * c
            with_operands(in, s, [&](auto a, auto b, auto c) {
                chain(out, b, c, k, count, row, [&](int i, double v) { return a(i) + v; });
            });
            break;
        case Op::subtract_chain:
            with_operands(in, s, [&](auto a, auto b, auto c) {
                chain(out, b, c, k, count, row, [&](int i, double v) { return a(i) - v; });
            });
            break;
        case Op::chain_subtract:
            with_operands(in, s, [&](auto a, auto b, auto c) {
                chain(out, b, c, k, count, row, [&](int i, double v) { return v - a(i); });
            });
            break;
        }
    }
}

} // namespace expr
