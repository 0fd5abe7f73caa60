#include "support.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

std::FILE* stream_of(const std::string& text)
{
    std::FILE* f = std::tmpfile();
    if (f == nullptr)
        return nullptr;
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

std::string contents(std::FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;)
        s.append(buf, got);
    return s;
}

std::string read_file(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::filesystem::path fresh_folder(const std::string& name)
{
    const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
    std::string unique = name;
    if (t != nullptr)
        unique += std::string("-") + t->test_suite_name() + "-" + t->name();
    for (char& c : unique)
        if (c == '/')
            c = '_';
    const std::filesystem::path p = std::filesystem::temp_directory_path() / ("integrate-" + unique);
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

Session run_session(const std::string& input, const std::filesystem::path& log)
{
    std::FILE* in = stream_of(input);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ResultsLog res = open_results_log(log.string().c_str(), err);
    Session s;
    s.status = run_dialogue(in, out, res);
    close_results_log(res);
    s.out = contents(out);
    s.err = contents(err);
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    return s;
}

const std::string integrand_menu =
    "\n Vyberte funkciu :\n\t 1- x^3 +3x^2 +x-3 \n\t 2- x^2 -4x +2\n\t 3- x^3-7x+2,5 \n\t 4- x^4 -4x^2 +3 \n\t 5- "
    "x^4 +1 \n\t 6- x^5 -2x^4 +3x^3 -4x^2 +5x -6 \n\t 7- -x^4 +8x^3 -18x^2 +27 \n\t 8- 0,25x^4 -0,5x^3 -x^2 -3x "
    "-5\n\t 9- -x^3 +2x^2 -7x +2 \n\t 0- x^9 -0,5x^8 +x^7 -2x^6 +3,5x^5 -7x^4 +15x^3 -27x^2 +x -18\n\t  \n\t w- "
    "koniec\n ";
const std::string values_prompt = "\n\t Zadajte hodnoty: a  b  n \n\ta Lavy krajny bod integrovaneho "
                                  "intervalu\n\tb Pravy krajny bod integrovaneho intervalu\n\tn Pocet subintervalov\n";
const std::string rule_menu = "\n Vyberte integracnu metodu : \n\t s - Simpsonova metoda \n\t o - Obdlznikova "
                              "metoda \n\t l - Lychobeznikova metoda \n\t q - Spet na vyber funkcie \n";

std::string simpson_line(const std::string& value)
{
    return "\n Vysledok aproximacie Simpsonovou metodou: " + value + "\n";
}
std::string rectangle_line(const std::string& value)
{
    return "\n Vysledok aproximacie obdlznikovou metodou: " + value + "\n";
}
std::string trapezoid_line(const std::string& value)
{
    return "\n Vysledok aproximacie lichobeznikovou metodou: " + value + "\n";
}
