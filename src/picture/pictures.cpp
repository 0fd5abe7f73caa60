#include <algorithm>
#include <cfloat>
#include <cmath>

#include "panels.h"
#include "picture.h"

namespace {

// The plot's box; the texts under it fill the rest of the 800 pixels' width.
constexpr double plot_left = 80.0;
constexpr double plot_top = 30.0;
constexpr double plot_width = 690.0;
constexpr double plot_height = 380.0;
constexpr double text_left = 20.0;
constexpr double text_width_max = 760.0;
// Past this many panels each is under two pixels wide: shading and
// outlines would merge into one block.
constexpr long long most_panels = 300;
constexpr double log10_of_2 = 0.30102999566398120;
// The errors' box leaves room on its right for the names of the slopes.
constexpr double errors_width = 630.0;

struct Bounds {
    double lo = HUGE_VAL;
    double hi = -HUGE_VAL;
};

void include(Bounds& b, double v)
{
    if (!std::isfinite(v))
        return;
    b.lo = std::min(b.lo, v);
    b.hi = std::max(b.hi, v);
}

// Bounds with a margin of `part` of their span on each side, never empty.
Bounds padded(Bounds b, double part, double least)
{
    if (!(b.lo <= b.hi)) {
        b.lo = -least;
        b.hi = least;
    }
    double margin = half_span(b.lo, b.hi) * (2 * part);
    if (!(margin > 0.0))
        margin = std::max(least, std::fabs(b.lo) * part);
    // Never past the largest double: an axis ends where the numbers do.
    return Bounds{std::max(b.lo - margin, -DBL_MAX), std::min(b.hi + margin, DBL_MAX)};
}

Frame frame_of(const Bounds& x, const Bounds& y, double width = plot_width)
{
    return Frame{plot_left, plot_top, width, plot_height, x.lo, x.hi, y.lo, y.hi};
}

std::string xy(Point p) { return coordinate(p.x) + " " + coordinate(p.y); }

std::string path_of(const Frame& frame, const std::vector<Point>& piece)
{
    std::string d;
    std::string last;
    for (const Point& p : piece) {
        const std::string here = xy(to_picture(frame, p.x, p.y));
        if (here == last)
            continue;
        d += (d.empty() ? "M" : " L") + here;
        last = here;
    }
    return d;
}

double bottom(const Frame& f) { return f.top + f.height; }

// The box's left and bottom sides as axes, their ticks outside it with
// labels, and faint grid lines inside at the same ticks. `x_at` and `y_at`
// give a tick's place in the frame's numbers.
void draw_axes(Svg& svg, const Frame& f, const std::vector<Tick>& x_ticks, const std::vector<Tick>& y_ticks)
{
    const std::string grid = " stroke=\"#dddddd\" stroke-width=\"1\"";
    for (const Tick& t : x_ticks) {
        const double px = to_picture(f, t.value, f.y0).x;
        add_line(svg, Point{px, f.top}, Point{px, bottom(f)}, grid);
        svg.body += "<line class=\"xtick\" x1=\"" + coordinate(px) + "\" y1=\"" + coordinate(bottom(f)) + "\" x2=\"" +
                    coordinate(px) + "\" y2=\"" + coordinate(bottom(f) + 5) + "\" stroke=\"#000000\"/>\n";
        add_raised_text(svg, px, bottom(f) + 18, t.label, " text-anchor=\"middle\"");
    }
    for (const Tick& t : y_ticks) {
        const double py = to_picture(f, f.x0, t.value).y;
        add_line(svg, Point{f.left, py}, Point{f.left + f.width, py}, grid);
        svg.body += "<line class=\"ytick\" x1=\"" + coordinate(f.left - 5) + "\" y1=\"" + coordinate(py) + "\" x2=\"" +
                    coordinate(f.left) + "\" y2=\"" + coordinate(py) + "\" stroke=\"#000000\"/>\n";
        add_raised_text(svg, f.left - 8, py + 4, t.label, " text-anchor=\"end\"");
    }
    const std::string axis = " class=\"axis\" stroke=\"#000000\" stroke-width=\"1.5\"";
    add_line(svg, Point{f.left, bottom(f)}, Point{f.left + f.width, bottom(f)}, axis);
    add_line(svg, Point{f.left, bottom(f)}, Point{f.left, f.top}, axis);
}

// The axes' names: x at the right end under the tick labels, y over the box.
void name_axes(Svg& svg, const Frame& f, const std::string& x_name, const std::string& y_name)
{
    add_text(svg, f.left + f.width, bottom(f) + 34, x_name, " text-anchor=\"end\" font-style=\"italic\"");
    add_text(svg, f.left, f.top - 12, y_name, " text-anchor=\"middle\" font-style=\"italic\"");
}

// Lines of text from `y` down, each wrapped to the picture's width; returns
// the baseline after the last.
double add_caption(Svg& svg, double y, const std::vector<std::string>& paragraphs)
{
    for (const std::string& paragraph : paragraphs)
        for (const std::string& line : wrapped(paragraph, text_width_max, font_size)) {
            add_text(svg, text_left, y, line);
            y += line_height;
        }
    return y;
}

std::string number_17(double v) { return general_text(v, 17); }

std::string interval_words(const Task& task)
{
    return std::string("f(x) = ") + task.f->text + " od a = " + number_17(task.a) + " po b = " +
           number_17(task.b);
}

std::string integral_words(const Integral& integral)
{
    if (integral.kind == IntegralKind::real)
        return "integral " + integral.digits;
    return "integral -";
}

// The parabola's highest or lowest point between its ends, where it has one.
void include_arc(Bounds& y, const RulePanel& p)
{
    const double c = 2 * p.ym - (p.y0 + p.y1) / 2;
    const double curvature = p.y0 - 2 * c + p.y1;
    if (curvature == 0.0)
        return;
    const double t = (p.y0 - c) / curvature;
    if (t > 0.0 && t < 1.0)
        include(y, (1 - t) * (1 - t) * p.y0 + 2 * t * (1 - t) * c + t * t * p.y1);
}

std::string panel_path(const Panel& s)
{
    std::string d = "M" + xy(s.base0) + " L" + xy(s.top0);
    if (s.arc)
        d += " Q" + xy(s.control) + " " + xy(s.top1);
    else
        d += " L" + xy(s.top1);
    return d + " L" + xy(s.base1) + " Z";
}

// A point where the rule evaluates the integrand.
void add_dot(Svg& svg, Point p)
{
    svg.body += "<circle cx=\"" + coordinate(p.x) + "\" cy=\"" + coordinate(p.y) + "\" r=\"3\" fill=\"#08519c\"/>\n";
}

bool finite_panel(const RulePanel& p)
{
    return std::isfinite(p.y0) && std::isfinite(p.y1) && (!p.arc || std::isfinite(p.ym));
}

// What a rule's panels need said: how Simpson's rule took an odd n, where
// rectangles stand for a > b, why there are none.
void rule_notes(std::vector<std::string>& notes, const Task& task, Rule rule, bool drawn)
{
    const RuleEntry& r = rule_entry(rule);
    const std::string who = std::string(r.record_name) + " metoda (" + r.key + "): ";
    if (rule == Rule::simpson && task.n > 0 && task.n % 2 == 1)
        notes.push_back(who + "N = " + std::to_string(task.n) + " je neparne, pocitala na " +
                        std::to_string(task.n + 1LL) + " subintervaloch: oblukov je " +
                        std::to_string(panel_count(rule, task.n)) + ".");
    if (rule == Rule::rectangle && task.a > task.b && drawn)
        notes.push_back(who + "a > b: obdlzniky stoja na pravych koncoch subintervalov [b, a], ako ich berie metoda.");
    if (rule == Rule::right_rectangle && task.a > task.b && drawn)
        notes.push_back(who + "a > b: obdlzniky stoja na lavych koncoch subintervalov [b, a], ako ich berie metoda.");
    if (task.n > 0 && !drawn && panel_count(rule, task.n) > most_panels)
        notes.push_back(who + "panelov je " + std::to_string(panel_count(rule, task.n)) +
                        ", su prilis tenke na zobrazenie: nakreslena je len funkcia.");
}

// The points where a rule evaluates the integrand, on its panel.
void add_dots(Svg& svg, const Frame& frame, Rule rule, const RulePanel& p)
{
    const bool left = rule == Rule::rectangle || rule == Rule::trapezoid || rule == Rule::simpson;
    const bool right = rule == Rule::right_rectangle || rule == Rule::trapezoid || rule == Rule::simpson;
    const bool middle = rule == Rule::midpoint || rule == Rule::simpson;
    if (left)
        add_dot(svg, to_picture(frame, p.x0, p.y0));
    if (middle)
        add_dot(svg, to_picture(frame, p.xm, p.ym));
    if (right)
        add_dot(svg, to_picture(frame, p.x1, p.y1));
}

} // namespace

