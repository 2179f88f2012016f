// The convergence study: its reference against a second integrator, its runs
// against the window's calculation, the observed orders and the CSV export.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/numeric/odeint.hpp>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/calculation.h"
#include "core/number_text.h"
#include "core/requests.h"
#include "core/solution_csv.h"
#include "core/study.h"
#include "core/study_report.h"

namespace kavrin {
namespace {

// Boost.Odeint's Runge-Kutta-Fehlberg 7(8) in long double, step size
// controlled. GCC 12 warns that the stepper's scratch space is copied before
// it is written, which Boost does by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
std::array<long double, 2> SecondIntegrator(long double x1) {
  using State = std::array<long double, 2>;
  State y{{1, -1}};
  auto system = [](const State& s, State& d, long double x) {
    d[0] = s[0] * s[1] + x;
    d[1] = x * s[1] + s[0];
  };
  namespace odeint = boost::numeric::odeint;
  using Checker = odeint::default_error_checker<long double, odeint::array_algebra, odeint::default_operations>;
  odeint::controlled_runge_kutta<odeint::runge_kutta_fehlberg78<State, long double>> stepper(Checker(1e-18L, 1e-18L));
  odeint::integrate_adaptive(stepper, system, y, 0.0L, x1, x1 / 100);
  return y;
}
#pragma GCC diagnostic pop

TEST(Reference, AgreesWithASecondIntegratorAndStopsAtTheSingularity) {
  for (const double x1 : {1.0, 2.0, -1.0, 2.7}) {
    const Reference r = BuiltInReference(x1);
    ASSERT_TRUE(r.valid()) << x1;
    const auto second = SecondIntegrator(x1);
    const long double scale = std::max(1.0L, std::fabs(r.y1));
    EXPECT_LT(std::fabs(r.y1 - second[0]) / scale, 1e-15L) << x1;
    EXPECT_LT(std::fabs(r.y2 - second[1]) / scale, 1e-15L) << x1;
    EXPECT_LT(r.error_bound / static_cast<double>(scale), 1e-15) << x1;
  }
  // The solution grows without bound near x = 2.7306: no reference beyond it.
  EXPECT_FALSE(BuiltInReference(3).valid());
}

// Near the pole the reference's error bound still bounds its error, as a
// reference of higher order and smaller steps tells.
TEST(Reference, ItsErrorBoundHoldsNearThePole) {
  for (const double x1 : {2.7, 2.73, 2.73059}) {
    const Reference r = BuiltInReference(x1);
    const Reference better = BuiltInReference(x1, {60, 1e-34L, 40, 1e-30L});
    ASSERT_TRUE(r.valid() && better.valid()) << x1;
    const double off = static_cast<double>(std::max(std::fabs(r.y1 - better.y1), std::fabs(r.y2 - better.y2)));
    EXPECT_LE(off, r.error_bound) << x1;
    EXPECT_LT(better.error_bound, r.error_bound) << x1;
  }
}

class StudyTest : public ::testing::Test {
 protected:
  static Study Run(double x1, std::vector<double> steps, std::vector<Method> methods = {}) {
    StudyRequest request;
    request.x1 = x1;
    request.steps = std::move(steps);
    request.methods = std::move(methods);
    if (request.methods.empty())
      for (const MethodInfo& info : kMethods) request.methods.push_back(info.method);
    return RunStudy(request);
  }
  static const StudyRun& Row(const Study& study, Method method, double N) {
    return *std::find_if(study.runs.begin(), study.runs.end(),
                         [&](const StudyRun& r) { return r.method == method && r.N == N; });
  }
};

TEST_F(StudyTest, ObservedOrdersMatchTheMethodsAndRunsMatchTheWindow) {
  const Study study = Run(1, {20, 40, 80});
  ASSERT_EQ(study.runs.size(), 3 * kMethodCount);
  Calculation window{[] { return std::uint64_t{1} << 40; }};
  for (const StudyRun& run : study.runs) {
    SCOPED_TRACE(std::string(Info(run.method).result_name) + " N = " + std::to_string(run.N));
    // Bit for bit the window's last entry for the same x1 and N.
    window.Calculate(PressTexts(*BuiltInProblem(), "1", RoundTripText(run.N)), run.method, ".");
    const auto last = static_cast<std::int64_t>(run.N);
    EXPECT_EQ(run.y1, window.tables().y1(last));
    EXPECT_EQ(run.y2, window.tables().y2(last));
    ASSERT_EQ(run.mark, run.N == 20 ? Mark::First : Mark::Ok);
    if (run.N > 20) {
      ASSERT_TRUE(run.order);
      EXPECT_NEAR(*run.order, Info(run.method).order, 0.15);
    }
  }
}

// The split into truncation and rounding, on runs whose parts are known:
// RK4 to x1 = 0.7 leaves a truncation far above its rounding at N = 640, and
// at N = 10^6 rounding far above truncation (which falls as N^-4).
TEST_F(StudyTest, TruncationAndRoundingAreMeasuredApart) {
  const Study study = Run(0.7, {640, 1000000}, {Method::RK4});
  const StudyRun& coarse = Row(study, Method::RK4, 640);
  const StudyRun& fine = Row(study, Method::RK4, 1000000);
  EXPECT_EQ(coarse.mark, Mark::First);
  EXPECT_GT(coarse.truncation, 10 * coarse.rounding);
  EXPECT_NEAR(coarse.error, coarse.truncation, coarse.rounding * 2);
  EXPECT_EQ(fine.mark, Mark::RoundOff);
  EXPECT_GT(fine.rounding, 10 * fine.truncation);
  EXPECT_FALSE(fine.order);
}

// Euler at x1 = 2.5 is far from its asymptotic range at small N; the order
// fitted over its last rows is its true one.
TEST_F(StudyTest, TheFittedOrderComesFromTheLastRows) {
  const Study study = Run(2.5, {10, 20, 40, 80, 160, 320, 640, 1280, 2560, 5120, 10240}, {Method::Euler});
  const std::optional<double> order = FittedOrder(study, Method::Euler);
  ASSERT_TRUE(order);
  EXPECT_NEAR(*order, 1, 0.05);
  EXPECT_NE(StudyReport(study, ReportFormat::Text).find("Euler Method: order "), std::string::npos);
}

TEST_F(StudyTest, TheCsvCarriesEveryPartEveryMarkAndTheReference) {
  const Study study = Run(1, {10, 20, 1000000}, {Method::Euler, Method::RKF});
  const std::string csv = StudyReport(study, ReportFormat::Csv);
  EXPECT_EQ(csv.rfind("method,N,h,y1,y2,error,truncation,rounding,order,mark,evaluations\nreference,,,0.918", 0), 0u)
      << csv.substr(0, 200);
  EXPECT_NE(csv.find("\nEuler Method,10,0.1,"), std::string::npos);
  EXPECT_NE(csv.find(",first,10\n"), std::string::npos);           // Euler, N = 10
  EXPECT_NE(csv.find(",ok,20\n"), std::string::npos);              // Euler, N = 20
  EXPECT_NE(csv.find(",round-off,6000000\n"), std::string::npos);  // RKF, N = 10^6
  std::istringstream rows(csv);
  std::string row;
  while (std::getline(rows, row)) EXPECT_EQ(std::count(row.begin(), row.end(), ','), 10) << row;
  // Past the pole: no reference, the values still there; a run that
  // overflows is marked so.
  const Study beyond = Run(1000, {10}, {Method::RK4});
  EXPECT_NE(StudyReport(beyond, ReportFormat::Csv).find(",overflow,40\n"), std::string::npos);
  EXPECT_NE(StudyReport(beyond, ReportFormat::Text).find("No reference"), std::string::npos);
  const Study past = Run(3, {10}, {Method::RK4});
  EXPECT_NE(StudyReport(past, ReportFormat::Csv).find(",no-reference,40\n"), std::string::npos);
}

// The text report fits a terminal of 100 columns.
TEST_F(StudyTest, TheTextFitsAHundredColumns) {
  const Study study = Run(1, {10, 2560, 1000000}, {Method::EulerEP, Method::RKF});
  std::istringstream text(StudyReport(study, ReportFormat::Text));
  std::string line;
  while (std::getline(text, line)) EXPECT_LE(line.size(), 100u) << line;
}

// Near the start nothing grows: the reference is the start itself.
TEST_F(StudyTest, ATinyTargetPointHasAReference) {
  const Study study = Run(1e-300, {10, 20});
  ASSERT_TRUE(study.reference.valid());
  EXPECT_EQ(study.reference.y1, 1.0L);
  EXPECT_EQ(study.reference.y2, -1.0L);
  EXPECT_EQ(StudyReport(study, ReportFormat::Text).find("without bound"), std::string::npos);
}

// Under a locale whose decimal separator is a comma (generated for the test
// where the system has none), every report is the same as under "C".
TEST_F(StudyTest, ReportsUseADotWhateverTheLocale) {
  const Study study = Run(1, {10, 20, 40});
  std::vector<std::string> plain;
  for (const ReportFormat format : {ReportFormat::Text, ReportFormat::Csv, ReportFormat::Markdown})
    plain.push_back(StudyReport(study, format));
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    const std::string folder = ::testing::TempDir() + "kavrin-locales";
    const std::string command =
        "mkdir -p " + folder + " && localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 > /dev/null 2>&1";
    if (std::system(command.c_str()) == 0) setenv("LOCPATH", folder.c_str(), 1);
  }
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale to be had";
  char probe[8];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  std::vector<std::string> comma;
  for (const ReportFormat format : {ReportFormat::Text, ReportFormat::Csv, ReportFormat::Markdown})
    comma.push_back(StudyReport(study, format));
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(std::string(probe), "1,5");  // the locale is in force
  EXPECT_EQ(comma, plain);
}

TEST(StepCounts, ReadAsTheWindowReadsN) {
  EXPECT_EQ(ReadStepList("1 000").value(), std::vector<double>{1000});
  EXPECT_EQ(ReadStepList("40, 20,20,80").value(), (std::vector<double>{20, 40, 80}));
  EXPECT_EQ(ReadStepList("10..80").value(), (std::vector<double>{10, 20, 40, 80}));
  // Each wrong list is refused with what is wrong, naming the field.
  const std::pair<const char*, const char*> wrong[] = {
      {"0", "\"0\" is less than 1: a study takes 1 step or more."},
      {"abc", "\"abc\" reads as 0 and is less than 1: a study takes 1 step or more."},
      {"1.5", "\"1.5\" is not a whole number of steps."},
      {"10,,20", "\"\" reads as 0 and is less than 1: a study takes 1 step or more."},
      {"80..20", "the range \"80..20\" runs backwards."},
      {"3e9", "\"3e9\" is too large: a study takes at most 2147483646 steps."},
      {"1e999", "\"1e999\" is too large: a study takes at most 2147483646 steps."},
  };
  std::string many;
  for (int n = 1; n <= 101; ++n) many += (n > 1 ? "," : "") + std::to_string(n);
  EXPECT_EQ(ReadStepList(many).failure().text,
            "\"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,1...\" asks for 101 step counts; a study takes 100 at most.");
  for (const auto& [text, report] : wrong) {
    const Outcome<std::vector<double>> read = ReadStepList(text);
    ASSERT_FALSE(read.ok()) << text;
    EXPECT_EQ(read.failure().where.field, Field::Steps) << text;
    EXPECT_EQ(read.failure().text, report) << text;
  }
}

TEST(SolutionCsv, ReadsBackBitForBit) {
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  calc.Calculate({"0", "1", "-1", "2", "1000"}, Method::RKF, ".");
  const SolutionTables& t = calc.tables();
  std::string csv = kCsvHeader;
  AppendCsvRows(t, 0, 400, csv);
  AppendCsvRows(t, 400, t.filled(), csv);
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "i,x,y1,y2");
  std::int64_t rows = 0;
  while (std::getline(in, line)) {
    char* at = line.data();
    const long i = std::strtol(at, &at, 10);
    ASSERT_EQ(i, rows);
    for (const double expected : {t.x(i), t.y1(i), t.y2(i)}) {
      ASSERT_EQ(*at, ',');
      const double read = std::strtod(at + 1, &at);
      ASSERT_EQ(read, expected) << line;
    }
    ASSERT_EQ(*at, '\0');
    ++rows;
  }
  EXPECT_EQ(rows, 1001);  // N + 1 entries after a whole N
}

}  // namespace
}  // namespace kavrin
