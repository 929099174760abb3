#pragma once

/** The network's one activation: tanh(x) = x P(x²) / Q(x²) with P and Q of degree 4, fitted
    for least maximum relative error on [0, 13 ln 2] and then adjusted in their last bits for
    least error after rounding to float. From 13 ln 2 on, tanh rounds to 1 in float, so the input
    is clamped at the first float beyond it where the quotient evaluates to exactly 1, with fused
    multiply-adds and without: saturated gates are then exactly 0 or 1. A NaN passes through.
    Every kernel evaluates it in this order. */
namespace tanh_approximation
{
constexpr float clamp = 9.01092339f;
constexpr float p1 = 1.338327527e-01f;
constexpr float p2 = 3.498157486e-03f;
constexpr float p3 = 2.064740329e-05f;
constexpr float p4 = 1.340045586e-08f;
constexpr float q1 = 4.671659470e-01f;
constexpr float q2 = 2.588702179e-02f;
constexpr float q3 = 3.289665037e-04f;
constexpr float q4 = 7.796838304e-07f;
} // namespace tanh_approximation
