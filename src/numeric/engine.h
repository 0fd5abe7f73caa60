// The engine behind integrate(), internal to the numeric library; its tests
// and the benchmark look inside.
//
// The sum is one chain of additions in index order, which nothing may
// reassociate, and that chain is the floor of every rule. What may run ahead
// is the evaluation of the integrand: the values at a block of independent
// points are computed together (lane by lane the same operations, so the
// compiler may vectorise them), on the calling thread for a short run, and
// for a long one also on other cores, into a small ring of buffers that the
// calling thread then adds in index order. Whoever computes a value, it is
// the same operations on the same double, so every result is the same bits.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>
#include <type_traits>
#include <vector>

#include "program.h"
#include "quadrature.h"
#include "rule_points.h"

namespace engine {

// The values of a block are independent: the compiler is told to vectorise
// them where the library is built with -fopenmp-simd.
#if defined(INTEGRATE_OMP_SIMD)
#define ENGINE_LANES _Pragma("omp simd simdlen(8)")
#else
#define ENGINE_LANES
#endif

constexpr int lanes = 16;
constexpr double offsets[lanes] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// Progress is told every 2^20 points: milliseconds apart, far too rare to cost.
constexpr int chunk = 1 << 20;

// Values that come a block at a time (a typed function's, computed by its
// program) have a fill() of their own; the others come one at a time.
template <class Value, class = void>
struct by_blocks : std::false_type {};
template <class Value>
struct by_blocks<Value, std::void_t<decltype(&Value::fill)>> : std::true_type {};

// How many values the calling thread computes before it adds them.
template <class Value>
constexpr int width_of()
{
    if constexpr (by_blocks<Value>::value)
        return Value::width;
    else
        return lanes;
}

// value(first), ..., value(first + count - 1) into out. value() takes the
// index as a double, exact for any int: a double counter saves the processor
// an integer conversion per point.
template <class Value>
inline void fill(double* out, long long first, int count, const Value& value)
{
    if constexpr (by_blocks<Value>::value) {
        value.fill(out, first, count);
    } else {
        int k = 0;
        for (; k + lanes <= count; k += lanes) {
            const double start = (double)(first + k);
            ENGINE_LANES
            for (int j = 0; j < lanes; ++j)
                out[k + j] = value(start + offsets[j]);
        }
        for (; k < count; ++k)
            out[k] = value((double)(first + k));
    }
}

// y[count-1] + (... + (y[0] + sum)): the chain's own loop, so that the sum
// stays in a register even where the values came from a call.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the values, their count, the sum so far
inline double added_in_order(const double* y, int count, double sum)
{
    for (int j = 0; j < count; ++j)
        sum = y[j] + sum;
    return sum;
}

// value(count-1) + (... + (value(1) + (value(0) + 0.0))), all on the calling
// thread, the values a block ahead of the additions.
struct Alone {
    Progress progress;

    template <class Value>
    double operator()(int count, const Value& value) const
    {
        double sum = 0.0;
        for (int first = 0; first < count;) {
            int last = count;
            if (count - first > chunk)
                last = first + chunk;
            constexpr int width = width_of<Value>();
            double y[width];
            for (int k = first; k < last; k += width) {
                const int m = std::min(width, last - k);
                fill(y, k, m, value);
                if constexpr (by_blocks<Value>::value) {
                    sum = added_in_order(y, m, sum);
                } else {
                    for (int j = 0; j < m; ++j)
                        sum = y[j] + sum;
                }
            }
            first = last;
            if (progress.report != nullptr)
                progress.report(progress.context, last, count);
        }
        return sum;
    }
};

// The buffers between the threads that evaluate and the one that adds:
// `slots` blocks of values, claimed in index order. A thread may run ahead of
// the additions by as many blocks as there are slots, so memory stays small
// and fixed.
struct Ring {
    static constexpr int slots = 8;
    static constexpr int block = 4096;
    struct alignas(64) Slot {
        std::atomic<long long> ready{-1}; // the block its values are, once they are all there
        double values[block];
    };
    alignas(64) std::atomic<long long> next{0};     // the next block to claim
    alignas(64) std::atomic<long long> consumed{0}; // the blocks added so far
    Progress progress;
    Slot slot[slots];
};

// A thread that evaluates faster than the chain adds waits here for a free
// slot. Spinning would take from the adding thread whatever execution units
// the two share (two hardware threads of one core, or two virtual processors
// of one physical core), so it soon sleeps: the chain adds the ring's blocks
// meanwhile and evaluates what is left unclaimed.
template <class Done>
inline void wait_until(const Done& done)
{
    for (int spins = 0; !done(); ++spins) {
        if (spins > 1000)
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        else if (spins > 100)
            std::this_thread::yield();
    }
}

// How many values block j holds: the last one may hold fewer.
inline int values_in(long long j, int count)
{
    const long long left = count - j * Ring::block;
    if (left < Ring::block)
        return (int)left;
    return Ring::block;
}

// The number of blocks of `count` values.
inline long long blocks_of(int count) { return (count + (long long)Ring::block - 1) / Ring::block; }

// The slot rule, for the threads that evaluate and the chain alike: block j
// may be written once the block `slots` before it, which held its slot, has
// been added.
inline bool slot_free(const Ring& ring, long long j)
{
    return j < ring.consumed.load(std::memory_order_acquire) + Ring::slots;
}

// Takes block j, the next unclaimed one, for the caller to evaluate; false
// where another thread took it first (j then holds the next one).
inline bool claim(Ring& ring, long long& j)
{
    return ring.next.compare_exchange_strong(j, j + 1, std::memory_order_acq_rel, std::memory_order_relaxed);
}

// Block j's values into its slot, then the slot marked as holding them.
template <class Value>
inline void fill_slot(Ring* ring, long long j, int count, const Value& value)
{
    Ring::Slot& s = ring->slot[j % Ring::slots];
    fill(s.values, j * Ring::block, values_in(j, count), value);
    s.ready.store(j, std::memory_order_release);
}

// On a thread of its own: claims the next block once its slot is free, and
// evaluates it. A block is claimed only when it can be written at once, so
// no thread holds a block it cannot yet evaluate.
struct Evaluate {
    Ring* ring;

