#include "plot.h"

#include "number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <numeric>

namespace {

// Ten to the e by multiplications alone: only IEEE's basic operations, which
// give the same bits everywhere (a math library's pow need not).
double power_of_ten(int e)
{
    double p = 1.0;
    for (int k = 0; k < std::abs(e) && k < 400; ++k)
        p *= 10.0;
    return p;
}

double scaled(long long m, int e)
{
    if (e >= 0)
        return static_cast<double>(m) * power_of_ten(e);
    return static_cast<double>(m) / power_of_ten(-e);
}

Step coarser(Step s)
{
    if (s.mantissa == 1)
        return Step{2, s.exponent};
    if (s.mantissa == 2)
        return Step{5, s.exponent};
    return Step{1, s.exponent + 1};
}


std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

double char_width(char c)
{
    const std::string narrow = "iljtfr.,:;'|!()[] ";
    if (narrow.find(c) != std::string::npos)
        return 0.4;
    if (c == 'm' || c == 'w' || c == 'M' || c == 'W')
        return 0.95;
    if (c >= 'A' && c <= 'Z')
        return 0.75;
    return 0.64;
}

// A text cut at each ^ into runs: what follows ^ up to a space, a colon or
// the end is raised.
struct Run {
    std::string text;
    bool raised;
};

std::vector<Run> runs_of(const std::string& text)
{
    std::vector<Run> runs;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t caret = std::min(text.find('^', at), text.size());
        if (caret > at)
            runs.push_back(Run{text.substr(at, caret - at), false});
        if (caret == text.size())
            break;
        const std::size_t end = std::min(text.find_first_of(" :", caret + 1), text.size());
        runs.push_back(Run{text.substr(caret + 1, end - caret - 1), true});
        at = end;
    }
    return runs;
}

// The exponent's size and how far up it stands, for a 12-pixel text.
constexpr double exponent_part = 0.75;
constexpr double raise_part = 0.4;

} // namespace

double half_span(double lo, double hi) { return hi / 2 - lo / 2; }

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): from lo to hi, then the step
double along(double lo, double hi, int k, int parts) { return lo + half_span(lo, hi) * (2.0 * k) / parts; }

Point to_picture(const Frame& f, double x, double y)
{
    return Point{f.left + half_span(f.x0, x) / half_span(f.x0, f.x1) * f.width,
                 f.top + half_span(y, f.y1) / half_span(f.y0, f.y1) * f.height};
}

double step_value(const Step& step) { return scaled(step.mantissa, step.exponent); }

Step round_step_from(double least)
{
    if (!(least > 0.0) || !std::isfinite(least))
        return Step{};
    int e = 0;
    while (e > -330 && scaled(1, e) > least)
        --e;
    while (e < 308 && scaled(1, e + 1) <= least)
        ++e;
    Step s{1, e};
    while (step_value(s) < least && s.exponent < 309)
        s = coarser(s);
    return s;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): m * 10^e, mantissa first as written
std::string decimal_label(long long m, int e)
{
    if (m == 0)
        return "0";
    std::string digits = std::to_string(std::llabs(m));
    const std::string sign = m < 0 ? "-" : "";
    const int lead = e + static_cast<int>(digits.size()) - 1; // the leading digit's power of ten
    if (lead < -4 || lead > 6) {
        digits.erase(digits.find_last_not_of('0') + 1);
        const std::string rest = digits.size() > 1 ? "." + digits.substr(1) : "";
        return sign + digits.substr(0, 1) + rest + "e" + std::to_string(lead);
    }
    if (e >= 0)
        return sign + digits + std::string(static_cast<std::size_t>(e), '0');
    const int whole = static_cast<int>(digits.size()) + e;
    if (whole <= 0)
        digits = std::string(static_cast<std::size_t>(1 - whole), '0') + digits;
    const std::size_t dot = digits.size() - static_cast<std::size_t>(-e);
    std::string text = digits.substr(0, dot) + "." + digits.substr(dot);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return sign + text;
}

