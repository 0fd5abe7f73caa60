// The parser of typed functions on the fuzzer's bytes: whatever it takes
// must write back into text that parses into the same tree, and its program
// must give the bits of the tree, a block at a time as at one point.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "evaluate.h"
#include "expression.h"
#include "program.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 12000)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    expr::Expression e;
    expr::ParseError error;
    if (!expr::parse(text, e, error)) {
        if (error.at > text.size())
            std::abort();
        return 0;
    }
    expr::Expression again;
    if (!expr::parse(expr::to_text(e), again, error) || !expr::same_tree(e, again))
        std::abort();
    const expr::Program program(e);
    std::vector<double> scratch(program.scratch_size());
    const double x[3] = {-1.5, 0.0, 2.25};
    double y[3];
    program.run(x, y, 3, scratch.data());
    for (int k = 0; k < 3; ++k) {
        const double v = expr::value_at(e, x[k]);
        if (std::memcmp(&v, &y[k], sizeof v) != 0 && !(v != v && y[k] != y[k]))
            std::abort();
    }
    return 0;
}
