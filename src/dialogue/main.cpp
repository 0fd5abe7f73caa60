#include <cstdio>

#include "dialogue.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// A standard descriptor closed by the parent would be the next file opened,
// and the results file would take in the menus or the warnings: each closed
// one is opened on the null device instead, as if discarded.
void keep_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
#ifdef _WIN32
        if (_get_osfhandle(fd) != -1)
            continue;
        const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (null >= 0 && null != fd)
            _dup2(null, fd), _close(null);
#else
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd)
            dup2(null, fd), close(null);
#endif
    }
}

} // namespace

int main()
{
    keep_standard_descriptors();
    ResultsLog res = open_results_log();
    return run_dialogue(stdin, stdout, stderr, res);
}