    template <class Value>
    double operator()(int count, const Value& value) const
    {
        const long long blocks = blocks_of(count);
        for (;;) {
            long long j = ring->next.load(std::memory_order_relaxed);
            if (j >= blocks)
                return 0.0;
            wait_until([&] { return slot_free(*ring, j); });
            if (claim(*ring, j))
                fill_slot(ring, j, count, value);
        }
    }
};

// On the calling thread: adds the blocks in index order. While the next
// block is not there yet, it evaluates the first block no thread has
// claimed, if that block's slot is free, rather than wait.
struct Chain {
    Ring* ring;

    template <class Value>
    double operator()(int count, const Value& value) const
    {
        const long long blocks = blocks_of(count);
        double sum = 0.0;
        for (long long j = 0; j < blocks; ++j) {
            Ring::Slot& s = ring->slot[j % Ring::slots];
            for (int spins = 0; s.ready.load(std::memory_order_acquire) != j; ++spins) {
                long long u = ring->next.load(std::memory_order_relaxed);
                if (u < blocks && slot_free(*ring, u) && claim(*ring, u)) {
                    fill_slot(ring, u, count, value);
                } else if (spins > 100) { // the other thread may have no core of its own
                    std::this_thread::yield();
                }
            }
            const int n = values_in(j, count);
            if constexpr (by_blocks<Value>::value) {
                sum = added_in_order(s.values, n, sum);
            } else {
                for (int i = 0; i < n; ++i)
                    sum = s.values[i] + sum;
            }
            ring->consumed.store(j + 1, std::memory_order_release);
            const long long done = j * Ring::block + n;
            if (ring->progress.report != nullptr && (done / chunk != (done - n) / chunk || done == count))
                ring->progress.report(ring->progress.context, done, count);
        }
        return sum;
    }
};

// The plain rules' arithmetic, operation for operation (rule_points.h), with
// the integrand a template argument the compiler inlines; `sum` adds the
// values in index order, by one of the ways above.
template <class F, class Sum>
inline double rectangle(double a, double b, int n, F f, const Sum& sum)
{
    const double h = step(a, b, n);
    const double s = sum(n > 0 ? n : 0, [&](double i) { return f(point(i, h, a)); });
    return rectangle_result(s, h);
}

template <class F, class Sum>
inline double trapezoid(double a, double b, int n, F f, const Sum& sum)
{
    const double h = step(a, b, n);
    const double s = sum(n > 1 ? n - 1 : 0, [&](double k) { return doubled(f(point(k + 1.0, h, a))); });
    const double fa = f(a);
    const double fb = f(b);
    return trapezoid_result(fa, s, fb, h);
}

template <class F, class Sum>
inline double midpoint(double a, double b, int n, F f, const Sum& sum)
{
    const double h = step(a, b, n);
    const double s = sum(n > 0 ? n : 0, [&](double i) { return f(middle_point(i, h, a)); });
    return rectangle_result(s, h);
}

// The right ends before b, then b itself, added last.
template <class F, class Sum>
inline double right_rectangle(double a, double b, int n, F f, const Sum& sum)
{
    const double h = step(a, b, n);
    const double s = sum(n > 1 ? n - 1 : 0, [&](double k) { return f(point(k + 1.0, h, a)); });
    if (n < 1)
        return rectangle_result(s, h);
    const double fb = f(b);
    return rectangle_result(fb + s, h);
}

// Panels counted in an int: a raised INT_MAX has 2^30 of them.
template <class F, class Sum>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all three rules share
inline double simpson(double a, double b, int n, F f, const Sum& sum)
{
    const long long m = simpson_subintervals(n);
    const double h = step(a, b, m);
    const int panels = m > 1 ? (int)(m / 2) : 0;
    const double s = sum(panels, [&](double k) {
        const double x = point(2.0 * k, h, a);
        return simpson_panel(f(x), f(panel_middle(x, h)), f(panel_end(x, h)));
    });
    return simpson_result(s, h);
}

// A typed function's values, a block of points at a time: the points as the
// rule takes them, the program run over all of them, the values joined as
// the rule joins them. Each thread has its own scratch; the loops are built
// for each processor, as the compiled integrands' are (engine.cpp).
double* program_scratch(const expr::Program& f, std::size_t points);

// f at point(i + offset), i = first, ...: the rectangle rule's points
// (offset 0), the midpoint rule's (1/2), the inner points of the trapezoid
// rule (1, each value doubled) and of the right rectangle rule (1).
struct ProgramPoints {
    static constexpr int width = expr::Program::block;
    const expr::Program* f;
    double h;
    double a;
    double offset;
    bool twice;
    void fill(double* out, long long first, int count) const;
};

// Simpson's panels: three points each, joined.
struct ProgramPanels {
    static constexpr int width = expr::Program::block;
    const expr::Program* f;
    double h;
    double a;
    void fill(double* out, long long first, int count) const;
};

// f at one point, for the trapezoid rule's ends.
double program_at_point(const expr::Program& f, double x);

template <class Sum>
inline double rectangle_of(double a, double b, int n, const expr::Program& f, const Sum& sum)
{
    const double h = step(a, b, n);
    return rectangle_result(sum(n > 0 ? n : 0, ProgramPoints{&f, h, a, 0.0, false}), h);
}

template <class Sum>
inline double midpoint_of(double a, double b, int n, const expr::Program& f, const Sum& sum)
{
    const double h = step(a, b, n);
    return rectangle_result(sum(n > 0 ? n : 0, ProgramPoints{&f, h, a, 0.5, false}), h);
}

template <class Sum>
inline double right_rectangle_of(double a, double b, int n, const expr::Program& f, const Sum& sum)
{
    const double h = step(a, b, n);
    const double s = sum(n > 1 ? n - 1 : 0, ProgramPoints{&f, h, a, 1.0, false});
    if (n < 1)
        return rectangle_result(s, h);
    const double fb = program_at_point(f, b);
    return rectangle_result(fb + s, h);
}

template <class Sum>
inline double trapezoid_of(double a, double b, int n, const expr::Program& f, const Sum& sum)
{
    const double h = step(a, b, n);
    const double s = sum(n > 1 ? n - 1 : 0, ProgramPoints{&f, h, a, 1.0, true});
    const double fa = program_at_point(f, a);
    const double fb = program_at_point(f, b);
    return trapezoid_result(fa, s, fb, h);
}

template <class Sum>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all the rules share
inline double simpson_of(double a, double b, int n, const expr::Program& f, const Sum& sum)
{
    const long long m = simpson_subintervals(n);
    const double h = step(a, b, m);
    const int panels = m > 1 ? (int)(m / 2) : 0;
    return simpson_result(sum(panels, ProgramPanels{&f, h, a}), h);
}

// The builds of the engine: the widest vector unit the processor has, or at
// most 256-bit vectors (AVX2). Where no processor-specific builds exist, both
// are the one portable build.
enum class Width { widest, up_to_avx2 };

// How a run is shared out: no other thread below `threshold` subintervals,
// else `workers` threads evaluating beside the calling one.
struct Sharing {
    int workers;
    int threshold;
};
// What integrate() takes for this rule and integrand on this processor.
Sharing chosen_sharing(Rule rule, const IntegrandEntry& e);

// The rule on the k-th integrand of the catalogue, in the given build, on the
// calling thread alone.
double integrate_with(Width width, Rule rule, std::size_t k, double a, double b, int n, Progress progress = {});
// The same, shared out as `sharing` says: the calling thread adds (and
// evaluates what no other thread has claimed) in the given build, the other
// threads evaluate with the widest vectors, as beside the chain they slow
// no addition.
double integrate_shared(Width width, Sharing sharing, Rule rule, std::size_t k, double a, double b, int n,
                        Progress progress = {});
// The build integrate() takes for this rule and integrand on this processor.
Width chosen_width(Rule rule, const IntegrandEntry& e);
// Which builds integrate() runs on this processor, in words.
const char* variant();

// A typed function's program under the rule, shared out as `sharing` says
// (the program's passes take the widest vectors on every thread).
double integrate_program(Sharing sharing, Rule rule, const expr::Program& f, double a, double b, int n,
                         Progress progress = {});
// What integrate() takes for this rule and program on this machine.
Sharing program_sharing(Rule rule, const expr::Program& f);

} // namespace engine
