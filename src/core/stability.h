#pragma once

#include <atomic>
#include <complex>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/comparison.h"
#include "core/failure.h"
#include "core/study_report.h"
#include "ode/method_table.h"
#include "ode/tableau.h"

namespace kavrin {

// The eigenvalues of the system's Jacobian at a point of the reference path:
// lambda1 the one with the larger real part (or the positive imaginary part).
struct EigenPoint {
  double x = 0;
  std::complex<double> lambda1;
  std::complex<double> lambda2;
};

// The eigenvalues of [[a, b], [c, d]].
std::pair<std::complex<double>, std::complex<double>> Eigenvalues(double a, double b, double c, double d);

// One method against the path: its stability polynomial and intervals, the
// first x where h·lambda (for the eigenvalues whose real part is not
// positive) lies outside its region, and the smallest N that keeps every
// such h·lambda inside along the whole path (0 when none does).
struct MethodStability {
  Method method = Method::Euler;
  StabilityFunction function;
  StabilityIntervals intervals;
  std::optional<double> leaves_at;
  double smallest_N = 0;
};

struct StabilityStudy {
  std::shared_ptr<const Problem> problem = BuiltInProblem();
  double x1 = 0;
  double N = 0;
  double h = 0;
  std::vector<EigenPoint> path;  // at kStabilityPoints + 1 points evenly apart
  std::string path_end;          // where the reference stopped short of x1, or empty
  std::vector<MethodStability> methods;
};

// The intervals the path is sampled at.
inline constexpr std::size_t kStabilityPoints = 4000;

// Whether z lies in the region |R(z)| <= 1 of a stability polynomial.
bool InRegion(const StabilityFunction& function, std::complex<double> z);

// The eigenvalues along the reference from x0 to x1 and each method against
// them, for the methods, x1 and N of `request`.
// A set `cancel` ends the reference where it is (the path then ends there).
Outcome<StabilityStudy> RunStability(const ComparisonRequest& request, const std::atomic<bool>* cancel = nullptr);

// A method's intervals in ten digits: "-2.785293563 to 0, ±2.828427125"
// ("-∞ to 0", "±∞" for an A-stable method; "only 0" where none).
std::string IntervalsText(const MethodStability& method);

// Where h·λ leaves a method's region and the N that keeps it inside: "out at
// x = 2.68; N ≥ 19", or "holds h·λ".
std::string PathText(const MethodStability& method);

// The report: the eigenvalues at the ends, then a row per method with its
// intervals, where h·lambda leaves its region and the smallest N.
std::string StabilityReport(const StabilityStudy& study, ReportFormat format);

// The eigenvalues along the path as CSV: x,lambda1_re,lambda1_im,lambda2_re,lambda2_im.
std::string EigenvalueCsv(const StabilityStudy& study);

}  // namespace kavrin
