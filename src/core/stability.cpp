#include "core/stability.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/number_text.h"
#include "core/reference.h"
#include "core/text.h"

namespace kavrin {
namespace {

// Rounding in R's evaluation: a point on the boundary counts as inside.
constexpr double kRegionSlack = 1e-12;
// An exit nearer the origin than this along a ray: the region holds no
// h·lambda in that direction.
constexpr double kNoExit = 1e-6;

// The Jacobian of the problem's system at a point, row by row.
bool Jacobian(const Problem& problem, double x, double y1, double y2, std::array<double, 4>& j) {
  if (problem.built_in()) {
    // y1' = y1 y2 + x, y2' = x y2 + y1.
    j = {y2, y1, 1, x};
    return true;
  }
  j = problem.own->system.Jacobian(x, y1, y2);
  return std::all_of(j.begin(), j.end(), [](double v) { return std::isfinite(v); });
}

// The first r in (0, limit] along the unit direction u where the region
// ends, to about 1e-15 of limit; +inf when it holds the whole segment.
double FirstExit(const StabilityFunction& polynomial, std::complex<double> u, double limit) {
  constexpr int kScan = 64;
  double inside = 0;
  for (int k = 1; k <= kScan; ++k) {
    const double r = limit * k / kScan;
    if (InRegion(polynomial, r * u)) {
      inside = r;
      continue;
    }
    double outside = r;
    for (int i = 0; i < 60 && outside - inside > 1e-15 * limit; ++i) {
      const double middle = inside + (outside - inside) / 2;
      (InRegion(polynomial, middle * u) ? inside : outside) = middle;
    }
    return inside;
  }
  return HUGE_VAL;
}

bool Held(const std::complex<double>& lambda) { return lambda.real() <= 0 && lambda != 0.0; }

MethodStability AgainstPath(Method method, const StabilityStudy& study) {
  MethodStability m;
  m.method = method;
  m.function = StabilityOf(ButcherTableau(method));
  m.intervals = AxisIntervals(m.function);
  // Beyond every explicit region of this degree; an implicit method's far out.
  const double degree = static_cast<double>(m.function.numerator.size() - 1);
  const double reach = m.function.polynomial() ? 2 * degree * degree + 4 : 1e12;
  double h_max = HUGE_VAL;
  for (const EigenPoint& p : study.path) {
    for (const std::complex<double>& lambda : {p.lambda1, p.lambda2}) {
      if (!Held(lambda)) continue;
      if (!m.leaves_at && !InRegion(m.function, study.h * lambda)) m.leaves_at = p.x;
      const double size = std::abs(lambda);
      // On the imaginary axis the region's interval there holds; along it an
      // exit found in R's rounding would only be |R| touching 1.
      const double exit = std::fabs(lambda.real()) <= 1e-12 * size
                              ? (m.intervals.imaginary > 0 ? m.intervals.imaginary : 0)
                              : FirstExit(m.function, lambda / size, std::min(reach, h_max * size));
      if (exit < HUGE_VAL) h_max = std::min(h_max, exit < kNoExit ? 0 : exit / size);
    }
  }
  const double length = std::fabs(study.x1 - study.problem->start.x);
  if (h_max == HUGE_VAL) {
    m.smallest_N = 1;
  } else if (h_max > 0) {
    m.smallest_N = std::max(1.0, std::ceil(length / h_max));
  }
  return m;
}

std::string Lambda(const std::complex<double>& l) {
  if (l.imag() == 0) return SignificantText(l.real(), 6);
  if (l.real() == 0) return SignificantText(l.imag(), 6) + "i";
  return SignificantText(l.real(), 6) + (l.imag() < 0 ? " - " : " + ") + SignificantText(std::fabs(l.imag()), 6) + "i";
}

std::string RealInterval(const MethodStability& m) {
  if (m.intervals.real == HUGE_VAL) return "-∞ to 0";
  return m.intervals.real > 0 ? SignificantText(-m.intervals.real, 10) + " to 0" : "only 0";
}
std::string ImaginaryInterval(const MethodStability& m) {
  if (m.intervals.imaginary == HUGE_VAL) return "±∞";
  return m.intervals.imaginary > 0 ? "±" + SignificantText(m.intervals.imaginary, 10) : "only 0";
}
std::string Leaves(const MethodStability& m) {
  return m.leaves_at ? "at x = " + SignificantText(*m.leaves_at, 6) : "never";
}
std::string Smallest(const MethodStability& m) { return m.smallest_N > 0 ? WholeText(m.smallest_N) : "none"; }

std::vector<std::string> Header(const StabilityStudy& s) {
  std::vector<std::string> lines;
  lines.push_back("Stability along the reference, x from " + RoundTripText(s.problem->start.x) + " to " +
                  RoundTripText(s.x1) + ", N = " + WholeText(s.N) + " (h = " + RoundTripText(s.h) + ")");
  if (!s.path.empty()) {
    const EigenPoint& first = s.path.front();
    const EigenPoint& last = s.path.back();
    lines.push_back("Eigenvalues of the Jacobian" + std::string(s.problem->built_in() ? " [[y2, y1], [1, x]]" : "") +
                    ": " + Lambda(first.lambda1) + " and " + Lambda(first.lambda2) +
                    " at x = " + RoundTripText(first.x) + "; " + Lambda(last.lambda1) + " and " + Lambda(last.lambda2) +
                    " at x = " + SignificantText(last.x, 10) + ".");
  }
  if (!s.path_end.empty()) lines.push_back(s.path_end);
  lines.push_back(
      "h·λ is held against each region where Re λ ≤ 0; where Re λ > 0 the solution itself grows, and no "
      "region need hold it.");
  return lines;
}

}  // namespace

std::string IntervalsText(const MethodStability& m) { return RealInterval(m) + ", " + ImaginaryInterval(m); }

std::string PathText(const MethodStability& m) {
  if (!m.leaves_at) return "holds h·λ";
  return "out at x = " + SignificantText(*m.leaves_at, 4) +
         (m.smallest_N > 0 ? "; N ≥ " + WholeText(m.smallest_N) : "; no N holds it");
}

std::pair<std::complex<double>, std::complex<double>> Eigenvalues(double a, double b, double c, double d) {
  const double half_trace = (a + d) / 2;
  const double half_gap = (a - d) / 2;
  const double disc = half_gap * half_gap + b * c;
  if (disc >= 0) {
    const double root = std::sqrt(disc);
    return {{half_trace + root, 0}, {half_trace - root, 0}};
  }
  const double root = std::sqrt(-disc);
  return {{half_trace, root}, {half_trace, -root}};
}

bool InRegion(const StabilityFunction& function, std::complex<double> z) {
  return std::norm(Stability(function, z)) <= 1 + kRegionSlack;
}

Outcome<StabilityStudy> RunStability(const ComparisonRequest& request, const std::atomic<bool>* cancel) {
  StabilityStudy s;
  s.problem = request.problem ? request.problem : BuiltInProblem();
  s.x1 = request.x1;
  s.N = request.N;
  const double x0 = s.problem->start.x;
  s.h = (s.x1 - x0) / s.N;
  // A fine grid whatever N is: where h·λ leaves a region and the smallest N
  // are properties of the path, not of the steps.
  const auto count = kStabilityPoints;
  const double h = (s.x1 - x0) / static_cast<double>(count);
  ReferenceLimits limits;
  limits.cancel = cancel;
  const ReferencePath path = s.problem->built_in() ? BuiltInReferencePath(h, count + 1, limits)
                                                   : TypedReferencePath(*s.problem->own, h, count + 1, limits);
  for (std::size_t i = 0; i < path.y1.size(); ++i) {
    const double x = i == count ? s.x1 : x0 + static_cast<double>(i) * h;
    std::array<double, 4> j{};
    if (!std::isfinite(path.y1[i]) || !std::isfinite(path.y2[i])) break;  // where the reference stopped
    if (!Jacobian(*s.problem, x, path.y1[i], path.y2[i], j)) {
      s.path_end = "The Jacobian is not defined at x = " + SignificantText(x, 10) + ": the path ends there.";
      break;
    }
    const auto [l1, l2] = Eigenvalues(j[0], j[1], j[2], j[3]);
    if (!std::isfinite(l1.real()) || !std::isfinite(l2.real())) break;
    s.path.push_back({x, l1, l2});
  }
  if (s.path_end.empty() && !path.complete()) {
    s.path_end = "The reference reached only x ≈ " + SignificantText(path.reached, 10) +
                 (s.problem->SingularityBefore(s.x1) ? ", before the solution's singularity" : "") +
                 ": the eigenvalues go that far.";
  }
  for (const Method method : request.methods) s.methods.push_back(AgainstPath(method, s));
  return s;
}

std::string StabilityReport(const StabilityStudy& s, ReportFormat format) {
  const std::vector<std::string> head{"method", "negative real axis", "imaginary axis", "h·λ leaves its region",
                                      "smallest N"};
  std::vector<std::vector<std::string>> rows;
  for (const MethodStability& m : s.methods)
    rows.push_back({std::string(Info(m.method).id), RealInterval(m), ImaginaryInterval(m), Leaves(m), Smallest(m)});
  std::string out;
  if (format == ReportFormat::Csv) {
    out = "method,real_interval,imaginary_interval,leaves_at_x,smallest_n\n";
    for (const MethodStability& m : s.methods) {
      out += std::string(Info(m.method).id) + "," + RoundTripText(-m.intervals.real) + "," +
             RoundTripText(m.intervals.imaginary) + "," + (m.leaves_at ? RoundTripText(*m.leaves_at) : "") + "," +
             (m.smallest_N > 0 ? WholeText(m.smallest_N) : "") + "\n";
    }
    return out;
  }
  for (const std::string& line : Header(s)) out += line + "\n";
  out += "\n";
  if (format == ReportFormat::Markdown) {
    auto row = [](const std::vector<std::string>& cells) {
      std::string line = "|";
      for (const std::string& cell : cells) line += " " + cell + " |";
      return line + "\n";
    };
    out += row(head) + "|---|---|---|---|---:|\n";
    for (const auto& cells : rows) out += row(cells);
    return out;
  }
  std::vector<std::size_t> widths(head.size());
  for (std::size_t c = 0; c < head.size(); ++c) {
    widths[c] = CodePoints(head[c]);
    for (const auto& cells : rows) widths[c] = std::max(widths[c], CodePoints(cells[c]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t c = 0; c < cells.size(); ++c)
      text += (c == 0 ? "" : "   ") + Padded(cells[c], widths[c], c + 1 < cells.size());
    return text + "\n";
  };
  out += line(head);
  for (const auto& cells : rows) out += line(cells);
  return out;
}

std::string EigenvalueCsv(const StabilityStudy& s) {
  std::string out = "x,lambda1_re,lambda1_im,lambda2_re,lambda2_im\n";
  for (const EigenPoint& p : s.path) {
    out += RoundTripText(p.x) + "," + RoundTripText(p.lambda1.real()) + "," + RoundTripText(p.lambda1.imag()) + "," +
           RoundTripText(p.lambda2.real()) + "," + RoundTripText(p.lambda2.imag()) + "\n";
  }
  return out;
}

}  // namespace kavrin
