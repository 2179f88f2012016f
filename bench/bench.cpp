// Kavrin's speed against its peers, in one table.
//
// Every march stores x, y1 and y2 of every step into three tables, as the
// program does. Tables are allocated and touched before timing, so the
// numbers compare the marches themselves; the whole press then shows the
// program as a user meets it. Medians of several repetitions.
#include <benchmark/benchmark.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_odeiv2.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "core/adaptive_run.h"
#include "core/calculation.h"
#include "core/equation.h"
#include "core/methods.h"
#include "core/reference.h"
#include "core/stability.h"
#include "core/study.h"
#include "ode/march.h"
#include "ode/method_table.h"
#include "peers.h"
#include "plot/graphic.h"
#include "plot/stability_chart.h"
#include "ui/main_window.h"
#include "ui/picture_box.h"
#include "ui/study_window.h"

namespace {

constexpr double kX1 = 1.0;
constexpr std::int64_t kMillion = 1'000'000;
constexpr std::int64_t kTenMillion = 10'000'000;
constexpr int kRepetitions = 5;
// The size of the RK4 CSV at N = 10^7 from x = 0 to 1, as the command writes it.
constexpr std::int64_t kCsvBytes = 659'494'304;
// The study to N = 10^7 on all cores took this long, by this bench at commit
// 8d7150f on the machine of the README's table (2 cores of an Intel Xeon),
// before each run was marched a second time in a wider type to measure its
// rounding; the goal is at most four times as long.
constexpr double kStudyBeforeWideRunsMs = 731.7;

// One calculation state per step count, warmed up so that its tables exist.
kavrin::Calculation& WarmCalculation(std::int64_t steps) {
  static std::map<std::int64_t, std::unique_ptr<kavrin::Calculation>> states;
  auto& state = states[steps];
  if (!state) {
    state = std::make_unique<kavrin::Calculation>();
    state->Calculate(kavrin::PressTexts(*kavrin::BuiltInProblem(), "1", std::to_string(steps)), kavrin::Method::RK4,
                     ".");
  }
  return *state;
}

// Peer tables, allocated and touched once per step count.
peers::Tables& WarmTables(std::int64_t steps) {
  static std::map<std::int64_t, std::unique_ptr<peers::Tables>> tables;
  auto& t = tables[steps];
  if (!t) {
    t = std::make_unique<peers::Tables>(static_cast<std::size_t>(steps));
    for (std::int64_t i = 0; i <= steps; ++i) t->x[i] = t->y1[i] = t->y2[i] = 0;
  }
  return *t;
}

void SetSteps(benchmark::State& state, std::int64_t steps) { state.counters["steps"] = static_cast<double>(steps); }

void KavrinMarch(benchmark::State& state, kavrin::Method method) {
  const std::int64_t steps = state.range(0);
  kavrin::Calculation& calc = WarmCalculation(steps);
  // The tables fit and are reused: reading the texts and forming the line
  // cost nothing beside a million steps.
  const kavrin::InputTexts texts = kavrin::PressTexts(*kavrin::BuiltInProblem(), "1", std::to_string(steps));
  for (auto _ : state) {
    calc.Calculate(texts, method, ".");
    benchmark::DoNotOptimize(calc.tables().y1_data());
  }
  SetSteps(state, steps);
}

// The built-in system typed as text, compiled into a program.
const kavrin::TypedSystem& TypedBuiltIn() {
  static const auto own = kavrin::ReadSystem(kavrin::BuiltInSystemTexts()).value();
  return own->system;
}

// The same step in the plainest loop, without the overflow check, for the
// driver's overhead; over the compiled system or the typed one.
template <typename Method, bool kTyped = false>
void BareLoop(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  peers::Tables& t = WarmTables(steps);
  for (auto _ : state) {
    const double h = kX1 / static_cast<double>(steps);
    kavrin::State<double> s = kavrin::BuiltInSystem::kStart;
    peers::Start(t);
    for (std::int64_t i = 1; i <= steps; ++i) {
      if constexpr (kTyped) {
        s = Method::Step(TypedBuiltIn(), s, h);
      } else {
        s = Method::Step(kavrin::BuiltInSystem{}, s, h);
      }
      t.x[i] = s.x;
      t.y1[i] = s.y1;
      t.y2[i] = s.y2;
    }
    benchmark::ClobberMemory();
  }
  SetSteps(state, steps);
}

template <void (*March)(peers::Tables&, std::size_t, double)>
void Peer(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  peers::Tables& t = WarmTables(steps);
  for (auto _ : state) {
    March(t, static_cast<std::size_t>(steps), kX1 / static_cast<double>(steps));
    benchmark::ClobberMemory();
  }
  SetSteps(state, steps);
}

void GslRk4(peers::Tables& t, std::size_t n, double h) { peers::Gsl(gsl_odeiv2_step_rk4, t, n, h); }
void GslRkf45(peers::Tables& t, std::size_t n, double h) { peers::Gsl(gsl_odeiv2_step_rkf45, t, n, h); }

void Plot(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  kavrin::Calculation& calc = WarmCalculation(steps);
  kavrin::PictureBox picture;
  picture.resize(321, 249);
  picture.show();
  for (auto _ : state) {
    kavrin::Graphic(calc.N(), calc.tables(), kX1, picture);
    benchmark::ClobberMemory();
  }
  state.counters["steps"] = static_cast<double>(2 * steps);  // segments
}

kavrin::MainWindow* PreparedWindow(std::int64_t steps) {
  auto* window = new kavrin::MainWindow;
  window->set_error_reporter([](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
  window->show();
  window->findChild<QRadioButton*>("Option_RK4")->setChecked(true);
  window->findChild<QLineEdit*>("Text_x1")->setText(QString::number(kX1));
  window->findChild<QLineEdit*>("Text_N")->setText(QString::number(steps));
  return window;
}

void WholePress(benchmark::State& state) {
  const std::int64_t steps = state.range(0);
  std::unique_ptr<kavrin::MainWindow> window(PreparedWindow(steps));
  auto* button = window->findChild<QPushButton*>("Command1");
  for (auto _ : state) button->click();
  SetSteps(state, steps);
}

// The peak resident memory of a process that makes one press, in bytes.
int PeakMemoryOfOnePress(std::int64_t steps) {
  std::unique_ptr<kavrin::MainWindow> window(PreparedWindow(steps));
  window->findChild<QPushButton*>("Command1")->click();
  QApplication::processEvents();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld\n", usage.ru_maxrss * 1024L);
  return 0;
}

// Collects the medians instead of printing every run.
class Collector : public benchmark::BenchmarkReporter {
 public:
  struct Result {
    double ns_per_iteration;
    double steps;
  };
  std::map<std::string, Result> medians;

  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred)
        std::fprintf(stderr, "%s failed: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      const auto steps = run.counters.find("steps");
      medians[run.run_name.function_name + "/" + run.run_name.args] = {
          run.GetAdjustedRealTime(), steps == run.counters.end() ? 1.0 : static_cast<double>(steps->second)};
    }
  }
  // Nanoseconds per step (or per segment).
  double PerStep(const std::string& name) const {
    const auto it = medians.find(name);
    if (it == medians.end()) return NAN;
    return it->second.ns_per_iteration / it->second.steps;
  }
  double Total(const std::string& name) const {
    const auto it = medians.find(name);
    return it == medians.end() ? NAN : it->second.ns_per_iteration;
  }
};

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown CPU";
}

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

