#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <regex>
#include <sstream>

#include "command_line.h"
#include "panels.h"
#include "picture.h"
#include "support.h"

// Allocations of at least this many bytes fail while it is lowered: memory
// running out in the middle of a picture. (GCC takes the free() of what this
// operator new took from malloc() for a mismatch.)
static std::size_t failing_from = SIZE_MAX;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t n)
{
    void* p = n < failing_from ? std::malloc(n > 0 ? n : 1) : nullptr;
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

std::string row_name(const testing::TestParamInfo<Row>& i)
{
    std::string name;
    for (const std::string& field : i.param)
        name += field + "_";
    return test_name(name);
}

std::vector<Rule> rules_of(const std::string& keys)
{
    std::vector<Rule> rules;
    for (char key : keys)
        rules.push_back(rule_with_key(key)->rule);
    return rules;
}

std::size_t count_of(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The numbers of the attribute `name` in each element of class `kind`.
// Found by hand: std::regex recurses along a long path's text, past the
// stack a Windows thread has.
std::vector<std::vector<double>> numbers_of(const std::string& svg, const std::string& kind, const std::string& name)
{
    std::vector<std::vector<double>> all;
    const std::string mark = "class=\"" + kind + "\"";
    for (std::size_t at = svg.find(mark); at != std::string::npos; at = svg.find(mark, at + 1)) {
        const std::size_t open = svg.rfind('<', at);
        const std::string tag = svg.substr(open, svg.find('>', at) - open);
        const std::size_t from = tag.find(" " + name + "=\"");
        std::string text;
        if (from != std::string::npos) {
            const std::size_t start = from + name.size() + 3;
            text = tag.substr(start, tag.find('"', start) - start);
        }
        for (char& c : text)
            if (std::string("-0123456789.").find(c) == std::string::npos)
                c = ' ';
        all.emplace_back();
        std::istringstream values(text);
        for (std::string v; values >> v;)
            all.back().push_back(number(v));
    }
    return all;
}

// The number a label names: "0.25", "1e-6", or a base with its exponent
// raised in a tspan, "10<tspan dy="-4.8" ...>-6</tspan>".
double label_value(const std::string& label)
{
    std::smatch m;
    if (!std::regex_match(label, m, std::regex("([^<]*)<tspan dy=\"-[^\"]*\"[^>]*>([^<]*)</tspan>")))
        return number(label);
    return std::pow(number(m[1]), number(m[2]));
}

// A tick's place on its axis and the number its label names.
std::vector<std::pair<double, double>> ticks(const std::string& svg, const std::string& axis)
{
    std::vector<std::pair<double, double>> all;
    const std::regex tick("class=\"" + axis + "tick\" x1=\"([^\"]*)\" y1=\"([^\"]*)\"[^>]*/>\n<text[^>]*>(.*)</text>");
    for (std::sregex_iterator m(svg.begin(), svg.end(), tick), end; m != end; ++m)
        all.emplace_back(number((*m)[axis == "x" ? 1 : 2]), label_value((*m)[3]));
    return all;
}

// The place of `v` on an axis whose first and last tick read as `to(label)`.
double place(const std::vector<std::pair<double, double>>& t, double v, double (*to)(double))
{
    const double u0 = to(t.front().second);
    const double u1 = to(t.back().second);
    return t.front().first + (v - u0) / (u1 - u0) * (t.back().first - t.front().first);
}
double same(double v) { return v; }

// The panels of each rule: the rule's result again from their values, added
// in the rule's own order, bit for bit; in the picture each corner on its
// point, and each arc the parabola through its three points.
class Panels : public testing::TestWithParam<Row> {};
TEST_P(Panels, AreTheRulesOwnAndFitTheAxes)
{
    const Row& r = GetParam();
    const IntegrandEntry& e = select_integrand(r[0][0]);
    const double a = number(r[1]);
    const double b = number(r[2]);
    const int n = std::atoi(r[3].c_str());
    const RuleEntry& rule = *rule_with_key(r[4][0]);
    const std::vector<RulePanel> panels = rule_panels(rule.rule, e, a, b, n);
    ASSERT_EQ(static_cast<long long>(panels.size()), panel_count(rule.rule, n));
    const Frame frame{80, 30, 690, 380, std::min(a, b), std::max(a, b), -20, 20};
    const double h = (b - a) / (double)(n + (rule.rule == Rule::simpson ? n % 2 : 0));
    double sum = 0.0;
    for (std::size_t k = 0; k < panels.size(); ++k) {
        const RulePanel& p = panels[k];
        // the height at the point the rule evaluates
        if (rule.rule == Rule::midpoint)
            EXPECT_EQ(bits(p.y0), bits(e.f(p.xm)));
        else if (rule.rule == Rule::right_rectangle)
            EXPECT_EQ(bits(p.y0), bits(e.f(p.x1)));
        else
            EXPECT_EQ(bits(p.y0), bits(e.f(p.x0)));
        if (rule.rule == Rule::rectangle)
            sum = p.y0 + sum;
        else if (rule.rule == Rule::midpoint)
            sum = p.ym + sum;
        else if (rule.rule == Rule::right_rectangle)
            sum = p.y1 + sum;
        else if (rule.rule == Rule::trapezoid && k > 0)
            sum = p.y0 * 2.0 + sum;
        else if (rule.rule == Rule::simpson)
            sum = ((p.y0 + p.ym * 4.0) + p.y1) + sum;
        const Panel s = panel_shape(frame, p);
        const Point top0 = to_picture(frame, p.x0, p.y0);
        const Point top1 = to_picture(frame, p.x1, p.y1);
        EXPECT_EQ(bits(s.top0.x), bits(top0.x));
        EXPECT_EQ(bits(s.top1.y), bits(top1.y));
        EXPECT_EQ(bits(s.base1.y), bits(to_picture(frame, p.x1, 0.0).y));
        if (!p.arc || !std::isfinite(p.ym))
            continue;
        const Point mid = to_picture(frame, p.xm, p.ym);
        for (double t : {0.25, 0.5, 0.75}) {
            const double x = (1 - t) * (1 - t) * top0.x + 2 * t * (1 - t) * s.control.x + t * t * top1.x;
            const double y = (1 - t) * (1 - t) * top0.y + 2 * t * (1 - t) * s.control.y + t * t * top1.y;
            const double parabola = top0.y * (x - mid.x) * (x - top1.x) / ((top0.x - mid.x) * (top0.x - top1.x)) +
                                    mid.y * (x - top0.x) * (x - top1.x) / ((mid.x - top0.x) * (mid.x - top1.x)) +
                                    top1.y * (x - top0.x) * (x - mid.x) / ((top1.x - top0.x) * (top1.x - mid.x));
            EXPECT_NEAR(y, parabola, 1e-9) << "t = " << t;
        }
    }
    double own = (sum * h) / 3.0;
    if (rule.rule == Rule::rectangle || rule.rule == Rule::midpoint || rule.rule == Rule::right_rectangle)
        own = sum * h;
    if (rule.rule == Rule::trapezoid)
        own = (((panels[0].y0 + sum) + panels.back().y1) * h) / 2.0;
    EXPECT_EQ(bits(own), bits(rule.plain(a, b, n, e.f))) << own;

    // Read back from the picture: the axes' box holds the curve and the
    // panels, and the curve spans [a, b] where it has values at the ends.
    const Task task{&e, a, b, n, exact_integral(e, a, b)};
    const std::string svg = panels_svg(task, {rule.rule}, {rule.plain(a, b, n, e.f)});
    const auto axes = numbers_of(svg, "axis", "x1");
    const auto box = numbers_of(svg, "axis", "y2");
    ASSERT_EQ(axes.size(), 2U);
    for (const char* kind : {"panel", "curve"})
        for (auto path : numbers_of(svg, kind, "d")) {
            if (path.size() == 10) { // M base L top Q control top L base Z: the arc's points, not its control
                const std::vector<double> arc = path;
                path.clear();
                for (double t = 0; t <= 1; t += 1.0 / 16)
                    for (int c : {2, 3})
                        path.push_back((1 - t) * (1 - t) * arc[c] + 2 * t * (1 - t) * arc[c + 2] + t * t * arc[c + 4]);
            }
            for (std::size_t k = 0; k + 1 < path.size(); k += 2) {
                EXPECT_TRUE(path[k] >= axes[1][0] && path[k] <= axes[1][0] + 690) << kind << " x " << path[k];
                EXPECT_TRUE(path[k + 1] >= box[1][0] && path[k + 1] <= box[0][0]) << kind << " y " << path[k + 1];
            }
        }
    const auto curve = numbers_of(svg, "curve", "d");
    const auto x_ticks = ticks(svg, "x");
    ASSERT_FALSE(curve.empty());
    if (std::isfinite(e.f(std::min(a, b)))) {
        EXPECT_NEAR(curve.front().front(), place(x_ticks, std::min(a, b), same), 0.02);
    }
    if (std::isfinite(e.f(std::max(a, b)))) {
        EXPECT_NEAR(curve.back()[curve.back().size() - 2], place(x_ticks, std::max(a, b), same), 0.02);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, Panels, testing::ValuesIn(load_rows("pictures.txt")), row_name);

// The curve: each chord within a tenth of a pixel of the integrand at its
// middle, broken only where the integrand has no real value, each piece
// ending within a ten-thousandth of a pixel of where the values stop.
class Curves : public testing::TestWithParam<Row> {};
TEST_P(Curves, LookSmoothAndStopWhereTheValuesStop)
{
    const Row& r = GetParam();
    const Integrand f = select_integrand(r[0][0]).f;
    const Frame frame{80, 30, 690, 380, number(r[1]), number(r[2]), number(r[3]), number(r[4])};
    const auto pieces = curve_of(select_integrand(r[0][0]), frame).pieces;
    EXPECT_EQ(pieces.size(), std::stoul(r[5]));
    const double pixel = (frame.x1 - frame.x0) / frame.width;
    for (const auto& piece : pieces) {
        for (std::size_t k = 0; k + 1 < piece.size(); ++k) {
            const Point p = piece[k];
            const Point q = piece[k + 1];
            ASSERT_LT(p.x, q.x);
            const double chord = to_picture(frame, 0, p.y + (q.y - p.y) / 2).y;
            if (q.x - p.x > 1e-4 * pixel) {
                EXPECT_LE(std::fabs(to_picture(frame, 0, f(p.x + (q.x - p.x) / 2)).y - chord), 0.1) << p.x;
            }
        }
        if (piece.front().x > frame.x0) {
            EXPECT_TRUE(std::isnan(f(piece.front().x - 2e-4 * pixel))) << piece.front().x;
        }
        if (piece.back().x < frame.x1) {
            EXPECT_TRUE(std::isnan(f(piece.back().x + 2e-4 * pixel))) << piece.back().x;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, Curves, testing::ValuesIn(load_rows("curves.txt")), row_name);

// Read back from the picture of a table: each rule's line passes through
// its errors where the axes' labels put them, errors of 0 left out.
class Errors : public testing::TestWithParam<Row> {};
TEST_P(Errors, AreDrawnWhereTheAxesSay)
{
    const Row& r = GetParam();
    const IntegrandEntry& e = select_integrand(r[0][0]);
    const Task task{&e, number(r[1]), number(r[2]), std::atoi(r[3].c_str()), exact_integral(e, number(r[1]), number(r[2]))};
    const auto all = convergence(rules_of(r[4]), e, task.a, task.b, task.n, task.integral, Progress{});
    const std::string svg = convergence_svg(task, all);
    const auto x_ticks = ticks(svg, "x");
    const auto y_ticks = ticks(svg, "y");
    ASSERT_GE(x_ticks.size(), 2U);
    ASSERT_GE(y_ticks.size(), 2U);
    bool zeros = false;
    for (const Convergence& c : all) {
        const auto line = numbers_of(svg, std::string("rule-") + rule_entry(c.rule).key, "points");
        ASSERT_EQ(line.size(), 1U);
        std::size_t k = 0;
        for (const ConvergenceRow& row : c.rows) {
            zeros = zeros || row.error.value == 0.0;
            if (row.error.value == 0.0)
                continue;
            ASSERT_LT(k + 1, line[0].size());
            EXPECT_NEAR(line[0][k], place(x_ticks, std::log2(row.n), std::log2), 0.03) << row.n;
            EXPECT_NEAR(line[0][k + 1], place(y_ticks, std::log10(std::fabs(row.error.value)), std::log10), 0.03) << row.n;
            k += 2;
        }
        EXPECT_EQ(k, line[0].size());
    }
    EXPECT_EQ(zeros, svg.find("presne 0") != std::string::npos);
    // The legend explains the hollow marker only where one is drawn.
    bool rounding = false;
    for (const Convergence& c : all)
        for (const ConvergenceRow& row : c.rows)
            rounding = rounding || (row.rounding_level && row.error.exists && std::isfinite(row.error.value) &&
                                    row.error.value != 0.0);
    EXPECT_EQ(rounding, svg.find("prazdna znacka") != std::string::npos);
    // One notation: each label a power with its exponent raised; up to
    // 2^20 every power of two fits, and the decades are labelled each or
    // every second.
    std::size_t powers = 0;
    while ((2LL << powers) <= task.n)
        ++powers;
    EXPECT_EQ(x_ticks.size(), powers);
    EXPECT_EQ(count_of(svg, ">2<tspan dy=\"-"), x_ticks.size());
    EXPECT_EQ(count_of(svg, ">10<tspan dy=\"-"), y_ticks.size());
    for (std::size_t k = 0; k + 1 < y_ticks.size(); ++k) {
        const double decades = std::log10(y_ticks[k + 1].second) - std::log10(y_ticks[k].second);
        EXPECT_TRUE(std::fabs(decades - 1) < 1e-9 || std::fabs(decades - 2) < 1e-9) << decades;
    }
}

// Each slope's name on its white box: no rule's line, no marker and no
// other slope passes through the box (each segment walked a quarter pixel
// at a time).
TEST_P(Errors, LeaveTheSlopesNamesClear)
{
    const Row& r = GetParam();
    const IntegrandEntry& e = select_integrand(r[0][0]);
    const Task task{&e, number(r[1]), number(r[2]), std::atoi(r[3].c_str()), exact_integral(e, number(r[1]), number(r[2]))};
    const std::string svg = convergence_svg(task, convergence(rules_of(r[4]), e, task.a, task.b, task.n, task.integral, Progress{}));
    std::vector<std::vector<double>> segments; // x0 y0 x1 y1 ...: a path
    for (char key : r[4])
        for (const auto& line : numbers_of(svg, std::string("rule-") + key, "points"))
            segments.push_back(line);
    const auto x1 = numbers_of(svg, "reference", "x1");
    const auto y1 = numbers_of(svg, "reference", "y1");
    const auto x2 = numbers_of(svg, "reference", "x2");
    const auto y2 = numbers_of(svg, "reference", "y2");
    for (std::size_t k = 0; k < x1.size(); ++k)
        segments.push_back({x1[k].at(0), y1[k].at(0), x2[k].at(0), y2[k].at(0)});
    std::vector<std::vector<double>> markers; // every corner or the circle's centre
    for (const char* name : {"d", "cx", "cy", "x", "y"}) {
        const auto values = numbers_of(svg, "marker", name);
        markers.resize(values.size());
        for (std::size_t k = 0; k < values.size(); ++k)
            markers[k].insert(markers[k].end(), values[k].begin(), values[k].end());
    }
    const auto x = numbers_of(svg, "slope-box", "x");
    const auto y = numbers_of(svg, "slope-box", "y");
    const auto w = numbers_of(svg, "slope-box", "width");
    const auto h = numbers_of(svg, "slope-box", "height");
    ASSERT_GE(x.size(), 3U);
    for (std::size_t b = 0; b < x.size(); ++b) {
        const auto inside = [&](double u, double v, double margin) {
            return u > x[b][0] - margin && u < x[b][0] + w[b][0] + margin && v > y[b][0] - margin &&
                   v < y[b][0] + h[b][0] + margin;
        };
        for (const auto& path : segments)
            for (std::size_t k = 0; k + 3 < path.size(); k += 2) {
                const double length = std::hypot(path[k + 2] - path[k], path[k + 3] - path[k + 1]);
                for (double t = 0; t <= length; t += 0.25) {
                    const double u = path[k] + (path[k + 2] - path[k]) * t / length;
                    const double v = path[k + 1] + (path[k + 3] - path[k + 1]) * t / length;
                    EXPECT_FALSE(inside(u, v, 0)) << "slope name " << b << " crossed at " << u << " " << v;
                }
            }
        for (const auto& m : markers)
            for (std::size_t k = 0; k + 1 < m.size(); k += 2)
                EXPECT_FALSE(inside(m[k], m[k + 1], 5)) << "slope name " << b << " on a marker at " << m[k] << " " << m[k + 1];
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, Errors, testing::ValuesIn(load_rows("convergence_pictures.txt")), row_name);

std::string picture_of(const Row& r)
{
    const IntegrandEntry& e = entry_of(r[1]);
    const Task task{&e, number(r[2]), number(r[3]), std::atoi(r[4].c_str()), exact_integral(e, number(r[2]), number(r[3]))};
    const std::vector<Rule> rules = rules_of(r[5]);
    if (r[0] == "table")
        return convergence_svg(task, convergence(rules, e, task.a, task.b, task.n, task.integral, Progress{}));
    std::vector<double> results;
    for (Rule rule : rules)
        results.push_back(integrate(rule, e, task.a, task.b, task.n));
    return panels_svg(task, rules, results);
}

// The notes and elements a picture has or has not, and what is drawn in
// the axes' boxes within it (one a rule, stacked), axes that span the whole
// range of a double too: each element in one box.
class Texts : public testing::TestWithParam<Row> {};
TEST_P(Texts, StandAsOftenAsSaid)
{
    const Row& r = GetParam();
    const std::string svg = picture_of(r);
    EXPECT_EQ(count_of(svg, r[7]), std::stoul(r[6])) << r[7];
    struct Box {
        double left, right, top, bottom;
        bool holds(double x, double y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    };
    std::vector<Box> boxes; // each box's bottom axis, then its left one
    const auto x1 = numbers_of(svg, "axis", "x1");
    const auto x2 = numbers_of(svg, "axis", "x2");
    const auto y1 = numbers_of(svg, "axis", "y1");
    const auto y2 = numbers_of(svg, "axis", "y2");
    for (std::size_t k = 0; k + 1 < x1.size(); k += 2)
        boxes.push_back(Box{x1[k + 1].at(0), x2[k].at(0), y2[k + 1].at(0), y1[k].at(0)});
    ASSERT_FALSE(boxes.empty());
    for (const char* kind : {"curve", "zero", "reference"}) { // panels: Panels.AreTheRulesOwnAndFitTheAxes
        std::vector<std::vector<double>> points = numbers_of(svg, kind, "d");
        const auto lines = {numbers_of(svg, kind, "x1"), numbers_of(svg, kind, "y1"), numbers_of(svg, kind, "x2"),
                            numbers_of(svg, kind, "y2")};
        const std::vector<std::vector<std::vector<double>>> ends(lines);
        for (std::size_t k = 0; k < ends[0].size(); ++k)
            if (!ends[0][k].empty() && !ends[3][k].empty())
                points.push_back({ends[0][k][0], ends[1][k][0], ends[2][k][0], ends[3][k][0]});
        for (const auto& element : points) {
            if (element.size() < 2)
                continue;
            const auto in = std::find_if(boxes.begin(), boxes.end(),
                                         [&](const Box& b) { return b.holds(element[0], element[1]); });
            ASSERT_NE(in, boxes.end()) << kind << " at " << element[0] << " " << element[1];
            for (std::size_t k = 0; k + 1 < element.size(); k += 2)
                EXPECT_TRUE(in->holds(element[k], element[k + 1])) << kind << " " << element[k] << " " << element[k + 1];
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, Texts, testing::ValuesIn(load_rows("picture_texts.txt")), row_name);

// However far the integrand oscillates, the curve has a few thousand points
// and the picture stays under a megabyte.
TEST(Curves, AreBoundedByThePicturesWidth)
{
    const std::pair<char, double> wide[] = {{'a', 1e6}, {'a', 1e9}, {'a', 1e15}, {'0', 1e300}};
    for (const auto& [key, end] : wide) {
        const Frame frame{80, 30, 690, 380, -end, end, -1.1, 1.1};
        std::size_t points = 0;
        for (const auto& piece : curve_of(select_integrand(key), frame).pieces)
            points += piece.size();
        EXPECT_LE(points, 30000U) << key << " " << end;
        const IntegrandEntry& e = select_integrand(key);
        EXPECT_LT(panels_svg(Task{&e, -end, end, 4, exact_integral(e, -end, end)}, {Rule::simpson}, {0.0}).size(), 1000000U);
    }
}

std::string contents(std::FILE* f)
{
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

// Memory that runs out while the picture is drawn costs the picture only:
// the result line is shown, the warning says why, the status is 1.
TEST(Drawing, OutOfMemoryIsAPictureThatCouldNotBeWritten)
{
    const std::string path = (fresh_folder() / "p.svg").string();
    const std::vector<std::string> args = {"--no-log", "--svg", path, "a", "0", "1e6", "4", "s"};
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out != nullptr && err != nullptr);
    failing_from = 1 << 16;
    const int status = run_command_line(args, out, err);
    failing_from = SIZE_MAX;
    EXPECT_EQ(status, 1);
    EXPECT_EQ(contents(out), "s nan\n");
    EXPECT_EQ(contents(err), "Upozornenie: obrazok " + path + " sa nepodarilo zapisat (" + std::strerror(ENOMEM) + ").\n");
    EXPECT_FALSE(fs::exists(path));
    std::fclose(out);
    std::fclose(err);
}

} // namespace