std::string panels_svg(const Task& task, const std::vector<Rule>& asked, const std::vector<double>& results)
{
    // Each rule once, in the order given, with its first result.
    std::vector<Rule> rules;
    std::vector<double> result_of;
    for (std::size_t k = 0; k < asked.size(); ++k)
        if (std::find(rules.begin(), rules.end(), asked[k]) == rules.end()) {
            rules.push_back(asked[k]);
            result_of.push_back(results.at(k));
        }
    const bool plottable = std::isfinite(task.a) && std::isfinite(task.b);
    Bounds x;
    if (plottable) {
        include(x, task.a);
        include(x, task.b);
    }
    if (!(x.lo < x.hi))
        x = padded(x, 0.0, 1.0);
    std::vector<std::vector<RulePanel>> panels(rules.size());
    Bounds y;
    include(y, 0.0);
    for (std::size_t k = 0; k < rules.size(); ++k) {
        if (plottable && panel_count(rules[k], task.n) <= most_panels)
            panels[k] = rule_panels(rules[k], *task.f, task.a, task.b, task.n);
        for (const RulePanel& p : panels[k]) {
            if (!finite_panel(p))
                continue;
            include(y, p.y0);
            include(y, p.y1);
            if (p.arc)
                include_arc(y, p);
        }
    }
    for (int k = 0; k <= 1024 && plottable; ++k)
        include(y, integrand_at(*task.f, along(x.lo, x.hi, k, 1024)));
    // One box a rule, stacked, the same axes in each; several lower ones.
    const double height = rules.size() > 1 ? 240.0 : plot_height;
    const auto box = [&](std::size_t k, const Bounds& ys) {
        Frame f = frame_of(x, padded(ys, 0.05, 1.0));
        f.height = height;
        f.top = plot_top + static_cast<double>(k) * (height + 70.0);
        return f;
    };
    Frame frame = box(0, y);
    Curve curve;
    if (plottable) {
        curve = curve_of(*task.f, frame);
        // Points found between the first samples may reach past them.
        const Bounds sampled = y;
        for (const auto& piece : curve.pieces)
            for (const Point& p : piece)
                include(y, p.y);
        if (y.lo < sampled.lo || y.hi > sampled.hi) {
            frame = box(0, y);
            curve = curve_of(*task.f, frame);
        }
    }
    Svg svg;
    for (std::size_t k = 0; k < rules.size(); ++k) {
        const Frame f = box(k, y);
        const RuleEntry& rule = rule_entry(rules[k]);
        draw_axes(svg, f, linear_ticks(f.x0, f.x1, f.width, true, font_size),
                  linear_ticks(f.y0, f.y1, f.height, false, font_size));
        if (f.y0 < 0.0 && f.y1 > 0.0)
            add_line(svg, to_picture(f, f.x0, 0.0), to_picture(f, f.x1, 0.0),
                     " class=\"zero\" stroke=\"#555555\" stroke-width=\"1\"");
        for (const RulePanel& p : panels[k])
            if (finite_panel(p))
                svg.body += "<path class=\"panel\" d=\"" + panel_path(panel_shape(f, p)) +
                            "\" fill=\"#6baed6\" fill-opacity=\"0.4\" stroke=\"#08519c\" stroke-width=\"1\"/>\n";
        for (const RulePanel& p : panels[k])
            if (finite_panel(p))
                add_dots(svg, f, rules[k], p);
        for (const auto& piece : curve.pieces)
            svg.body += "<path class=\"curve\" d=\"" + path_of(f, piece) +
                        "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\" stroke-linejoin=\"round\"/>\n";
        name_axes(svg, f, "x", "f(x)");
        add_text(svg, f.left + f.width, f.top - 12, std::string(rule.record_name) + " metoda (" + rule.key + ")",
                 " class=\"rule-title\" text-anchor=\"end\" font-weight=\"bold\"");
    }
    std::vector<std::string> caption = {interval_words(task) + ", n = " + std::to_string(task.n) + ", " +
                                        integral_words(task.integral) + "."};
    for (std::size_t k = 0; k < rules.size(); ++k) {
        const RuleEntry& rule = rule_entry(rules[k]);
        const Difference error = error_of(task.integral, result_of[k]);
        caption.push_back(std::string(rule.record_name) + " metoda (" + rule.key + "): vysledok " +
                          fixed_text(result_of[k], 15) + ", chyba " + (error.exists ? error.text : std::string("-")) +
                          ".");
    }
    if (!plottable)
        caption.push_back("Interval s koncom, ktory nie je konecne cislo, sa neda nakreslit.");
    const std::string note = integral_note(task.integral);
    if (!note.empty())
        caption.push_back(note);
    // A gap where the values pass the range of a double is not one where
    // the integrand is no real number.
    bool not_real = false;
    bool overflow = false;
    for (std::size_t k = 0; k < curve.missing.size() && k < 64; ++k) {
        if (real_at(*task.f, curve.missing[k]))
            overflow = true;
        else
            not_real = true;
    }
    if (not_real)
        caption.push_back(std::string("Kde ") + task.f->text + " nie je realne cislo, krivka ma medzeru.");
    if (overflow)
        caption.push_back(std::string("Kde hodnoty ") + task.f->text +
                          " presahuju rozsah cisel double, krivka ma medzeru.");
    if (task.n <= 0)
        caption.push_back("Pri N = " + std::to_string(task.n) + " metody nemaju ziadne panely.");
    for (std::size_t k = 0; k < rules.size(); ++k)
        rule_notes(caption, task, rules[k], !panels[k].empty());
    const double end = add_caption(svg, bottom(box(rules.size() - 1, y)) + 60, caption);
    std::string names;
    for (Rule r : rules)
        names += std::string(names.empty() ? "" : ", ") + rule_entry(r).record_name;
    return svg_file(svg, end, "Panely: " + names + " na " + interval_words(task));
}

