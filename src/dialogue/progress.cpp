#include <chrono>

#include "dialogue.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

void report(void* context, long long done, long long total)
{
    ProgressLine& line = *static_cast<ProgressLine*>(context);
    const long long now = clock_ms();
    if (now - line.start_ms < line.after_ms || (line.shown_ms >= 0 && now - line.shown_ms < 250))
        return;
    line.shown_ms = now;
    line.width = std::fprintf(line.to, "\r Pocitam... %d %%", static_cast<int>(done * 100 / total)) - 1;
    std::fflush(line.to);
}

} // namespace

long long clock_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

ProgressLine progress_line_on(std::FILE* err)
{
    ProgressLine line;
    line.to = err != nullptr && isatty(fileno(err)) ? err : nullptr;
    return line;
}

Progress progress_on(ProgressLine& line)
{
    line.start_ms = clock_ms();
    line.shown_ms = -1;
    return line.to != nullptr ? Progress{report, &line} : Progress{};
}

void erase_progress(ProgressLine& line)
{
    if (line.shown_ms < 0)
        return;
    std::fprintf(line.to, "\r%*s\r", line.width, "");
    std::fflush(line.to);
    line.shown_ms = -1;
}
