// The convergence study: its reference against a second integrator, its runs
// against the window's calculation, the observed orders and the CSV export.
#include <gtest/gtest.h>

#include <boost/numeric/odeint.hpp>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/calculation.h"
#include "core/number_text.h"
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
    const Reference r = ReferenceSolution(x1);
    ASSERT_TRUE(r.valid()) << x1;
    const auto second = SecondIntegrator(x1);
    const long double scale = std::max(1.0L, std::fabs(r.y1));
    EXPECT_LT(std::fabs(r.y1 - second[0]) / scale, 1e-15L) << x1;
    EXPECT_LT(std::fabs(r.y2 - second[1]) / scale, 1e-15L) << x1;
    EXPECT_LT(r.error / static_cast<double>(scale), 1e-15) << x1;
  }
  // The solution grows without bound near x = 2.7306: no reference beyond it.
  EXPECT_FALSE(ReferenceSolution(3).valid());
}

class StudyTest : public ::testing::Test {
 protected:
  static Study Run(double x1, std::vector<double> steps) {
    StudyOptions options;
    options.x1 = x1;
    options.steps = std::move(steps);
    for (const MethodInfo& info : kMethods) options.methods.push_back(info.method);
    return RunStudy(options);
  }
};

TEST_F(StudyTest, ObservedOrdersMatchTheMethodsAndRunsMatchTheWindow) {
  const Study study = Run(1, {20, 40, 80});
  ASSERT_EQ(study.runs.size(), 21u);
  Calculation window{[] { return std::uint64_t{1} << 40; }};
  for (const StudyRun& run : study.runs) {
    SCOPED_TRACE(std::string(Info(run.method).result_name) + " N = " + std::to_string(run.N));
    // Bit for bit the window's last entry for the same x1 and N.
    window.Calculate({"0", "1", "-1", "1", RoundTripText(run.N)}, run.method, ".");
    const auto last = static_cast<std::int64_t>(run.N);
    EXPECT_EQ(run.y1, window.tables().y1(last));
    EXPECT_EQ(run.y2, window.tables().y2(last));
    ASSERT_EQ(run.status, StudyRun::Status::Measured);
    if (run.N == 20) {
      EXPECT_FALSE(run.order);
    } else {
      ASSERT_TRUE(run.order);
      EXPECT_NEAR(*run.order, Info(run.method).order, 0.15);
    }
  }
}

TEST_F(StudyTest, ErrorsAtRoundOffAreMarkedNotGivenAnOrder) {
  const Study study = Run(1, {320, 640, 10240});
  for (const StudyRun& run : study.runs) {
    if (run.method == Method::RKF || (run.N == 10240 && Info(run.method).order >= 4)) {
      EXPECT_EQ(run.status, StudyRun::Status::AtFloor) << Info(run.method).result_name << " " << run.N;
      EXPECT_FALSE(run.order);
    }
    if (Info(run.method).order <= 2) {
      EXPECT_EQ(run.status, StudyRun::Status::Measured);
    }
  }
  // The CSV leaves the order empty there, and gives every number exactly.
  const std::string csv = StudyReport(study, ReportFormat::Csv);
  EXPECT_EQ(csv.rfind("method,N,h,y1,y2,error,order\n", 0), 0u);
  EXPECT_NE(csv.find("Runge-Kutta-Fehlberg Method,640,0.0015625,"), std::string::npos);
  EXPECT_NE(csv.find("e-15,\n"), std::string::npos);
  // Beyond the singularity the runs still show their values, without errors.
  const Study beyond = Run(3, {10});
  for (const StudyRun& run : beyond.runs) EXPECT_NE(run.status, StudyRun::Status::Measured);
  EXPECT_NE(StudyReport(beyond, ReportFormat::Text).find("No reference"), std::string::npos);
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
  EXPECT_EQ(ReadStepCounts("1 000").counts, std::vector<double>{1000});
  EXPECT_EQ(ReadStepCounts("40, 20,20,80").counts, (std::vector<double>{20, 40, 80}));
  EXPECT_EQ(ReadStepCounts("10..80").counts, (std::vector<double>{10, 20, 40, 80}));
  for (const char* wrong : {"0", "abc", "1.5", "10,,20", "80..20", "3e9", "1e999"})
    EXPECT_NE(ReadStepCounts(wrong).error.find('"'), std::string::npos) << wrong;
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
