// The geometry of the panels picture: each rule's panels on the points the
// rule itself evaluates, computed in double as the rule computes them, and
// the integrand sampled densely enough to look smooth.
#pragma once

#include <vector>

#include "plot.h"
#include "quadrature.h"
#include "rules.h"

// One panel in the integrand's numbers: from its first point (x0, y0) to
// its last (x1, y1), the first being on a's side. A rectangle has y1 = y0,
// the midpoint rule's the value at (xm, ym); Simpson's panel is the
// parabola through its middle point (xm, ym) too.
struct RulePanel {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    bool arc = false;
    double xm = 0.0;
    double ym = 0.0;
};

// How many panels the rule draws for n: n, or for Simpson's rule one per
// pair of the subintervals it used (an odd positive n raised by one); none
// for n <= 0.
long long panel_count(Rule rule, int n);

// Each rule's panels on its own points (rule_points.h): rectangle i over
// [x_i, x_i + h] with height f(x_i); the midpoint rule's with the height at
// its middle; the right rectangles with the height at their right ends, the
// last one's b; the trapezoids between the points, the ends at a and b
// themselves; Simpson's arcs through x, x + h and 2h + x.
std::vector<RulePanel> rule_panels(Rule rule, const IntegrandEntry& f, double a, double b, int n);

// A panel in the picture: base0 and base1 on the line y = 0, top0 and top1
// on the rule's points; an arc runs from top0 to top1 as a quadratic Bezier
// segment with `control`, passing through the middle point at t = 1/2.
struct Panel {
    Point base0;
    Point top0;
    Point top1;
    Point base1;
    bool arc = false;
    Point control;
};
Panel panel_shape(const Frame& frame, const RulePanel& p);

// The integrand over [frame.x0, frame.x1] as pieces of a line in the
// integrand's numbers, broken where it has no finite value: straight
// between points to within a tenth of a pixel in `frame`, and followed to
// within a ten-thousandth of a pixel to where it stops having one. Where it
// oscillates faster than a pixel shows, the least and the greatest value of
// each column stand for it: a few thousand points at most, whatever the
// interval. `missing` holds an x in each gap.
struct Curve {
    std::vector<std::vector<Point>> pieces;
    std::vector<double> missing;
};
Curve curve_of(const IntegrandEntry& f, const Frame& frame);
