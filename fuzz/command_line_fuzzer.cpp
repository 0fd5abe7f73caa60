// The command line on the fuzzer's bytes: arguments split at NUL and line
// ends, never writing records; standard output and error go to a temporary
// file, emptied for each input.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include <unistd.h>

#include "command_line.h"

namespace {

// Inputs that could only be slow: more than 1 KiB, or a number with more
// than four digits in a row, which may be a large N.
bool worth_running(const std::uint8_t* data, std::size_t size)
{
    if (size > 1024)
        return false;
    int digits = 0;
    for (std::size_t i = 0; i < size; ++i) {
        digits = data[i] >= '0' && data[i] <= '9' ? digits + 1 : 0;
        if (digits > 4)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::FILE* out = std::tmpfile();
    if (!worth_running(data, size) || out == nullptr)
        return 0;
    std::vector<std::string> args = {"--no-log"};
    std::string arg;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\0' && data[i] != '\n') {
            arg += static_cast<char>(data[i]);
            continue;
        }
        // A picture goes to one file of the fuzzer's own, wherever it is asked for.
        if (!args.empty() && (args.back() == "--svg" || arg.rfind("--svg=", 0) == 0))
            arg = arg.rfind("--svg=", 0) == 0 ? "--svg=/tmp/integrate-fuzz.svg" : "/tmp/integrate-fuzz.svg";
        args.push_back(arg);
        arg.clear();
    }
    if (run_command_line(args, out, out) > 2)
        std::abort();
    std::rewind(out);
    if (ftruncate(fileno(out), 0) != 0)
        std::abort();
    return 0;
}
