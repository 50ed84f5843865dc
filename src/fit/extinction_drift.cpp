#include "fit/extinction_drift.h"

#include <array>
#include <vector>

namespace orvel {

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

// The inverse of a symmetric 3 x 3 matrix by cofactors; empty-handed (false) when singular.
bool invert(const Matrix& m, Matrix& inverse) {
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    // Relative to the diagonal's product: a near-zero determinant means collinear terms.
    if (!(std::fabs(det) > 1e-12 * std::fabs(m[0][0] * m[1][1] * m[2][2]))) return false;
    inverse[0] = {c00 / det, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det,
                  (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det};
    inverse[1] = {c01 / det, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
                  (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det};
    inverse[2] = {c02 / det, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det,
                  (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det};
    return true;
}

struct Term {
    std::array<double, 3> row;  // 1, X, (t - tm) X
    double y = 0.0, weight = 1.0;
};

// The design rows of the points that have a time, with their mean time taken out.
std::vector<Term> termsOf(std::span<const FitPoint> points, bool weighted) {
    std::vector<Term> terms;
    double weight = 0.0, time = 0.0;
    for (const FitPoint& p : points) {
        if (!std::isfinite(p.hours)) continue;
        const double w = weighted ? 1.0 / (p.error * p.error) : 1.0;
        weight += w;
        time += w * p.hours;
        terms.push_back({{1.0, p.airmass, p.hours}, p.magnitude, w});
    }
    // Centring the time keeps k the coefficient at the night's mean moment.
    for (Term& t : terms) t.row[2] = (t.row[2] - time / weight) * t.row[1];
    return terms;
}

}  // namespace

ExtinctionDrift fitExtinctionDrift(std::span<const FitPoint> points, bool weighted) {
    ExtinctionDrift d;
    const std::vector<Term> terms = termsOf(points, weighted);
    d.points = static_cast<int>(terms.size());
    if (terms.size() < 5) return d;
    // Normal equations of the weighted least squares.
    Matrix normal{};
    std::array<double, 3> right{};
    for (const Term& t : terms)
        for (std::size_t i = 0; i < 3; ++i) {
            right[i] += t.weight * t.row[i] * t.y;
            for (std::size_t j = 0; j < 3; ++j) normal[i][j] += t.weight * t.row[i] * t.row[j];
        }
    Matrix inverse{};
    if (!invert(normal, inverse)) return d;
    std::array<double, 3> c{};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) c[i] += inverse[i][j] * right[j];
    // The scatter about the surface sets the errors: three terms were fitted.
    double squares = 0.0;
    for (const Term& t : terms) {
        const double r = t.y - (c[0] + c[1] * t.row[1] + c[2] * t.row[2]);
        squares += t.weight * r * r;
    }
    const double variance = squares / static_cast<double>(terms.size() - 3);
    // Y falls by k X, so the extinction's rate is the negative of the last term's.
    d.perHour = -c[2];
    d.error = std::sqrt(variance * inverse[2][2]);
    return d;
}

}  // namespace orvel
