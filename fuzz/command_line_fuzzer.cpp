// The command line on the fuzzer's bytes: arguments split at NUL and line
// ends; standard output and error go to a temporary file, emptied for each
// input. One input in two runs as a user would, writing records and
// pictures, in a folder of the fuzzer's own (on tmpfs where there is one,
// so that syncing a record costs nothing); the other with --no-log and every
// picture into one file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
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

// What an input left in the folder.
void empty_folder()
{
    DIR* d = opendir(".");
    if (d == nullptr)
        return;
    for (dirent* e = readdir(d); e != nullptr; e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            unlink(name.c_str());
    }
    closedir(d);
}

// The fuzzer's folder, made once and worked in, and removed at the end.
// Corpus folders must then be given with absolute names.
std::string made;

void remove_folder()
{
    empty_folder();
    rmdir(made.c_str());
}

std::string scratch_folder()
{
    char shm[] = "/dev/shm/integrate-fuzz-XXXXXX";
    char tmp[] = "/tmp/integrate-fuzz-XXXXXX";
    const char* folder = mkdtemp(shm);
    if (folder == nullptr)
        folder = mkdtemp(tmp);
    if (folder == nullptr || chdir(folder) != 0)
        std::abort();
    made = folder;
    std::atexit(remove_folder);
    return folder;
}

// A picture's name kept inside the folder: no '/' leads out of it.
std::string inside(std::string name)
{
    for (char& c : name)
        if (c == '/')
            c = '_';
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::FILE* out = std::tmpfile();
    static const std::string folder = scratch_folder();
    if (!worth_running(data, size) || out == nullptr)
        return 0;
    const bool as_a_user = size > 0 && data[0] % 2 == 1;
    std::vector<std::string> args;
    if (!as_a_user)
        args.emplace_back("--no-log");
    std::string arg;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\0' && data[i] != '\n') {
            arg += static_cast<char>(data[i]);
            continue;
        }
        const bool after_svg = !args.empty() && args.back() == "--svg";
        const bool with_svg = arg.rfind("--svg=", 0) == 0;
        if (with_svg)
            arg = "--svg=" + (as_a_user ? inside(arg.substr(6)) : "/tmp/integrate-fuzz.svg");
        else if (after_svg)
            arg = as_a_user ? inside(arg) : "/tmp/integrate-fuzz.svg";
        args.push_back(arg);
        arg.clear();
    }
    if (run_command_line(args, out, out) > 2)
        std::abort();
    std::rewind(out);
    if (ftruncate(fileno(out), 0) != 0)
        std::abort();
    if (as_a_user)
        empty_folder();
    return 0;
}
