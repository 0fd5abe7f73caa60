#include "progress_line.h"

#include <chrono>

#include "console.h"

namespace {

long long delay_ms = 1000;

// Only while the program is the terminal's foreground job, and only where
// the line fits: a line that wraps leaves its other rows behind when erased.
// The end shows whenever it comes, so that a line shown reaches 100 %.
void report(void* context, long long done, long long total)
{
    ProgressLine& line = *static_cast<ProgressLine*>(context);
    const long long now = clock_ms();
    if (now - line.start_ms < line.after_ms)
        return;
    if (line.shown_ms >= 0 && now - line.shown_ms < 250 && done < total)
        return;
    const int percent = static_cast<int>(done * 100 / total);
    if (line.shown_ms >= 0 && percent == line.percent)
        return;
    char text[32];
    const int width = std::snprintf(text, sizeof text, "\r Pocitam... %d %%", percent) - 1;
    const int columns = terminal_columns(line.to);
    if (!in_foreground(line.to) || (columns > 0 && width >= columns))
        return;
    line.shown_ms = now;
    line.width = width;
    line.percent = percent;
    std::fputs(text, line.to);
    std::fflush(line.to);
}

} // namespace

long long clock_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void show_progress_after(long long ms) { delay_ms = ms; }

ProgressLine progress_line_on(std::FILE* err)
{
    ProgressLine line;
    line.after_ms = delay_ms;
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
    if (line.shown_ms < 0 || !in_foreground(line.to))
        return;
    std::fprintf(line.to, "\r%*s\r", line.width, "");
    std::fflush(line.to);
    line.shown_ms = -1;
}
