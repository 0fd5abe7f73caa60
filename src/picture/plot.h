// What both pictures are drawn with: a frame that maps numbers onto the
// picture, round ticks, and SVG text printed the same on every system (a
// decimal point whatever the locale, coordinates rounded to two decimals).
#pragma once

#include <string>
#include <vector>

#include "exact.h"

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// The numbers [x0, x1] x [y0, y1] drawn on the box whose top left corner is
// (left, top) in the picture, y growing upwards.
struct Frame {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
    double x0 = 0.0;
    double x1 = 1.0;
    double y0 = 0.0;
    double y1 = 1.0;
};
// Each difference is taken of halves, so that an axis may span the whole
// range of a double (from -DBL_MAX to DBL_MAX) without overflow; for every
// other range the halves change no bit.
Point to_picture(const Frame& frame, double x, double y);
// Half of hi - lo, without overflow.
double half_span(double lo, double hi);
// The k-th of `parts` equal steps from lo to hi: lo + (hi - lo) * k / parts.
double along(double lo, double hi, int k, int parts);

// A tick: where on its axis, in the axis's numbers, and its label.
struct Tick {
    double value = 0.0;
    std::string label;
};

// A round step: mantissa 1, 2 or 5 times ten to `exponent`.
struct Step {
    long long mantissa = 1;
    int exponent = 0;
};
double step_value(const Step& step);
// The smallest round step of at least `least` (a positive finite number).
Step round_step_from(double least);
// The multiples k * step inside [low, high], each labelled with its exact
// decimal digits: "0.25", "-3", "1.5e18".
std::vector<Tick> ticks_of(const Step& step, double low, double high);
// Ticks on an axis `pixels` long that shows [low, high]: the finest round
// step whose labels stand `room(label)` pixels apart or more.
std::vector<Tick> linear_ticks(double low, double high, double pixels, bool horizontal, double font_size);
// The label of m * 10^e, as ticks_of writes it.
std::string decimal_label(long long m, int e);

// A coordinate: at most two decimals, no trailing zeros, never "-0".
std::string coordinate(double v);
// As printf's %.*f and %.*g would write v in the C locale, but nan and inf
// as the command line writes them.
std::string fixed_text(double v, int decimals);
std::string general_text(double v, int digits);

// How wide `text` is at most in a sans-serif font of `size` pixels.
double text_width(const std::string& text, double size);
// `text` in lines no wider than `width` pixels, broken between words (a word
// wider than a line is broken inside).
std::vector<std::string> wrapped(const std::string& text, double width, double size);

// The SVG text of a picture as it grows.
struct Svg {
    std::string body;
};
// <text> at (x, y) with `attributes` (each with a space before it).
void add_text(Svg& svg, double x, double y, const std::string& text, const std::string& attributes = "");
// Text in which ^ marks an exponent, up to a space, a colon or the end:
// "10^-6", "1/n^2", "C/n^p: ...", drawn smaller and raised, with its width
// at `size` pixels.
void add_raised_text(Svg& svg, double x, double y, const std::string& text, const std::string& attributes = "");
double raised_width(const std::string& text, double size);
void add_line(Svg& svg, Point from, Point to, const std::string& attributes);
// The whole file: 800 pixels wide, `height` high, on white.
std::string svg_file(const Svg& svg, double height, const std::string& title);

// The caption's note on an integral that is no real number, or none.
std::string integral_note(const Integral& integral);

constexpr double picture_width = 800.0;
constexpr double font_size = 12.0;
constexpr double line_height = 18.0;

// log2(v) for a positive finite v by IEEE's basic operations alone, so that
// a log axis puts a point on the same hundredth of a pixel everywhere.
double log2_of(double v);