namespace {

// Each rule told apart three ways, so that print in grey keeps them apart.
struct Style {
    Rule rule;
    const char* colour;
    const char* dash; // stroke-dasharray, empty for a solid line
    const char* marker;
};
constexpr Style styles[] = {
    {Rule::simpson, "#1f5fa8", "", "circle"},
    {Rule::rectangle, "#c0392b", "9 4", "square"},
    {Rule::trapezoid, "#1e8449", "3 3", "triangle"},
    {Rule::midpoint, "#7d3c98", "12 3 2 3", "diamond"},
    {Rule::right_rectangle, "#b9770e", "1 3", "down"},
};

const Style& style_of(Rule rule)
{
    return *std::find_if(std::begin(styles), std::end(styles), [rule](const Style& s) { return s.rule == rule; });
}

void add_marker(Svg& svg, Point p, const Style& s, bool hollow)
{
    std::string paint = " class=\"marker\" fill=\"" + std::string(s.colour) + "\" stroke=\"" + s.colour + "\" stroke-width=\"1.5\"";
    if (hollow)
        paint = " class=\"marker\" fill=\"#ffffff\" stroke=\"" + std::string(s.colour) + "\" stroke-width=\"1.5\"";
    const std::string marker = s.marker;
    if (marker == "circle")
        svg.body += "<circle cx=\"" + coordinate(p.x) + "\" cy=\"" + coordinate(p.y) + "\" r=\"4\"" + paint + "/>\n";
    else if (marker == "square")
        svg.body += "<rect x=\"" + coordinate(p.x - 4) + "\" y=\"" + coordinate(p.y - 4) +
                    "\" width=\"8\" height=\"8\"" + paint + "/>\n";
    else if (marker == "triangle")
        svg.body += "<path d=\"M" + xy(Point{p.x, p.y - 5}) + " L" + xy(Point{p.x + 5, p.y + 4}) + " L" +
                    xy(Point{p.x - 5, p.y + 4}) + " Z\"" + paint + "/>\n";
    else if (marker == "down")
        svg.body += "<path d=\"M" + xy(Point{p.x, p.y + 5}) + " L" + xy(Point{p.x + 5, p.y - 4}) + " L" +
                    xy(Point{p.x - 5, p.y - 4}) + " Z\"" + paint + "/>\n";
    else
        svg.body += "<path d=\"M" + xy(Point{p.x, p.y - 5}) + " L" + xy(Point{p.x + 5, p.y}) + " L" +
                    xy(Point{p.x, p.y + 5}) + " L" + xy(Point{p.x - 5, p.y}) + " Z\"" + paint + "/>\n";
}

std::string dash_of(const char* dash)
{
    if (*dash == '\0')
        return "";
    return " stroke-dasharray=\"" + std::string(dash) + "\"";
}

double log10_of(double v) { return log2_of(v) * log10_of_2; }

// The least of 1, 2, 5, 10, 20, ... steps that keeps labels `per` pixels
// apart at least `room` apart.
int stride_for(double per, double room)
{
    int stride = 1;
    for (int k = 0; stride * per < room && stride < 100000000; ++k)
        stride *= k % 3 == 1 ? 5 : 2;
    return stride;
}

// Powers of two on the n axis as 2^k, every one where their labels keep a
// space between them, else every second, fifth, ...
std::vector<Tick> n_ticks(const Frame& f, int last_power)
{
    const double per_power = f.width / (f.x1 - f.x0);
    const double room = raised_width("2^" + std::to_string(last_power), font_size) + font_size;
    const int stride = stride_for(per_power, room);
    std::vector<Tick> ticks;
    for (int k = 1; k <= last_power; ++k)
        if (k % stride == 0)
            ticks.push_back(Tick{static_cast<double>(k), "2^" + std::to_string(k)});
    return ticks;
}

// Decades on the error axis as 10^e, labels two lines apart: every decade,
// or every second, fifth, ...
std::vector<Tick> decade_ticks(const Frame& f)
{
    const int stride = stride_for(f.height / (f.y1 - f.y0), 2 * font_size);
    std::vector<Tick> ticks;
    for (auto e = static_cast<int>(std::ceil(f.y0)); e <= f.y1; ++e)
        if (e % stride == 0)
            ticks.push_back(Tick{static_cast<double>(e), "10^" + std::to_string(e)});
    return ticks;
}

// What a slope's name must keep clear of, in the picture's pixels: the
// rules' lines and markers, the other slopes and their names.
struct Box {
    double left;
    double top;
    double right;
    double bottom;
};

struct Drawn {
    std::vector<std::pair<Point, Point>> segments;
    std::vector<Box> boxes;
};

bool meets(const Box& p, const Box& q)
{
    return p.left < q.right && q.left < p.right && p.top < q.bottom && q.top < p.bottom;
}

// Whether the segment passes through the box: the segment clipped to the
// box's slabs (Liang and Barsky) keeps a piece.
bool crosses(const std::pair<Point, Point>& s, const Box& b)
{
    const double dx = s.second.x - s.first.x;
    const double dy = s.second.y - s.first.y;
    double from = 0.0;
    double to = 1.0;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {s.first.x - b.left, b.right - s.first.x, s.first.y - b.top, b.bottom - s.first.y};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            from = std::max(from, t);
        else
            to = std::min(to, t);
    }
    return from <= to;
}

