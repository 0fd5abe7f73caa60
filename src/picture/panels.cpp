#include "panels.h"

#include "rule_points.h"

#include <cmath>

namespace {

// Where the integrand is followed to its last finite value, in pixels: far
// below what a screen or a printer shows.
constexpr double edge_pixels = 1e-4;
// A chord stands for the curve when the curve's middle is this close to it.
constexpr double chord_pixels = 0.1;
// The first samples lie closer than a pixel apart, so that no island of
// finite values a pixel wide is missed between them.
constexpr int first_samples = 1024;
// A curve that needs more points than this between two first samples
// oscillates faster than a pixel shows: there the least and the greatest of
// `column_samples` values stand for it. So a picture's size is bounded by
// its width, whatever the interval.
constexpr int most_points = 24;
constexpr int column_samples = 48;

struct Tracer {
    const IntegrandEntry* e;
    Frame frame;
    std::vector<std::vector<Point>> pieces;
    std::vector<double> missing;
    int spent = 0; // points added between the two first samples at hand
};

void follow(Tracer& t, Point p, Point q);

double value(const Tracer& t, double x) { return integrand_at(*t.e, x); }

double pixels_x(const Frame& frame, double dx) { return std::fabs(dx) / 2 / half_span(frame.x0, frame.x1) * frame.width; }

double pixels_y(const Frame& frame, double dy) { return std::fabs(dy) / 2 / half_span(frame.y0, frame.y1) * frame.height; }

void extend(Tracer& t, Point p)
{
    if (t.pieces.empty())
        t.pieces.emplace_back();
    t.pieces.back().push_back(p);
    ++t.spent;
}

void end_piece(Tracer& t)
{
    if (!t.pieces.empty() && !t.pieces.back().empty())
        t.pieces.emplace_back();
}

// The finite point nearest the edge between `finite` and `other`.
Point edge(const Tracer& t, double finite, double other)
{
    while (pixels_x(t.frame, other - finite) > edge_pixels) {
        const double mid = finite + (other - finite) / 2;
        if (mid == finite || mid == other)
            break;
        if (std::isfinite(value(t, mid)))
            finite = mid;
        else
            other = mid;
    }
    return Point{finite, value(t, finite)};
}

// From p (drawn) up to where the values stop before `gap`; the piece ends.
void follow_to_gap(Tracer& t, Point p, double gap)
{
    t.missing.push_back(gap);
    const Point e = edge(t, p.x, gap);
    if (e.x != p.x)
        follow(t, p, e);
    end_piece(t);
}

// From where the values start after `gap` on to q.
void follow_from_gap(Tracer& t, double gap, Point q)
{
    const Point s = edge(t, q.x, gap);
    extend(t, s);
    if (s.x != q.x)
        follow(t, s, q);
}

// From p (drawn) to q, both finite: halved until each chord is within
// chord_pixels of the curve's middle. The depth stays below 50: every level
// halves a piece that starts under a pixel and stops under edge_pixels.
void follow(Tracer& t, Point p, Point q)
{
    if (t.spent > most_points)
        return; // the column is drawn by its extremes instead
    const double xm = p.x + (q.x - p.x) / 2;
    const double ym = value(t, xm);
    if (pixels_x(t.frame, q.x - p.x) < edge_pixels || xm == p.x || xm == q.x) {
        extend(t, q);
        return;
    }
    if (!std::isfinite(ym)) {
        follow_to_gap(t, p, xm);
        follow_from_gap(t, xm, q);
        return;
    }
    if (pixels_y(t.frame, ym - (p.y + (q.y - p.y) / 2)) <= chord_pixels) {
        extend(t, q);
        return;
    }
    follow(t, p, Point{xm, ym});
    follow(t, Point{xm, ym}, q);
}

} // namespace

long long panel_count(Rule rule, int n)
{
    if (n <= 0)
        return 0;
    if (rule == Rule::simpson)
        return (n + 1LL) / 2;
    return n;
}

