// The whole dialogue on the fuzzer's bytes as standard input; the console
// output and the results file go to temporary files, emptied for each input,
// the results file on tmpfs where there is one, so that syncing a record
// costs nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dialogue.h"

namespace {

// Inputs that could only be slow: more than 4 KiB, or a number with more
// than four digits in a row, which may be a large n (saturation has its own
// unit tests).
bool worth_running(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return false;
    int digits = 0;
    for (std::size_t i = 0; i < size; ++i)
        if ((digits = data[i] >= '0' && data[i] <= '9' ? digits + 1 : 0) > 4)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::FILE* out = std::tmpfile();
    static char log_path[] = "/dev/shm/integrate-fuzz-XXXXXX";
    static char other_path[] = "/tmp/integrate-fuzz-XXXXXX";
    static ResultsLog res = [] {
        int fd = mkstemp(log_path);
        if (fd < 0) {
            fd = mkstemp(other_path);
            std::snprintf(log_path, sizeof log_path, "%s", other_path);
        }
        if (fd >= 0)
            close(fd);
        LogProblem problem;
        ResultsLog log = open_results_log(log_path, problem);
        unlink(log_path); // the open descriptor keeps it; nothing is left behind
        return log;
    }();
    if (!worth_running(data, size) || out == nullptr)
        return 0;
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (in == nullptr) // fmemopen refuses an empty buffer
        in = std::fopen("/dev/null", "rb");
    if (run_dialogue(in, out, stderr, res) > 1)
        std::abort();
    std::fclose(in);
    std::rewind(out);
    if (ftruncate(fileno(out), 0) != 0 || (res.file.fd >= 0 && ftruncate(res.file.fd, 0) != 0))
        std::abort();
    return 0;
}