bool clear(const Box& label, const Drawn& drawn)
{
    return std::none_of(drawn.segments.begin(), drawn.segments.end(),
                        [&](const std::pair<Point, Point>& s) { return crosses(s, label); }) &&
           std::none_of(drawn.boxes.begin(), drawn.boxes.end(), [&](const Box& b) { return meets(label, b); });
}

// A name of `width` pixels whose baseline starts at (x, y), with a margin.
Box label_box(double x, double y, double width)
{
    return Box{x - 3, y - font_size - 1, x + width + 3, y + 5};
}

// The place of a slope's name from start to end of its line: beyond the
// box's right side where the line leaves it there, else the first place
// from the line's end back, just over it or just under it, where no line,
// marker or other name passes; the baseline's start, or none.
bool name_place(const Frame& f, Point start, Point end, double width, const Drawn& drawn, Point& place)
{
    const Box inside{f.left, f.top, f.left + f.width, bottom(f)};
    const auto fits = [&](Point at, bool in_box) {
        const Box b = label_box(at.x, at.y, width);
        const bool within = !in_box || (b.left >= inside.left && b.right <= inside.right && b.top >= inside.top &&
                                        b.bottom <= inside.bottom);
        return within && b.top >= 0 && clear(b, drawn);
    };
    if (end.x >= inside.right - 0.01)
        for (int k = 0; k < 12; ++k) {
            const Point at{end.x + 6, end.y + 4 - k * line_height};
            if (fits(at, false)) {
                place = at;
                return true;
            }
        }
    const int steps = 200;
    for (int k = 0; k <= steps; ++k) {
        const double t = 1.0 - static_cast<double>(k) / steps;
        const Point on{start.x + (end.x - start.x) * t, start.y + (end.y - start.y) * t};
        // A falling line leaves its upper right and its lower left free.
        for (const Point at : {Point{on.x + 4, on.y - 6}, Point{on.x - 4 - width, on.y + font_size + 6}})
            if (fits(at, true)) {
                place = at;
                return true;
            }
    }
    return false;
}