// The seven explicit methods of the window, which the tables below compare.
std::span<const kavrin::MethodInfo> Seven() { return {kavrin::kMethods.data(), kavrin::kWindowMethodCount}; }

// The convergence study up to N = 10^7 (doubling from 10), all seven methods.
kavrin::StudyRequest BigStudy(unsigned threads) {
  kavrin::StudyRequest options;
  options.x1 = 1;
  for (double n = 10; n <= 1e7; n *= 2) options.steps.push_back(n);
  for (const kavrin::MethodInfo& info : Seven()) options.methods.push_back(info.method);
  options.threads = threads;
  return options;
}

void Study(benchmark::State& state) {
  const kavrin::StudyRequest options = BigStudy(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(kavrin::RunStudy(options).runs.data());
}

// The CSV of a 10^7-step solution as the command line writes it, and the
// same number of bytes written plainly from memory, to the same folder.
std::string BenchFile() { return (std::filesystem::temp_directory_path() / "kavrin-bench.csv").string(); }

void CsvTable(benchmark::State& state) {
  const std::string path = BenchFile();
  const std::vector<std::string> arguments{"--x1", "1", "--steps", "10000000", "--method", "rk4", "--table", path};
  std::ostringstream out, err;
  for (auto _ : state)
    if (kavrin::RunCommandLine(arguments, out, err) != 0) state.SkipWithError(err.str().c_str());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}

void PlainWrite(benchmark::State& state) {
  const std::string path = BenchFile();
  const std::vector<char> block(std::size_t{1} << 20, 'x');
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    for (std::size_t done = 0; done < bytes; done += block.size())
      std::fwrite(block.data(), 1, std::min(block.size(), bytes - done), file);
    std::fclose(file);
  }
  std::filesystem::remove(path);
}

// The bare loop of each method, in the method table's order.
template <typename... Steps>
std::array<void (*)(benchmark::State&), sizeof...(Steps)> BareLoops(kavrin::StepList<Steps...>) {
  return {BareLoop<Steps>...};
}
const auto kBareLoops = BareLoops(kavrin::MethodSteps{});

