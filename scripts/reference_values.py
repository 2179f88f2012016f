#!/usr/bin/env python3
"""Independent reference values for the step-method tests.

Python floats are IEEE doubles with every operation correctly rounded and no
fused multiply-add, so evaluating the step formulas here in the same order of
operations gives the bits the C++ code must produce. Prints hex-float literals
for one step of h = 0.1 from (0, 1, -1) and for ten such steps, and the two
poles of the built-in solution between adjacent doubles.
"""
import decimal
import math


def f1(x, y1, y2):
    return y1 * y2 + x


def f2(x, y1, y2):
    return x * y2 + y1


def stage(h, x, a, b):
    return h * f1(x, a, b), h * f2(x, a, b)


def euler(x0, a, b, h):
    K1, L1 = stage(h, x0, a, b)
    return a + K1, b + L1


def euler_ep(x0, a, b, h):
    K1, L1 = stage(h, x0, a, b)
    K2, L2 = stage(h, x0 + h, a + K1, b + L1)
    return a + (K1 + K2) / 2, b + (L1 + L2) / 2


def euler_mp(x0, a, b, h):
    K1, L1 = stage(h, x0, a, b)
    K2, L2 = stage(h, x0 + h / 2, a + K1 / 2, b + L1 / 2)
    return a + K2, b + L2


def rk4(x0, a, b, h):
    K1, L1 = stage(h, x0, a, b)
    K2, L2 = stage(h, x0 + h / 2, a + K1 / 2, b + L1 / 2)
    K3, L3 = stage(h, x0 + h / 2, a + K2 / 2, b + L2 / 2)
    K4, L4 = stage(h, x0 + h, a + K3, b + L3)
    return (a + (((K1 + 2 * K2) + 2 * K3) + K4) / 6,
            b + (((L1 + 2 * L2) + 2 * L3) + L4) / 6)


def rkf(x0, a, b, h):
    K1, L1 = stage(h, x0, a, b)
    K2, L2 = stage(h, x0 + h / 4, a + K1 / 4, b + L1 / 4)
    K3, L3 = stage(h, x0 + (3 * h) / 8,
                   (a + (3 * K1) / 32) + (9 * K2) / 32,
                   (b + (3 * L1) / 32) + (9 * L2) / 32)
    K4, L4 = stage(h, x0 + (12 * h) / 13,
                   ((a + (1932 * K1) / 2197) - (7200 * K2) / 2197) + (7296 * K3) / 2197,
                   ((b + (1932 * L1) / 2197) - (7200 * L2) / 2197) + (7296 * L3) / 2197)
    K5, L5 = stage(h, x0 + h,
                   (((a + (439 * K1) / 216) - 8 * K2) + (3680 * K3) / 513) - (845 * K4) / 4104,
                   (((b + (439 * L1) / 216) - 8 * L2) + (3680 * L3) / 513) - (845 * L4) / 4104)
    K6, L6 = stage(h, x0 + h / 2,
                   ((((a - (8 * K1) / 27) + 2 * K2) - (3544 * K3) / 2565) + (1859 * K4) / 4104) - (11 * K5) / 40,
                   ((((b - (8 * L1) / 27) + 2 * L2) - (3544 * L3) / 2565) + (1859 * L4) / 4104) - (11 * L5) / 40)
    w1, w3, w4, w5, w6 = 16 / 135, 6656 / 12825, 28561 / 56430, 9 / 50, 2 / 55
    return (a + ((((w1 * K1 + w3 * K3) + w4 * K4) - w5 * K5) + w6 * K6),
            b + ((((w1 * L1 + w3 * L3) + w4 * L4) - w5 * L5) + w6 * L6))