std::vector<Tick> ticks_of(const Step& step, double low, double high)
{
    const double v = step_value(step);
    std::vector<Tick> ticks;
    if (!(v > 0.0) || !std::isfinite(v) || !(std::fabs(low / v) < 1e15) || !(std::fabs(high / v) < 1e15))
        return ticks;
    const auto first = static_cast<long long>(std::ceil(low / v));
    const auto last = static_cast<long long>(std::floor(high / v));
    for (long long k = first; k <= last && k - first < 1000; ++k) {
        const long long m = k * step.mantissa;
        ticks.push_back(Tick{scaled(m, step.exponent), decimal_label(m, step.exponent)});
    }
    return ticks;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the range low to high, then the room
std::vector<Tick> linear_ticks(double low, double high, double pixels, bool horizontal, double size)
{
    const double half = half_span(low, high);
    if (!(half > 0.0) || !std::isfinite(half))
        return {};
    Step round = round_step_from(half / 10);
    for (int k = 0; k < 40; ++k) {
        std::vector<Tick> ticks = ticks_of(round, low, high);
        double room = 2 * size; // a line and a half of text between labels above each other
        if (horizontal)
            for (const Tick& t : ticks)
                room = std::max(room, text_width(t.label, size) + 2 * size);
        if (step_value(round) / 2 / half * pixels >= room)
            return ticks;
        round = coarser(round);
    }
    return {};
}

std::string coordinate(double v)
{
    if (!std::isfinite(v))
        return "0"; // never drawn: a guard that keeps the file valid
    std::string text = number_text("%.2f", v);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    if (text == "-0")
        return "0";
    return text;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as printf takes them
std::string fixed_text(double v, int decimals)
{
    const std::string format = "%." + std::to_string(decimals) + "f";
    return number_text(format.c_str(), v);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as printf takes them
std::string general_text(double v, int digits)
{
    const std::string format = "%." + std::to_string(digits) + "g";
    return number_text(format.c_str(), v);
}

double text_width(const std::string& text, double size)
{
    const double w = std::accumulate(text.begin(), text.end(), 0.0, [](double sum, char c) { return sum + char_width(c); });
    return w * size;
}

std::vector<std::string> wrapped(const std::string& text, double width, double size)
{
    std::vector<std::string> lines(1);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        std::string word = text.substr(at, end - at);
        at = end + 1;
        const std::string joined = lines.back().empty() ? word : lines.back() + " " + word;
        if (text_width(joined, size) <= width) {
            lines.back() = joined;
            continue;
        }
        if (!lines.back().empty())
            lines.emplace_back();
        while (text_width(word, size) > width && word.size() > 1) {
            std::size_t fits = 1;
            while (fits < word.size() && text_width(word.substr(0, fits + 1), size) <= width)
                ++fits;
            lines.back() = word.substr(0, fits);
            lines.emplace_back();
            word.erase(0, fits);
        }
        lines.back() = word;
    }
    return lines;
}

void add_text(Svg& svg, double x, double y, const std::string& text, const std::string& attributes)
{
    svg.body += "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\"" + attributes + ">" + escaped(text) +
                "</text>\n";
}

double raised_width(const std::string& text, double size)
{
    const std::vector<Run> runs = runs_of(text);
    return std::accumulate(runs.begin(), runs.end(), 0.0, [size](double width, const Run& r) {
        return width + text_width(r.text, r.raised ? size * exponent_part : size);
    });
}

// An exponent raised by dy, which every SVG viewer honours (baseline-shift
// is not drawn by all of them), and the text after it lowered back.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): as add_text takes them
void add_raised_text(Svg& svg, double x, double y, const std::string& text, const std::string& attributes)
{
    const std::string up = coordinate(font_size * raise_part);
    std::string markup;
    bool raised = false;
    for (const Run& r : runs_of(text)) {
        if (r.raised)
            markup += "<tspan dy=\"-" + up + "\" font-size=\"" + coordinate(font_size * exponent_part) + "\">" +
                      escaped(r.text) + "</tspan>";
        else if (raised)
            markup += "<tspan dy=\"" + up + "\">" + escaped(r.text) + "</tspan>";
        else
            markup += escaped(r.text);
        raised = r.raised;
    }
    svg.body += "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\"" + attributes + ">" + markup + "</text>\n";
}

void add_line(Svg& svg, Point from, Point to, const std::string& attributes)
{
    svg.body += "<line x1=\"" + coordinate(from.x) + "\" y1=\"" + coordinate(from.y) + "\" x2=\"" +
                coordinate(to.x) + "\" y2=\"" + coordinate(to.y) + "\"" + attributes + "/>\n";
}

std::string svg_file(const Svg& svg, double height, const std::string& title)
{
    const std::string h = coordinate(std::ceil(height));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"800\" height=\"" +
           h + "\" viewBox=\"0 0 800 " + h +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n"
           "<title>" +
           escaped(title) + "</title>\n<rect width=\"800\" height=\"" + h + "\" fill=\"#ffffff\"/>\n" + svg.body +
           "</svg>\n";
}

std::string integral_note(const Integral& integral)
{
    if (integral.kind == IntegralKind::not_real)
        return "Integral nie je realne cislo: " + integral.why + ".";
    if (integral.kind == IntegralKind::none)
        return "Integral nema hodnotu: " + integral.why + ".";
    if (integral.kind == IntegralKind::undetermined)
        return "Integral sa nepodarilo urcit: " + integral.why + ".";
    return "";
}

double log2_of(double v)
{
    int e = 0;
    double m = std::frexp(v, &e); // exact: v = m * 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752) {
        m *= 2;
        e -= 1;
    }
    // ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| < 0.172: 14 terms
    // leave less than 1e-22.
    const double s = (m - 1) / (m + 1);
    const double s2 = s * s;
    double sum = 0.0;
    for (int k = 27; k >= 1; k -= 2)
        sum = sum * s2 + 1.0 / k;
    return e + 2 * s * sum / 0.69314718055994531;
}