void Register() {
  using benchmark::RegisterBenchmark;
  auto configure = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kNanosecond)->Repetitions(kRepetitions)->ReportAggregatesOnly(true)->UseRealTime();
    b->Arg(kMillion)->Arg(kTenMillion);
    b->Iterations(2);
  };
  for (const kavrin::MethodInfo& info : Seven()) {
    const std::string id(info.id);
    configure(RegisterBenchmark(("march_" + id).c_str(), KavrinMarch, info.method));
    configure(RegisterBenchmark(("bare_" + id).c_str(), kBareLoops[static_cast<std::size_t>(info.method)]));
  }
  configure(RegisterBenchmark("typed_RK4", BareLoop<kavrin::RK4, true>));
  configure(RegisterBenchmark("boost_rk4_classic", Peer<peers::BoostClassic>));
  configure(RegisterBenchmark("boost_rk4_integrate_n_steps", Peer<peers::BoostIntegrate>));
  configure(RegisterBenchmark("gsl_rk4", Peer<GslRk4>));
  configure(RegisterBenchmark("gsl_rkf45", Peer<GslRkf45>));
  configure(RegisterBenchmark("graphic", Plot));
  RegisterBenchmark("study", Study)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true)
      ->UseRealTime()
      ->Arg(1)
      ->Arg(0)
      ->Iterations(1);
  RegisterBenchmark("csv_table", CsvTable)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true)
      ->UseRealTime()
      ->Iterations(1);
  RegisterBenchmark("plain_write", PlainWrite)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3)
      ->ReportAggregatesOnly(true)
      ->UseRealTime()
      ->Arg(kCsvBytes)
      ->Iterations(1);
  RegisterBenchmark("press", WholePress)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(kRepetitions)
      ->ReportAggregatesOnly(true)
      ->UseRealTime()
      ->Arg(kTenMillion)
      ->Iterations(1);
}

}  // namespace

// The peak resident memory of a process that runs the big study, in bytes.
int PeakMemoryOfTheStudy() {
  benchmark::DoNotOptimize(kavrin::RunStudy(BigStudy(0)).runs.data());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld\n", usage.ru_maxrss * 1024L);
  return 0;
}

constexpr std::int64_t kHundredMillion = 100'000'000;