std::vector<RulePanel> rule_panels(Rule rule, const IntegrandEntry& e, double a, double b, int n)
{
    std::vector<RulePanel> panels;
    if (n <= 0)
        return panels;
    const auto f = [&](double x) { return integrand_at(e, x); };
    if (rule == Rule::rectangle) {
        const double h = step(a, b, n);
        for (int i = 0; i < n; i++) {
            const double x = point(i, h, a);
            const double y = f(x);
            panels.push_back(RulePanel{x, y, x + h, y});
        }
    } else if (rule == Rule::midpoint) {
        const double h = step(a, b, n);
        for (int i = 0; i < n; i++) {
            const double x = point(i, h, a);
            const double xm = middle_point(i, h, a);
            const double y = f(xm);
            panels.push_back(RulePanel{x, y, x + h, y, false, xm, y});
        }
    } else if (rule == Rule::right_rectangle) {
        const double h = step(a, b, n);
        double x = a;
        for (int i = 1; i <= n; i++) {
            double next = b;
            if (i < n)
                next = point(i, h, a);
            const double y = f(next);
            panels.push_back(RulePanel{x, y, next, y});
            x = next;
        }
    } else if (rule == Rule::trapezoid) {
        const double h = step(a, b, n);
        double x = a;
        double y = f(a);
        for (int i = 1; i <= n; i++) {
            double next = b;
            if (i < n)
                next = point(i, h, a);
            const double y_next = f(next);
            panels.push_back(RulePanel{x, y, next, y_next});
            x = next;
            y = y_next;
        }
    } else {
        const long long m = simpson_subintervals(n);
        const double h = step(a, b, m);
        for (long long i = 0; i < m - 1; i += 2) {
            const double x = point((double)i, h, a);
            const double x2 = panel_end(x, h);
            const double xm = panel_middle(x, h);
            panels.push_back(RulePanel{x, f(x), x2, f(x2), true, xm, f(xm)});
        }
    }
    return panels;
}

Panel panel_shape(const Frame& frame, const RulePanel& p)
{
    Panel shape;
    shape.base0 = to_picture(frame, p.x0, 0.0);
    shape.top0 = to_picture(frame, p.x0, p.y0);
    shape.top1 = to_picture(frame, p.x1, p.y1);
    shape.base1 = to_picture(frame, p.x1, 0.0);
    shape.arc = p.arc;
    if (p.arc) {
        // B(1/2) = top0/4 + control/2 + top1/4 is the middle point.
        const Point mid = to_picture(frame, p.xm, p.ym);
        shape.control = Point{2 * mid.x - (shape.top0.x + shape.top1.x) / 2, 2 * mid.y - (shape.top0.y + shape.top1.y) / 2};
    }
    return shape;
}

// From p (drawn where finite) to q by the least and the greatest of the
// values in between, in the order they come, and q: a column where the curve
// oscillates faster than a pixel. Where some values there are no numbers,
// the extremes stand apart, as a piece of their own.
void by_extremes(Tracer& t, Point p, Point q)
{
    Point low{q.x, HUGE_VAL};
    Point high{q.x, -HUGE_VAL};
    bool gap = !std::isfinite(p.y);
    // Spread by the golden ratio rather than evenly, so that a periodic
    // integrand is not seen at one phase only.
    double phase = 0.5;
    for (int k = 1; k <= column_samples; ++k) {
        double x = q.x;
        if (k < column_samples)
            x = p.x + (q.x - p.x) * phase;
        phase += 0.6180339887498949;
        if (phase >= 1.0)
            phase -= 1.0;
        if (!(x > p.x && x <= q.x))
            continue;
        const double y = value(t, x);
        if (!std::isfinite(y)) {
            if (!gap)
                t.missing.push_back(x);
            gap = true;
            continue;
        }
        if (y < low.y)
            low = Point{x, y};
        if (y > high.y)
            high = Point{x, y};
    }
    if (gap)
        end_piece(t);
    if (std::isfinite(low.y) && low.x < high.x) {
        extend(t, low);
        extend(t, high);
    } else if (std::isfinite(low.y)) {
        extend(t, high);
        if (low.x != high.x)
            extend(t, low);
    }
    if (std::isfinite(q.y) && !t.pieces.empty() && !t.pieces.back().empty() && t.pieces.back().back().x < q.x)
        extend(t, q);
    if (gap && !std::isfinite(q.y))
        end_piece(t);
}

Curve curve_of(const IntegrandEntry& f, const Frame& frame)
{
    Tracer t{&f, frame, {}, {}};
    Point prev{frame.x0, value(t, frame.x0)};
    if (std::isfinite(prev.y))
        extend(t, prev);
    else
        t.missing.push_back(prev.x);
    for (int k = 1; k <= first_samples; ++k) {
        double x = frame.x1;
        if (k < first_samples)
            x = along(frame.x0, frame.x1, k, first_samples);
        const Point cur{x, value(t, x)};
        const bool was = std::isfinite(prev.y);
        const bool is = std::isfinite(cur.y);
        // Where the points run over, they are taken back.
        const std::size_t pieces = t.pieces.size();
        const std::size_t last = pieces > 0 ? t.pieces.back().size() : 0;
        const std::size_t missing = t.missing.size();
        t.spent = 0;
        if (was && is)
            follow(t, prev, cur);
        else if (was)
            follow_to_gap(t, prev, cur.x);
        else if (is)
            follow_from_gap(t, prev.x, cur);
        if (t.spent > most_points) {
            t.pieces.resize(pieces);
            if (pieces > 0)
                t.pieces.back().resize(last);
            t.missing.resize(missing);
            by_extremes(t, prev, cur);
        }
        prev = cur;
    }
    Curve curve{{}, std::move(t.missing)};
    for (auto& piece : t.pieces)
        if (piece.size() >= 2)
            curve.pieces.push_back(std::move(piece));
    return curve;
}