// C / n^p through (u, v) in the frame's numbers (log2 n, log10 error), from
// where it enters the box to where it leaves it, or none that shows.
struct Reference {
    Point start;
    Point end;
    std::string name;
};

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the point (u, v), then the power
bool reference_of(const Frame& f, double u, double v, double p, Reference& r)
{
    const double slope = -p * log10_of_2; // decades per power of two
    const double u_top = u + (f.y1 - v) / slope;
    const double u_bottom = u + (f.y0 - v) / slope;
    const double from = std::max(f.x0, u_top);
    const double to = std::min(f.x1, u_bottom);
    if (!(from < to))
        return false;
    r.start = to_picture(f, from, v + (from - u) * slope);
    r.end = to_picture(f, to, v + (to - u) * slope);
    return true;
}

// Each slope's name where it is clear of every line and marker drawn, on
// white, as a slope may pass behind it.
void add_references(Svg& svg, const Frame& f, const std::vector<Reference>& references, Drawn drawn)
{
    for (const Reference& r : references) {
        add_line(svg, r.start, r.end, " class=\"reference\" stroke=\"#777777\" stroke-width=\"1\" stroke-dasharray=\"6 4\"");
        drawn.segments.emplace_back(r.start, r.end);
    }
    for (const Reference& r : references) {
        const double width = raised_width(r.name, font_size);
        Point at;
        if (!name_place(f, r.start, r.end, width, drawn, at))
            at = Point{r.end.x + 4, r.end.y - 6};
        const Box b = label_box(at.x, at.y, width);
        drawn.boxes.push_back(b);
        svg.body += "<rect class=\"slope-box\" x=\"" + coordinate(b.left) + "\" y=\"" + coordinate(b.top) +
                    "\" width=\"" + coordinate(b.right - b.left) + "\" height=\"" + coordinate(b.bottom - b.top) +
                    "\" fill=\"#ffffff\" fill-opacity=\"0.85\"/>\n";
        add_raised_text(svg, at.x, at.y, r.name, " class=\"slope\" fill=\"#444444\"");
    }
}

