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

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

#include "quadrature.h"

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

// value(first), ..., value(first + count - 1) into out. value() takes the
// index as a double, exact for any int: a double counter saves the processor
// an integer conversion per point.
template <class Value>
inline void fill(double* out, long long first, int count, const Value& value)
{
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
            int k = first;
            for (const int full = last - (last - first) % lanes; k < full; k += lanes) {
                double y[lanes];
                fill(y, k, lanes, value);
                for (int j = 0; j < lanes; ++j)
                    sum = y[j] + sum;
            }
            for (; k < last; ++k)
                sum = value((double)k) + sum;
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
            wait_until([&] { return j < ring->consumed.load(std::memory_order_acquire) + Ring::slots; });
            if (!ring->next.compare_exchange_strong(j, j + 1))
                continue;
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
                if (u < blocks && u < j + Ring::slots && ring->next.compare_exchange_weak(u, u + 1)) {
                    fill_slot(ring, u, count, value);
                } else if (spins > 100) { // the other thread may have no core of its own
                    std::this_thread::yield();
                }
            }
            const int n = values_in(j, count);
            for (int i = 0; i < n; ++i)
                sum = s.values[i] + sum;
            ring->consumed.store(j + 1, std::memory_order_release);
            const long long done = j * Ring::block + n;
            if (ring->progress.report != nullptr && (done / chunk != (done - n) / chunk || done == count))
                ring->progress.report(ring->progress.context, done, count);
        }
        return sum;
    }
};

// The plain rules' arithmetic, operation for operation, with the integrand a
// template argument the compiler inlines; `sum` adds the values in index
// order, by one of the ways above.
template <class F, class Sum>
inline double rectangle(double a, double b, int n, F f, const Sum& sum)
{
    const double h = (b - a) / (double)n;
    const double s = sum(n > 0 ? n : 0, [&](double i) { return f(i * h + a); });
    return s * h;
}

template <class F, class Sum>
inline double trapezoid(double a, double b, int n, F f, const Sum& sum)
{
    const double h = (b - a) / (double)n;
    const double s = sum(n > 1 ? n - 1 : 0, [&](double k) { return f((k + 1.0) * h + a) * 2.0; });
    const double fa = f(a);
    const double fb = f(b);
    const double t = fa + s;
    return ((t + fb) * h) / 2.0;
}

// Panels counted in an int: a raised INT_MAX has 2^30 of them.
template <class F, class Sum>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): (a, b, n, f) is the shape all three rules share
inline double simpson(double a, double b, int n, F f, const Sum& sum)
{
    const long long m = n % 2 == 1 ? (long long)n + 1 : n;
    const double h = (b - a) / (double)m;
    const int panels = m > 1 ? (int)(m / 2) : 0;
    const double s = sum(panels, [&](double k) {
        const double x = (2.0 * k) * h + a;
        const double y0 = f(x);
        const double y1 = f(x + h);
        const double t = y0 + y1 * 4.0;
        const double y2 = f(2.0 * h + x);
        return t + y2;
    });
    return (s * h) / 3.0;
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

} // namespace engine