// In a fresh process: two presses at 10^8 steps, the first allocating and
// touching its tables, the second reusing them; prints both in ms.
int PressesAtHundredMillion() {
  std::unique_ptr<kavrin::MainWindow> window(PreparedWindow(kHundredMillion));
  auto* button = window->findChild<QPushButton*>("Command1");
  double ms[2];
  for (double& t : ms) {
    const auto start = std::chrono::steady_clock::now();
    button->click();
    t = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  std::printf("%f %f\n", ms[0], ms[1]);
  return 0;
}

// In a fresh process: Boost.Odeint's classic RK4 at 10^8 steps, its tables
// allocated (and so first touched by the march) in the timed part.
int BoostAllocateAndMarch() {
  const auto start = std::chrono::steady_clock::now();
  peers::Tables t(static_cast<std::size_t>(kHundredMillion));
  peers::BoostClassic(t, static_cast<std::size_t>(kHundredMillion), kX1 / static_cast<double>(kHundredMillion));
  benchmark::DoNotOptimize(t.y1[kHundredMillion]);
  std::printf("%f\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  return 0;
}

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// In a fresh process: the first press of a fresh window at `steps` (its
// tables fresh, as a command's are), from the click to the picture on show,
// then a second press; prints both in ms.
int WindowPresses(std::int64_t steps) {
  std::unique_ptr<kavrin::MainWindow> window(PreparedWindow(steps));
  QApplication::processEvents();
  auto* button = window->findChild<QPushButton*>("Command1");
  double ms[2];
  for (double& t : ms) {
    const auto start = Clock::now();
    button->click();
    QApplication::processEvents();
    t = MsSince(start);
  }
  std::printf("%f %f\n", ms[0], ms[1]);
  return 0;
}

// In a fresh process: the window's study of x1 = 1 and `steps` with every
// method, from Run to its table, notes and chart on show; prints ms.
int WindowStudy(const char* steps) {
  kavrin::MainWindow window;
  window.show();
  kavrin::StudyWindow* study = window.OpenStudy();
  study->set_error_reporter([](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
  study->findChild<QLineEdit*>("StudyX1")->setText("1");
  study->findChild<QLineEdit*>("StudySteps")->setText(QString::fromLatin1(steps));
  QApplication::processEvents();
  QEventLoop wait;
  QObject::connect(study, &kavrin::StudyWindow::Ended, &wait, &QEventLoop::quit);
  const auto start = Clock::now();
  study->findChild<QPushButton*>("StudyRun")->click();
  wait.exec();
  study->repaint();
  QApplication::processEvents();
  std::printf("%f\n", MsSince(start));
  return 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? NAN : values[values.size() / 2];
}

// The milliseconds of a whole command, as a user runs it in a fresh process:
// the median of `runs`.
double CommandMs(const std::string& arguments, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (std::system(("\"" KAVRIN_BINARY "\" " + arguments + " > /dev/null 2>&1").c_str()) != 0) return NAN;
    times.push_back(MsSince(start));
  }
  return Median(times);
}

// Numbers a child process prints on one line (NAN where it printed none).
std::vector<double> NumbersOfChild(const char* program, const char* mode, std::size_t count) {
  std::vector<double> numbers(count, NAN);
  const std::string command = std::string("\"") + program + "\" " + mode + " 2>/dev/null";
  if (FILE* child = popen(command.c_str(), "r")) {
    for (double& n : numbers)
      if (std::fscanf(child, "%lf", &n) != 1) break;
    pclose(child);
  }
  return numbers;
}

double PeakOfChild(const char* program, const char* mode) {
  double peak = NAN;
  const std::string command = std::string("\"") + program + "\" " + mode + " 2>/dev/null";
  if (FILE* child = popen(command.c_str(), "r")) {
    if (std::fscanf(child, "%lf", &peak) != 1) peak = NAN;
    pclose(child);
  }
  return peak;
}

// The window against the command line on the same work: a press at 10^7
// and 10^8 steps, each in a fresh process, and the default study with one at
// 16 times its largest N; the medians of several runs.
struct FacesRow {
  const char* label;
  double window_ms;
  double command_ms;
};

std::vector<FacesRow> CompareFaces(const char* self) {
  auto window = [self](const std::string& mode, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(NumbersOfChild(self, mode.c_str(), 1)[0]);
    return Median(times);
  };
  const std::string press = "--method rk4 --x1 1 --steps ";
  const std::string study = "--compare --x1 1 --steps ";
  return {
      {"press, RK4, N = 10^7, fresh process", window("--window-press 10000000", 5), CommandMs(press + "1e7", 5)},
      {"press, RK4, N = 10^8, fresh process", window("--window-press 100000000", 3), CommandMs(press + "1e8", 3)},
      {"study 10..10240, 7 methods, x1 = 1", window("--window-study 10..10240", 5), CommandMs(study + "10..10240", 5)},
      {"study 10..163840, 7 methods, x1 = 1", window("--window-study 10..163840", 5),
       CommandMs(study + "10..163840", 5)},
  };
}

// The peak resident memory of a command, in bytes: its own, not its parent's.
double PeakOfCommand(const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(KAVRIN_BINARY)};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execv(KAVRIN_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return NAN;
  return static_cast<double>(usage.ru_maxrss) * 1024;
}

// The comparison of the seven methods at N = 10^6, with the reference along
// x, the error, an invariant and both pictures, against the seven
// command-line runs of the same calculations: time, and memory beyond what
// the same command takes at N = 1 against the seven runs' tables.
int ComparisonBench() {
  const std::string pictures = (std::filesystem::temp_directory_path() / "kavrin-bench-").string();
  const std::vector<std::string> compare = {
      "--x1",   "1", "--invariant", "y1*y2 - x", "--phase", pictures + "phase.png", "--along", pictures + "along.png",
      "--steps"};
  auto with_steps = [&compare](const char* n) {
    std::vector<std::string> arguments = compare;
    arguments.emplace_back(n);
    return arguments;
  };
  std::string quoted;
  for (const std::string& a : with_steps("1e6")) quoted += "'" + a + "' ";
  double seven = 0;
  for (const kavrin::MethodInfo& info : Seven())
    seven += CommandMs("--x1 1 --steps 1e6 --method " + std::string(info.id), 5);
  const double comparison = CommandMs(quoted, 5);
  const double peak = PeakOfCommand(with_steps("1e6")) - PeakOfCommand(with_steps("1"));
  const double tables = 7.0 * kavrin::SolutionTables::kBytesPerEntry * (1e6 + 1);
  std::printf("%-44s %10.1f ms\n", "seven command-line runs, N = 10^6, x1 = 1", seven);
  std::printf("%-44s %10.1f ms  ratio %.2f   goal <= 1.5   %s\n", "comparison of the seven, both pictures", comparison,
              comparison / seven, Verdict(comparison / seven <= 1.5));
  std::printf("%-44s %10.1f MB\n", "the seven runs' tables", tables / (1 << 20));
  std::printf("%-44s %10.1f MB  ratio %.2f   goal <= 1.2   %s\n", "comparison's memory beyond N = 1", peak / (1 << 20),
              peak / tables, Verdict(peak / tables <= 1.2));
  std::remove((pictures + "phase.png").c_str());
  std::remove((pictures + "along.png").c_str());
  return 0;
}

// Median milliseconds of `runs` calls of f.
template <typename F>
double MedianMs(int runs, F&& f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// Methods as data: the order conditions to order 8 of a 16-stage tableau
// (exactly, in fractions, and in double), the stability chart at 900 x 600,
// and an implicit step against an RK4 step on the built-in system.
int MethodsBench() {
  std::string text = "# sixteen stages\n";
  for (int i = 0; i < 16; ++i) {
    text += std::to_string(i) + "/16 |";
    for (int j = 0; j < i; ++j) text += " 1/16";
    text += "\n";
  }
  text += "---\n|";
  for (int j = 0; j < 16; ++j) text += " 1/16";
  text += "\n";
  // Every tree's elementary weights are formed before the first condition is
  // compared, so the time does not depend on where a tableau fails.
  const kavrin::TypedTableau typed = kavrin::ReadTableau(text).value();
  kavrin::OrderResult exact, inexact;
  const double exact_ms = MedianMs(11, [&] { exact = kavrin::CheckOrder(typed.tableau, &*typed.exact, false); });
  const double double_ms = MedianMs(11, [&] { inexact = kavrin::CheckOrder(typed.tableau, nullptr, false); });
  std::printf("%-52s %8.2f ms  goal < 50   %s  (%s)\n", "order conditions to 8, 16 stages, in fractions", exact_ms,
              Verdict(exact_ms < 50), exact.exact ? "exact" : "fell back to double");
  std::printf("%-52s %8.2f ms  goal < 50   %s\n", "order conditions to 8, 16 stages, in double", double_ms,
              Verdict(double_ms < 50));
  // Denominators that grow past 128 bits: the exact attempt, then double.
  std::string mixed = "# mixed\n";
  for (int i = 0; i < 16; ++i) {
    mixed += std::to_string(i) + "/16 |";
    for (int j = 0; j < i; ++j)
      mixed += " " + std::to_string((i * 7 + j * 3) % 11 + 1) + "/" + std::to_string((i + j) % 13 + 2);
    mixed += "\n";
  }
  mixed += "---\n|";
  for (int j = 0; j < 16; ++j) mixed += " 1/" + std::to_string(j + 3);
  mixed += "\n";
  const kavrin::TypedTableau hard = kavrin::ReadTableau(mixed).value();
  kavrin::OrderResult hard_result;
  const double hard_ms = MedianMs(11, [&] { hard_result = kavrin::CheckOrder(hard.tableau, &*hard.exact, false); });
  std::printf("%-52s %8.2f ms  goal < 50   %s  (%s)\n", "the same, denominators of 2 to 14", hard_ms,
              Verdict(hard_ms < 50), hard_result.exact ? "exact" : "fell back to double");
  const kavrin::ComparisonRequest request =
      kavrin::ReadComparisonRequest(kavrin::BuiltInProblem(), {"2.7", "10", kavrin::AllMethodIds(), "", ""}).value();
  const kavrin::StabilityStudy study = kavrin::RunStability(request).value();
  const double chart_ms = MedianMs(11, [&] {
    benchmark::DoNotOptimize(kavrin::StabilityChart(study, {900, 600}, kavrin::EstimatedTextWidth));
  });
  std::printf("%-52s %8.2f ms  goal < 100  %s\n", "stability chart of the seven, 900 x 600", chart_ms,
              Verdict(chart_ms < 100));
  const double study_ms = MedianMs(5, [&] { benchmark::DoNotOptimize(kavrin::RunStability(request)); });
  std::printf("%-52s %8.2f ms\n", "the eigenvalues along the reference and the seven", study_ms);
  constexpr std::size_t kSteps = 1000000;
  auto per_step = [](kavrin::Method method) {
    return MedianMs(5,
                    [method] {
                      kavrin::State<double> s = kavrin::BuiltInSystem::kStart;
                      kavrin::WithStep(method, [&](auto step) {
                        return kavrin::MarchToEnd(step, kavrin::BuiltInSystem{}, s, kSteps, 1.0 / kSteps);
                      });
                      benchmark::DoNotOptimize(s);
                    }) *
           1e6 / kSteps;
  };
  const double rk4 = per_step(kavrin::Method::RK4);
  std::printf("%-52s %8.2f ns\n", "RK4 step, built-in system", rk4);
  for (const kavrin::Method method : {kavrin::Method::BackwardEuler, kavrin::Method::ImplicitMidpoint}) {
    const double ns = per_step(method);
    std::printf("%-52s %8.2f ns  ratio %.2f  goal <= 10  %s\n",
                (std::string(kavrin::Info(method).result_name) + " step").c_str(), ns, ns / rk4,
                Verdict(ns / rk4 <= 10));
  }
  return 0;
}

// One adaptive run's work and accuracy: evaluations, error at x1, seconds.
struct AdaptivePoint {
  double evaluations;
  double error;
  double seconds;
};

// GSL's rkf45 under its standard control (gsl_odeiv2_driver with
// eps_abs = eps_rel = tol, a_y = 1, a_dydt = 0), counting the evaluations.
AdaptivePoint GslRkf45(double x1, double tolerance, const kavrin::Reference& reference) {
  struct Counted {
    std::size_t calls = 0;
  } counted;
  auto f = [](double x, const double y[], double dydt[], void* data) -> int {
    ++static_cast<Counted*>(data)->calls;
    dydt[0] = y[0] * y[1] + x;
    dydt[1] = x * y[1] + y[0];
    return GSL_SUCCESS;
  };
  gsl_odeiv2_system system{f, nullptr, 2, &counted};
  double y[2] = {1, -1};
  const double seconds = MedianMs(5,
                                  [&] {
                                    counted.calls = 0;
                                    gsl_odeiv2_driver* driver = gsl_odeiv2_driver_alloc_y_new(
                                        &system, gsl_odeiv2_step_rkf45, 1e-6, tolerance, tolerance);
                                    double x = 0;
                                    y[0] = 1;
                                    y[1] = -1;
                                    gsl_odeiv2_driver_apply(driver, &x, x1, y);
                                    gsl_odeiv2_driver_free(driver);
                                  }) /
                         1e3;
  const double error = static_cast<double>(std::max(std::fabs(y[0] - reference.y1), std::fabs(y[1] - reference.y2)));
  return {static_cast<double>(counted.calls), error, seconds};
}

AdaptivePoint KavrinRkf(double x1, double tolerance, const kavrin::Reference& reference) {
  kavrin::AdaptiveSettings settings;
  settings.atol = settings.rtol = tolerance;
  settings.order = 4;
  kavrin::AdaptiveMarch march;
  const double seconds = MedianMs(5,
                                  [&] {
                                    march =
                                        kavrin::MarchAdaptive(kavrin::CodedPair<kavrin::RKF>{}, kavrin::BuiltInSystem{},
                                                              kavrin::BuiltInSystem::kStart, x1, settings);
                                  }) /
                         1e3;
  const kavrin::AdaptiveStep& end = march.accepted.back();
  const double error =
      static_cast<double>(std::max(std::fabs(end.y1 - reference.y1), std::fabs(end.y2 - reference.y2)));
  return {static_cast<double>(march.evaluations), error, seconds};
}

// The evaluations (log-log interpolated) at which a sweep reaches `error`.
double EvaluationsAt(const std::vector<AdaptivePoint>& sweep, double error) {
  for (std::size_t i = 1; i < sweep.size(); ++i) {
    const AdaptivePoint& a = sweep[i - 1];
    const AdaptivePoint& b = sweep[i];
    if ((a.error - error) * (b.error - error) > 0 || a.error == b.error) continue;
    const double t = (std::log(error) - std::log(a.error)) / (std::log(b.error) - std::log(a.error));
    return std::exp(std::log(a.evaluations) + t * (std::log(b.evaluations) - std::log(a.evaluations)));
  }
  return NAN;
}

// Steps that choose their size: an accepted step against the fixed step of
// the same pair, and Runge-Kutta-Fehlberg against GSL's rkf45 driver to the
// same accuracy, on the built-in system to x1 = 1 and 2.5.
int AdaptiveBench() {
  {
    // A long run, so that the first step's choice and the tables' growth weigh little.
    kavrin::AdaptiveSettings settings;
    settings.atol = settings.rtol = 1e-13;
    kavrin::AdaptiveMarch march;
    const double ms = MedianMs(11, [&] {
      march = kavrin::MarchAdaptive(kavrin::CodedPair<kavrin::RKF>{}, kavrin::BuiltInSystem{},
                                    kavrin::BuiltInSystem::kStart, 2.7, settings);
    });
    const double tried = static_cast<double>(march.accepted.size() - 1 + march.rejected.size());
    const double adaptive = ms * 1e6 / static_cast<double>(march.accepted.size() - 1);
    constexpr std::size_t kSteps = 1000000;
    const double fixed = MedianMs(5,
                                  [] {
                                    kavrin::State<double> s = kavrin::BuiltInSystem::kStart;
                                    kavrin::MarchToEnd(kavrin::RKF{}, kavrin::BuiltInSystem{}, s, kSteps, 1.0 / kSteps);
                                    benchmark::DoNotOptimize(s);
                                  }) *
                         1e6 / kSteps;
    std::printf("%-52s %8.2f ns  (%.0f steps tried)\n", "RKF adaptive, per accepted step, tol 1e-13, x1 = 2.7",
                adaptive, tried);
    std::printf("%-52s %8.2f ns  ratio %.2f  goal <= 1.3  %s\n", "RKF fixed step", fixed, adaptive / fixed,
                Verdict(adaptive / fixed <= 1.3));
  }
  std::printf("\n%-10s %-10s %22s %22s %16s %16s\n", "x1", "error", "evaluations: Kavrin", "GSL rkf45",
              "ns/eval: Kavrin", "GSL");
  for (const double x1 : {1.0, 2.5}) {
    const kavrin::Reference reference = kavrin::BuiltInReference(x1);
    std::vector<AdaptivePoint> kavrin_sweep, gsl_sweep;
    for (double tolerance = 1e-3; tolerance >= 1e-13; tolerance /= 10) {
      kavrin_sweep.push_back(KavrinRkf(x1, tolerance, reference));
      gsl_sweep.push_back(GslRkf45(x1, tolerance, reference));
    }
    auto per_evaluation = [](const std::vector<AdaptivePoint>& sweep) {
      double seconds = 0, evaluations = 0;
      for (const AdaptivePoint& p : sweep) {
        seconds += p.seconds;
        evaluations += p.evaluations;
      }
      return seconds / evaluations * 1e9;
    };
    for (const double error : {1e-6, 1e-10}) {
      const double k = EvaluationsAt(kavrin_sweep, error);
      const double g = EvaluationsAt(gsl_sweep, error);
      std::printf("%-10g %-10g %22.0f %22.0f %16.2f %16.2f   %s\n", x1, error, k, g, per_evaluation(kavrin_sweep),
                  per_evaluation(gsl_sweep),
                  Verdict(k <= g && per_evaluation(kavrin_sweep) <= per_evaluation(gsl_sweep)));
    }
  }
  return 0;
}

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--adaptive") == 0) return AdaptiveBench();
  if (argc == 2 && std::strcmp(argv[1], "--methods") == 0) return MethodsBench();
  if (argc == 2 && std::strcmp(argv[1], "--comparison") == 0) return ComparisonBench();
  if (argc == 2 && std::strcmp(argv[1], "--peak-memory-study") == 0) return PeakMemoryOfTheStudy();
  if (argc == 2 && std::strcmp(argv[1], "--boost-1e8") == 0) return BoostAllocateAndMarch();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
  QApplication app(argc, argv);
  if (argc == 2 && std::strcmp(argv[1], "--peak-memory") == 0) return PeakMemoryOfOnePress(kTenMillion);
  if (argc == 2 && std::strcmp(argv[1], "--presses-1e8") == 0) return PressesAtHundredMillion();
  if (argc == 3 && std::strcmp(argv[1], "--window-press") == 0) return WindowPresses(std::atoll(argv[2]));
  if (argc == 3 && std::strcmp(argv[1], "--window-study") == 0) return WindowStudy(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--faces") == 0) {
    for (const FacesRow& row : CompareFaces(argv[0]))
      std::printf("%-38s %10.1f ms %10.1f ms %8.2f\n", row.label, row.window_ms, row.command_ms,
                  row.window_ms / row.command_ms);
    return 0;
  }

  // The presses at 10^8 first, each in a fresh process, before the other
  // benchmarks have churned through the machine's memory.
  const std::vector<double> presses = NumbersOfChild(argv[0], "--presses-1e8", 2);
  const std::vector<FacesRow> faces = CompareFaces(argv[0]);
  const double boost_1e8 = NumbersOfChild(argv[0], "--boost-1e8", 1)[0];

  benchmark::Initialize(&argc, argv);
  Register();
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  // Peak memory in a fresh process that only starts the window and presses once.
  const double peak = PeakOfChild(argv[0], "--peak-memory");
  const double study_peak = PeakOfChild(argv[0], "--peak-memory-study");

  const auto& c = collector;
  const std::string M = "/1000000", TM = "/10000000";
  std::printf("Kavrin benchmark: %s, %u hardware threads; medians of %d repetitions, ns per step\n\n",
              CpuModel().c_str(), std::thread::hardware_concurrency(), kRepetitions);
  std::printf("%-30s %12s %12s %14s %11s\n", "march (Numerical, tables)", "N = 10^6", "N = 10^7", "bare loop 10^7",
              "march/bare");
  double worst_overhead = 0;
  for (const kavrin::MethodInfo& info : Seven()) {
    const std::string id(info.id);
    const double march = c.PerStep("march_" + id + TM);
    const double bare = c.PerStep("bare_" + id + TM);
    worst_overhead = std::max(worst_overhead, march / bare);
    std::printf("%-30s %12.2f %12.2f %14.2f %11.3f\n", std::string(info.result_name).c_str(),
                c.PerStep("march_" + id + M), march, bare, march / bare);
  }
  const double kavrin_rk4 = c.PerStep("march_rk4" + TM);
  std::printf("\n%-38s %12s %12s %18s\n", "peers, same system and tables", "N = 10^6", "N = 10^7",
              "ratio to Kavrin RK4");
  struct PeerRow {
    const char* label;
    const char* name;
  };
  for (const PeerRow& p : {PeerRow{"Boost.Odeint runge_kutta4_classic", "boost_rk4_classic"},
                           PeerRow{"Boost.Odeint rk4 integrate_n_steps", "boost_rk4_integrate_n_steps"},
                           PeerRow{"GSL rk4 (step_apply)", "gsl_rk4"}, PeerRow{"GSL rkf45 (step_apply)", "gsl_rkf45"}})
    std::printf("%-38s %12.2f %12.2f %18.2f\n", p.label, c.PerStep(std::string(p.name) + M),
                c.PerStep(std::string(p.name) + TM), c.PerStep(std::string(p.name) + TM) / kavrin_rk4);

  const double typed = c.PerStep("typed_RK4" + TM);
  std::printf("%-38s %12.2f %12.2f %18.2f\n", "RK4, the built-in system typed as text", c.PerStep("typed_RK4" + M),
              typed, typed / c.PerStep("bare_rk4" + TM));
  const double boost = c.PerStep("boost_rk4_classic" + TM);
  const double plot = c.PerStep("graphic" + TM);
  const double press_ms = c.Total("press" + TM);
  const double boost_ms = c.Total("boost_rk4_classic" + TM) / 1e6;
  const double limit = 24.0 * kTenMillion + 64.0 * (1 << 20);
  std::printf("\n%-38s %12.2f %12.2f   ns per segment\n", "Graphic onto the picture box", c.PerStep("graphic" + M),
              plot);
  std::printf("%-38s %12.1f ms  (Boost classic loop %.1f ms, ratio %.2f)\n", "whole press, RK4, N = 10^7", press_ms,
              boost_ms, press_ms / boost_ms);
  std::printf("%-38s %12.1f MB  (limit 24 N + 64 MB = %.1f MB)\n", "peak memory of that press", peak / (1 << 20),
              limit / (1 << 20));
  std::printf("%-38s %12.0f ms  (Boost allocate and march %.0f ms, ratio %.2f)\n", "first press, RK4, N = 10^8, fresh",
              presses[0], boost_1e8, presses[0] / boost_1e8);
  std::printf("%-38s %12.0f ms\n", "second press, tables reused", presses[1]);

  // These benchmarks report in milliseconds.
  const double study_one = c.Total("study/1");
  const double study_all = c.Total("study/0");
  const double csv_ms = c.Total("csv_table/");
  const double plain_ms = c.Total("plain_write/" + std::to_string(kCsvBytes));
  const double mb = kCsvBytes / 1e6;
  std::printf("%-38s %12.1f ms  (one thread %.1f ms, speedup %.2f)\n", "study to N = 10^7, 7 methods, all cores",
              study_all, study_one, study_one / study_all);
  std::printf("%-38s %12.1f MB\n", "peak memory of that study", study_peak / (1 << 20));
  std::printf("%-38s %12.1f ms  (%.0f MB, %.0f MB/s; plain write of as many bytes %.0f MB/s)\n",
              "--table, RK4, N = 10^7, whole command", csv_ms, mb, mb / (csv_ms / 1e3), mb / (plain_ms / 1e3));

  std::printf("\n%-38s %13s %13s %8s\n", "window and command line, same work", "window", "command line", "ratio");
  double press_ratio = 0, study_ratio = 0;
  for (const FacesRow& row : faces) {
    const double ratio = row.window_ms / row.command_ms;
    std::printf("%-38s %10.1f ms %10.1f ms %8.2f\n", row.label, row.window_ms, row.command_ms, ratio);
    double& worst = std::strncmp(row.label, "press", 5) == 0 ? press_ratio : study_ratio;
    worst = std::max(worst, ratio);
  }

  std::printf("\ngoals\n");
  std::printf("  RK4 march <= Boost classic loop:            %.2f vs %.2f ns   %s\n", kavrin_rk4, boost,
              Verdict(kavrin_rk4 <= boost));
  std::printf("  every march within 10 %% of its bare loop:  worst %.3f       %s\n", worst_overhead,
              Verdict(worst_overhead <= 1.10));
  std::printf("  typed RK4 step <= 4 x the compiled one:     %.2f x           %s\n", typed / c.PerStep("bare_rk4" + TM),
              Verdict(typed / c.PerStep("bare_rk4" + TM) <= 4));

  std::printf("  Graphic <= 15 ns per segment at 10^7:       %.2f ns          %s\n", plot, Verdict(plot <= 15));
  std::printf("  whole press <= 2.5 x Boost loop:            %.2f x           %s\n", press_ms / boost_ms,
              Verdict(press_ms / boost_ms <= 2.5));
  std::printf("  peak memory <= 24 N + 64 MB:                %.1f MB          %s\n", peak / (1 << 20),
              Verdict(peak <= limit));
  std::printf("  first press at 10^8 <= 0.7 x Boost:         %.2f x           %s\n", presses[0] / boost_1e8,
              Verdict(presses[0] / boost_1e8 <= 0.7));
  std::printf("  second press at 10^8 <= 3 s:                %.2f s           %s\n", presses[1] / 1e3,
              Verdict(presses[1] <= 3000));
  std::printf("  Graphic <= 4 ns per segment at 10^7:        %.2f ns          %s\n", plot, Verdict(plot <= 4));
  std::printf("  study on all cores >= 1.8 x one thread:     %.2f x           %s\n", study_one / study_all,
              Verdict(study_one / study_all >= 1.8));
  std::printf("  study peak memory < 64 MB:                  %.1f MB          %s\n", study_peak / (1 << 20),
              Verdict(study_peak < 64.0 * (1 << 20)));
  std::printf("  study with wide runs <= 4 x before (%.0f ms): %.2f x          %s\n", kStudyBeforeWideRunsMs,
              study_all / kStudyBeforeWideRunsMs, Verdict(study_all <= 4 * kStudyBeforeWideRunsMs));
  std::printf("  window press <= 1.15 x the command line:    worst %.2f       %s\n", press_ratio,
              Verdict(press_ratio <= 1.15));
  std::printf("  window study <= 1.2 x the command line:     worst %.2f       %s\n", study_ratio,
              Verdict(study_ratio <= 1.2));

  return 0;
}