def rkm(x0, a, b, h):
    K1, L1 = stage(h, x0, a, b)
    K2, L2 = stage(h, x0 + h / 3, a + K1 / 3, b + L1 / 3)
    K3, L3 = stage(h, x0 + h / 3, (a + K1 / 6) + K2 / 6, (b + L1 / 6) + L2 / 6)
    K4, L4 = stage(h, x0 + h / 2, (a + K1 / 8) + (3 * K3) / 8, (b + L1 / 8) + (3 * L3) / 8)
    K5, L5 = stage(h, x0 + h, ((a + K1 / 2) - (3 * K3) / 2) + 2 * K4,
                   ((b + L1 / 2) - (3 * L3) / 2) + 2 * L4)
    return a + ((K1 + 4 * K4) + K5) / 6, b + ((L1 + 4 * L4) + L5) / 6


def rk4g(x0, a, b, h):
    s = 1 / math.sqrt(2)
    w2 = 2 * (1 - s)
    w3 = 2 * (1 + s)
    K1, L1 = stage(h, x0, a, b)
    K2, L2 = stage(h, x0 + h / 2, a + K1 / 2, b + L1 / 2)
    K3, L3 = stage(h, x0 + h / 2, (a + (-0.5 + s) * K1) + (1 - s) * K2,
                   (b + (-0.5 + s) * L1) + (1 - s) * L2)
    K4, L4 = stage(h, x0 + h, (a - s * K2) + (1 + s) * K3, (b - s * L2) + (1 + s) * L3)
    return (a + (((K1 + w2 * K2) + w3 * K3) + K4) / 6,
            b + (((L1 + w2 * L2) + w3 * L3) + L4) / 6)


METHODS = [("Euler", euler), ("EulerEP", euler_ep), ("EulerMP", euler_mp), ("RK4", rk4),
           ("RKF", rkf), ("RKM", rkm), ("RK4G", rk4g)]

def pole(direction):
    """Where the solution from (0, 1, -1) grows without bound, ahead (direction 1)
    or behind (-1): a Taylor series of order 60 in 80-digit decimal arithmetic,
    stepped a quarter of its radius at a time until y2 exceeds 10^14. Near the
    pole y2 = 2/d + O(1) at the distance d, so x + 2/y2 is the pole to O(d^2)."""
    D = decimal.Decimal
    decimal.getcontext().prec = 80
    x, y1, y2 = D(0), D(1), D(-1)
    order = 60
    while True:
        a, b = [y1], [y2]
        for k in range(order):
            product = sum(a[j] * b[k - j] for j in range(k + 1))
            a.append((product + (x if k == 0 else 0) + (1 if k == 1 else 0)) / (k + 1))
            b.append((x * b[k] + (b[k - 1] if k >= 1 else 0) + a[k]) / (k + 1))
        radius = max(abs(a[order]), abs(b[order])) ** (D(-1) / order)
        h = radius / 4 * direction
        y1 = sum(c * h ** k for k, c in enumerate(a))
        y2 = sum(c * h ** k for k, c in enumerate(b))
        x += h
        if abs(2 / y2) < D("1e-14"):
            return x + 2 / y2


def bracket(point):
    """The adjacent doubles below and above a point that no double equals."""
    below = float(point)
    if decimal.Decimal(below) > point:
        below = math.nextafter(below, -math.inf)
    return below, math.nextafter(below, math.inf)


if __name__ == "__main__":
    for name, direction in (("ahead", 1), ("behind", -1)):
        p = pole(direction)
        below, above = bracket(p)
        print(f"pole {name}: {p:.30f} between {below.hex()} and {above.hex()}")
    for name, step in METHODS:
        one = step(0.0, 1.0, -1.0, 0.1)
        x, a, b = 0.0, 1.0, -1.0
        for _ in range(10):
            a, b = step(x, a, b, 0.1)
            x = x + 0.1
        print(f"{name:8} one: {one[0].hex()} {one[1].hex()}  ({one[0]!r}, {one[1]!r})")
        print(f"{name:8} ten: {a.hex()} {b.hex()}  ({a!r}, {b!r})  x={x.hex()}")
