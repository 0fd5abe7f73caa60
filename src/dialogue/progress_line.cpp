#include "progress_line.h"

#include <chrono>

#include "console.h"

namespace {

void report(void* context, long long done, long long total)
{
    ProgressLine& line = *static_cast<ProgressLine*>(context);
    const long long now = clock_ms();
    if (now - line.start_ms < line.after_ms)
        return;
    if (line.shown_ms >= 0 && now - line.shown_ms < 250)
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
    if (err != nullptr && is_terminal(err))
        line.to = err;
    return line;
}

Progress progress_on(ProgressLine& line)
{
    line.start_ms = clock_ms();
    line.shown_ms = -1;
    if (line.to == nullptr)
        return Progress{};
    return Progress{report, &line};
}

void erase_progress(ProgressLine& line)
{
    if (line.shown_ms < 0)
        return;
    std::fprintf(line.to, "\r%*s\r", line.width, "");
    std::fflush(line.to);
    line.shown_ms = -1;
}
