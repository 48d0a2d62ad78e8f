// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace zel::test {

// A copy of a packed record field: QCOMPARE takes its arguments by reference, and a reference
// to a misaligned field is undefined behaviour.
template <typename T> constexpr T ByValue(T value) {
    return value;
}

} // namespace zel::test
