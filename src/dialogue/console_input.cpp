#include "console_input.h"

#include <cerrno>

#include "console.h"
#include "number_reader.h"

namespace {

int next(ConsoleInput& input)
{
    if (input.backed > 0) {
        --input.backed;
        return static_cast<unsigned char>(input.back[input.backed]);
    }
    while (!input.ended) {
        errno = 0;
        const int c = std::fgetc(input.in);
        const int error = errno;
        if (c != EOF)
            return c;
        if (std::ferror(input.in) && wait_for_input(input.in, error))
            continue;
        input.ended = true;
        if (std::ferror(input.in)) {
            input.input_failed = true;
            warn(input.err, "Upozornenie: citanie zo standardneho vstupu zlyhalo (%s).\n",
                 system_reason(error != 0 ? error : EIO));
        }
    }
    return EOF;
}

int next_of(void* context) { return next(*static_cast<ConsoleInput*>(context)); }

// What does not fit is dropped, having been consumed.
void give_back_to(void* context, int c)
{
    ConsoleInput& input = *static_cast<ConsoleInput*>(context);
    if (input.backed < static_cast<int>(sizeof input.back)) {
        input.back[input.backed] = static_cast<char>(c);
        ++input.backed;
    }
}

} // namespace

void flush_output(ConsoleInput& input)
{
    errno = 0;
    if ((std::fflush(input.out) == 0 && !std::ferror(input.out)) || input.output_failed)
        return;
    input.output_failed = true;
    int error = errno;
    if (error == 0)
        error = EIO;
    warn(input.err, "Upozornenie: zapis na standardny vystup zlyhal (%s).\n", system_reason(error));
}

int read_char(ConsoleInput& input)
{
    flush_output(input);
    return next(input);
}

void read_numbers(ConsoleInput& input, double& x0, double& xn, int& n)
{
    flush_output(input);
    CharSource source{next_of, give_back_to, &input};
    if (read_double(source, x0) && read_double(source, xn))
        read_int(source, n);
}

void warn(std::FILE* err, const char* format, const char* reason)
{
    if (err == nullptr)
        return;
    std::fprintf(err, format, reason);
    std::fflush(err);
}
