// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace zel {

// Floating-point failures of the astronomy. C++ answers an arcsine beyond ±1 or an
// out-of-range floor with NaN or undefined behaviour instead of a trap, so every such step
// goes through the checked helpers below, which throw MathError; callers catch it where the
// design catches the floating-point error (the geo text, the visualisation, EventTimes).
class MathError : public std::runtime_error {
public:
    explicit MathError(const std::string& what) : std::runtime_error(what) {}
};

// asin / acos that throw MathError for an argument outside [-1, 1] or NaN.
double ArcSin(double x);
double ArcCos(double x);
// The largest integer not above x as a 32-bit signed integer; MathError when x is NaN or the
// result does not fit.
int Floor32(double x);

} // namespace zel
