// A typed function compiled for blocks of points: each step is one
// operation of the order in expression.h applied to every point of a block
// in one pass, so that interpreting the expression costs once a block, not
// once a point, and each pass may run in vector registers (lane by lane the
// same operations, so the same bits as value_at()).
#pragma once

#include <cstddef>
#include <vector>

#include "expression.h"

namespace expr {

class Program {
  public:
    // The most points run() takes at once: a block's registers stay in the
    // nearest cache.
    static constexpr int block = 256;

    explicit Program(const Expression& e);

    // f at x[0], ..., x[count - 1] into y, count <= block (y not x itself);
    // `scratch` has room for scratch_size() doubles, of this thread's own.
    void run(const double* x, double* y, int count, double* scratch) const;
    std::size_t scratch_size() const { return static_cast<std::size_t>(registers_ + 1) * block; }

    // What a point costs, roughly: the passes over a block, and whether
    // any of them calls the C library (sin, exp, pow, ...).
    int passes() const { return static_cast<int>(steps_.size()); }
    bool calls_library() const { return calls_library_; }

    enum class Op : unsigned char {
        copy,         // a
        add,          // a + b
        subtract,     // a - b
        multiply,     // a * b
        divide,       // a / b
        negate,       // -a
        power,        // pow(a, b)
        call,         // function(a)
        chain,        // a * b * b * ... (b `repeat` times, in turn)
        divide_chain, // a / (b * b * ... * b), `repeat` factors
        add_chain,      // a + (b * c * c * ... , c `repeat` times), or the same
                        // the other way round: a sum is the same either way
        subtract_chain, // a - (b * c * ...)
        chain_subtract, // (b * c * ...) - a
    };
    // A register (0: the points x, 1: the values y, 2 on: scratch) or, where
    // reg is negative, the constant c.
    struct Operand {
        int reg = -1;
        double c = 0.0;
    };
    struct Step {
        Op op;
        Function function;
        int out;
        Operand a;
        Operand b;
        Operand c;
        int repeat;
    };

  private:
    std::vector<Step> steps_;
    int registers_ = 0; // of scratch
    bool calls_library_ = false;
};

} // namespace expr
