#include "BezierSpline.h"

#include <cmath>

namespace {

// First control points of every segment along one coordinate: the tridiagonal
// system 2 c0 + c1 = k0 + 2 k1; c(i-1) + 4 ci + c(i+1) = 4 ki + 2 k(i+1);
// 2 c(n-2) + 7 c(n-1) = 8 k(n-1) + kn, by forward elimination and back substitution.
std::vector<double> FirstControls(const std::vector<double>& k) {
    const std::size_t n = k.size() - 1;
    std::vector<double> rhs(n), diag(n), c(n);
    for (std::size_t i = 0; i < n; ++i) rhs[i] = 4 * k[i] + 2 * k[i + 1];
    rhs[0] = k[0] + 2 * k[1];
    rhs[n - 1] = (8 * k[n - 1] + k[n]) / 2.0;

    double b = 2.0;
    c[0] = rhs[0] / b;
    for (std::size_t i = 1; i < n; ++i) {
        diag[i] = 1 / b;
        b = (i < n - 1 ? 4.0 : 3.5) - diag[i];
        c[i] = (rhs[i] - c[i - 1]) / b;
    }
    for (std::size_t i = 1; i < n; ++i) c[n - i - 1] -= diag[n - i] * c[n - i];
    return c;
}

int Round(double v) {
    return static_cast<int>(std::lround(v));
}

}  // namespace

std::vector<ChartPoint> SmoothBezierThrough(const std::vector<ChartPoint>& knots) {
    std::vector<ChartPoint> out;
    if (knots.size() < 2) return out;
    const std::size_t n = knots.size() - 1;
    out.reserve(3 * n + 1);
    out.push_back(knots[0]);
    if (n == 1) {
        // A straight segment: controls at the thirds.
        const ChartPoint a = knots[0], b = knots[1];
        out.push_back({Round((2.0 * a.x + b.x) / 3), Round((2.0 * a.y + b.y) / 3)});
        out.push_back({Round((a.x + 2.0 * b.x) / 3), Round((a.y + 2.0 * b.y) / 3)});
        out.push_back(b);
        return out;
    }
    std::vector<double> kx(n + 1), ky(n + 1);
    for (std::size_t i = 0; i <= n; ++i) {
        kx[i] = knots[i].x;
        ky[i] = knots[i].y;
    }
    const std::vector<double> c1x = FirstControls(kx), c1y = FirstControls(ky);
    for (std::size_t i = 0; i < n; ++i) {
        // The second control mirrors the next segment's first about the shared knot.
        const double c2x = i < n - 1 ? 2 * kx[i + 1] - c1x[i + 1] : (kx[n] + c1x[n - 1]) / 2;
        const double c2y = i < n - 1 ? 2 * ky[i + 1] - c1y[i + 1] : (ky[n] + c1y[n - 1]) / 2;
        out.push_back({Round(c1x[i]), Round(c1y[i])});
        out.push_back({Round(c2x), Round(c2y)});
        out.push_back(knots[i + 1]);
    }
    return out;
}
