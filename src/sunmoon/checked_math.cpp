// SPDX-License-Identifier: GPL-3.0-or-later
#include "sunmoon/checked_math.h"

#include <cmath>
#include <cstdint>

namespace zel {

double ArcSin(double x) {
    if (!(x >= -1.0 && x <= 1.0))
        throw MathError("Invalid floating point operation: arcsine of " + std::to_string(x));
    return std::asin(x);
}

double ArcCos(double x) {
    if (!(x >= -1.0 && x <= 1.0))
        throw MathError("Invalid floating point operation: arccosine of " + std::to_string(x));
    return std::acos(x);
}

int Floor32(double x) {
    const double floored = std::floor(x);
    if (!(floored >= INT32_MIN && floored <= INT32_MAX))
        throw MathError("Invalid floating point operation: floor of " + std::to_string(x));
    return static_cast<int>(floored);
}

} // namespace zel