struct Plotted {
    Rule rule;
    std::vector<Point> points;   // (log2 n, log10 |error|)
    std::vector<bool> rounding;  // each point at the level of rounding
    std::string zeros;           // the n whose error is exactly 0
    std::string missing;         // the n without an error
};

void add_n(std::string& list, int n)
{
    if (!list.empty())
        list += ", ";
    list += std::to_string(n);
}

Plotted plotted(const Convergence& c)
{
    Plotted p{c.rule, {}, {}, "", ""};
    for (const ConvergenceRow& r : c.rows) {
        if (r.error.exists && r.error.value == 0.0)
            add_n(p.zeros, r.n);
        else if (!r.error.exists || !std::isfinite(r.error.value))
            add_n(p.missing, r.n);
        else {
            p.points.push_back(Point{log2_of(r.n), log10_of(std::fabs(r.error.value))});
            p.rounding.push_back(r.rounding_level);
        }
    }
    return p;
}

std::vector<std::string> convergence_notes(const Task& task, const std::vector<Plotted>& all)
{
    std::vector<std::string> notes;
    const std::string note = integral_note(task.integral);
    if (!note.empty())
        notes.push_back(note + " Chyba neexistuje, graf je prazdny.");
    std::string zeros;
    std::string missing;
    for (const Plotted& p : all) {
        const std::string who = std::string(1, rule_entry(p.rule).key) + " pri n = ";
        if (!p.zeros.empty())
            zeros += (zeros.empty() ? "" : "; ") + who + p.zeros;
        if (!p.missing.empty() && note.empty())
            missing += (missing.empty() ? "" : "; ") + who + p.missing;
    }
    if (!zeros.empty())
        notes.push_back("Chyba presne 0 sa na logaritmickej osi neda nakreslit, vynechane: " + zeros + ".");
    if (!missing.empty())
        notes.push_back("Bez chyby (vysledok nie je konecne cislo), vynechane: " + missing + ".");
    return notes;
}

} // namespace

std::string convergence_svg(const Task& task, const std::vector<Convergence>& all)
{
    std::vector<Plotted> lines;
    for (const Convergence& c : all)
        if (std::none_of(lines.begin(), lines.end(), [&](const Plotted& p) { return p.rule == c.rule; }))
            lines.push_back(plotted(c));
    int last_power = 1;
    while (last_power < 30 && (1LL << (last_power + 1)) <= task.n)
        ++last_power;
    Bounds y;
    Point anchor{1.0, NAN};
    for (const Plotted& p : lines)
        for (const Point& q : p.points) {
            include(y, q.y);
            if (q.x < anchor.x || std::isnan(anchor.y) || (q.x == anchor.x && q.y > anchor.y))
                anchor = q;
        }
    // The reference slopes start a factor of two above the largest error at
    // the smallest n, so that they stay clear of the lines they compare.
    anchor.y += log10_of_2;
    include(y, anchor.y);
    if (!(y.lo <= y.hi))
        y = Bounds{-16.0, 0.0};
    Bounds decades = padded(y, 0.04, 0.5);
    // Two labelled decades at least, or the axis cannot be read.
    if (std::ceil(decades.lo) > std::floor(decades.hi) - 1)
        decades = Bounds{std::floor(decades.lo), std::ceil(decades.hi)};
    const Frame frame = frame_of(Bounds{0.7, last_power + 0.3}, decades, errors_width);
    Svg svg;
    draw_axes(svg, frame, n_ticks(frame, last_power), decade_ticks(frame));
    std::vector<std::pair<double, std::string>> slopes = {{1.0, "1/n"}, {2.0, "1/n^2"}, {4.0, "1/n^4"}};
    if (task.f->key == 'a')
        slopes.insert(slopes.begin() + 1, {1.5, "1/n^1.5"});
    std::vector<Reference> references;
    for (const auto& [p, name] : slopes) {
        Reference r{Point{}, Point{}, name};
        if (!std::isnan(anchor.y) && reference_of(frame, anchor.x, anchor.y, p, r))
            references.push_back(r);
    }
    Drawn drawn;
    for (const Plotted& p : lines)
        for (std::size_t k = 0; k < p.points.size(); ++k) {
            const Point here = to_picture(frame, p.points[k].x, p.points[k].y);
            drawn.boxes.push_back(Box{here.x - 6, here.y - 6, here.x + 6, here.y + 6});
            if (k > 0)
                drawn.segments.emplace_back(to_picture(frame, p.points[k - 1].x, p.points[k - 1].y), here);
        }
    add_references(svg, frame, references, drawn);
    for (const Plotted& p : lines) {
        const Style& s = style_of(p.rule);
        std::string points;
        for (const Point& q : p.points)
            points += (points.empty() ? "" : " ") + coordinate(to_picture(frame, q.x, q.y).x) + "," +
                      coordinate(to_picture(frame, q.x, q.y).y);
        svg.body += "<polyline class=\"rule-" + std::string(1, rule_entry(p.rule).key) + "\" points=\"" + points +
                    "\" fill=\"none\" stroke=\"" + s.colour + "\" stroke-width=\"2\"" + dash_of(s.dash) + "/>\n";
        for (std::size_t k = 0; k < p.points.size(); ++k)
            add_marker(svg, to_picture(frame, p.points[k].x, p.points[k].y), s, p.rounding[k]);
    }
    name_axes(svg, frame, "n", "|chyba|");
    // The legend: a sample of each line, then the dashed slopes and, where
    // one is drawn, the hollow marker.
    double row = bottom(frame) + 60;
    for (const Plotted& p : lines) {
        const Style& s = style_of(p.rule);
        const RuleEntry& r = rule_entry(p.rule);
        add_line(svg, Point{text_left, row - 4}, Point{text_left + 44, row - 4},
                 " stroke=\"" + std::string(s.colour) + "\" stroke-width=\"2\"" + dash_of(s.dash));
        add_marker(svg, Point{text_left + 22, row - 4}, s, false);
        add_text(svg, text_left + 54, row, std::string(r.record_name) + " metoda (" + r.key + ")");
        row += line_height;
    }
    add_line(svg, Point{text_left, row - 4}, Point{text_left + 44, row - 4},
             " stroke=\"#777777\" stroke-width=\"1\" stroke-dasharray=\"6 4\"");
    add_raised_text(svg, text_left + 54, row, "referencne sklony C/n^p: chyba radu p");
    row += line_height;
    const bool hollow = std::any_of(lines.begin(), lines.end(), [](const Plotted& p) {
        return std::find(p.rounding.begin(), p.rounding.end(), true) != p.rounding.end();
    });
    if (hollow) {
        add_marker(svg, Point{text_left + 22, row - 4}, Style{Rule::simpson, "#555555", "", "circle"}, true);
        add_text(svg, text_left + 54, row, "prazdna znacka: na urovni zaokruhlenia, rad tam nic neznamena");
        row += line_height;
    }
    row += line_height * 0.5;
    std::vector<std::string> caption = {interval_words(task) + ", " + integral_words(task.integral) +
                                        ": absolutna chyba |vysledok - integral| pre n = 2, 4, 8, ... po " +
                                        std::to_string(1LL << last_power) + ", obe osi logaritmicke."};
    const std::vector<std::string> notes = convergence_notes(task, lines);
    caption.insert(caption.end(), notes.begin(), notes.end());
    const double end = add_caption(svg, row, caption);
    return svg_file(svg, end, "Chyba podla n: " + interval_words(task));
}
