#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/calculation.h"
#include "core/equation.h"
#include "core/number_text.h"
#include "core/solution_csv.h"
#include "core/study.h"
#include "core/study_report.h"
#include "ode/failure.h"
#include "platform/output_file.h"
#include "plot/study_chart.h"
#include "render/chart_painter.h"

#include <QString>

namespace kavrin {
namespace {

constexpr char kProgram[] = "kavrin";
constexpr int kChartWidth = 900;
constexpr int kChartHeight = 600;
constexpr char kChartFont[] = "DejaVu Sans";
constexpr char kHint[] = "Try 'kavrin --help' for more information.";

constexpr char kHelp[] =
    "Usage: kavrin [options]\n"
    "Integrates y1' = y1*y2 + x, y2' = x*y2 + y1 from x0 = 0, y1(0) = 1, y2(0) = -1, or your own two equations,\n"
    "to x1 in N equal steps with one of seven one-step methods. Without options, opens the window.\n"
    "\n"
    "One calculation prints the step size and the result line as the window shows them, for example\n"
    "  kavrin --x1 2 --steps 200 --method rk4\n"
    "--table writes the whole solution as CSV (i,x,y1,y2), to standard output for -, for example\n"
    "  kavrin --x1 2 --steps 200 --method rk4 --table solution.csv\n"
    "--compare runs the convergence study: each run's error against a reference solution, split into the\n"
    "method's truncation and the run's own rounding (the run repeated in wider arithmetic), and the\n"
    "observed order, for example\n"
    "  kavrin --compare --x1 1 --steps 10..10240 --method rk4,rkf --plot study.svg\n"
    "  kavrin --compare --against evaluations --plot work.svg   (error against the work done)\n"
    "--f1 and --f2 give your own equations, in x, y1 and y2, for example a harmonic oscillator:\n"
    "  kavrin --f1 y2 --f2 -y1 --x0 0 --y10 1 --y20 0 --x1 6.28 --steps 100 --method rk4\n"
    "with + - * / ^, parentheses, sin cos tan asin acos atan sinh cosh tanh exp log sqrt abs, pi and e.\n"
    "\n"
    "Numbers are read as the window reads them (\"1 000\" is 1000), with \".\" as the decimal separator.\n"
    "Methods: euler, euler-ep, euler-mp, rk4, rkf, rkm, rk4g, or the names of the result line.\n"
    "A file is written whole or not at all; a device, a FIFO or /dev/stdout is written in place.\n"
    "Exit status: 0 done, 1 the calculation or a file failed, 2 wrong options.\n"
    "\n"
    "Options:\n"
    "  -h, --help         Displays help on commandline options.\n"
    "  -v, --version      Displays version information.\n"
    "  --x1 <x1>          Target point, read as the window reads it (default 0.1; 1\n"
    "                     with --compare).\n"
    "  --steps <N>        Number of steps N (default 1); with --compare a list\n"
    "                     20,40,80 or a doubling range 10..10240 (the default).\n"
    "  --method <name>    Method (default euler); with --compare a list such as\n"
    "                     rk4,rkf (default all seven).\n"
    "  --table <FILE>     Write the whole solution as CSV to FILE (- for standard\n"
    "                     output).\n"
    "  --compare          Run the convergence study of the chosen methods.\n"
    "  --format <format>  The study's table: text (default), csv or markdown.\n"
    "  --plot <FILE>      Draw the study as a log-log chart, 900 x 600, to FILE.svg\n"
    "                     or FILE.png (implies --compare).\n"
    "  --f1 <expr>        Your own y1' = f1(x, y1, y2); with --f2.\n"
    "  --f2 <expr>        Your own y2' = f2(x, y1, y2); with --f1.\n"
    "  --x0 <x0>          The start of your own system (default 0).\n"
    "  --y10 <y1>         y1 there (default 1).\n"
    "  --y20 <y2>         y2 there (default -1).\n"
    "  --against <axis>   The chart's horizontal axis: steps (N, the default),\n"

    "                     evaluations (of the system, stages x N) or seconds (each\n"
    "                     run's march, timed alone; adds a seconds column).\n";

// A wrong option: the message names it; the caller adds the usage hint.
struct UsageError {
  std::string message;
};

// The options as given: each value the last one given for its name.
struct Options {
  std::map<std::string, std::string> values;
  bool compare = false;
  bool help = false;
  bool version = false;

  bool has(const std::string& name) const { return values.count(name) != 0; }
  std::string value(const std::string& name, const std::string& fallback) const {
    const auto found = values.find(name);
    return found == values.end() ? fallback : found->second;
  }
};

bool TakesValue(std::string_view name) {
  for (const char* option :
       {"x1", "steps", "method", "table", "format", "plot", "against", "f1", "f2", "x0", "y10", "y20"})
    if (name == option) return true;
  return false;
}

// Every argument is the program's own: an option it does not know (a Qt
// option such as -platform among them) is a wrong option.
Options Parse(const std::vector<std::string>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-h" || argument == "--help") {
      options.help = true;
      continue;
    }
    if (argument == "-v" || argument == "--version") {
      options.version = true;
      continue;
    }
    if (argument.rfind("--", 0) != 0 || argument == "--") {
      if (argument.size() > 1 && argument[0] == '-') throw UsageError{"unknown option '" + argument + "'"};
      throw UsageError{"unexpected argument '" + argument + "'"};
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (name == "compare") {
      if (equals != std::string::npos) throw UsageError{"--compare takes no value"};
      options.compare = true;
    } else if (TakesValue(name)) {
      if (equals != std::string::npos) {
        options.values[name] = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        options.values[name] = arguments[++i];
      } else {
        throw UsageError{"--" + name + " needs a value"};
      }
    } else {
      throw UsageError{"unknown option '" + argument.substr(0, equals) + "'"};
    }
  }
  return options;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\n");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\n") - first + 1));
}

std::string UnknownMethod(const std::string& name) {
  std::string message = "--method: unknown method '" + name + "' (use ";
  for (const MethodInfo& info : kMethods) {
    if (info.method != Method::Euler) message += info.method == Method::RK4G ? " or " : ", ";
    message += info.id;
  }
  return message + ")";
}

// Methods by their short name or their result-line name, in any case.
std::vector<Method> Methods(const std::string& text, bool many) {
  std::vector<Method> methods;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    const std::string part = Trimmed(text.substr(start, comma == std::string::npos ? comma : comma - start));
    const auto known = std::find_if(kMethods.begin(), kMethods.end(), [&](const MethodInfo& info) {
      return Lower(part) == Lower(info.id) || Lower(part) == Lower(info.result_name);
    });
    if (known == kMethods.end()) throw UsageError{UnknownMethod(part)};
    if (std::find(methods.begin(), methods.end(), known->method) == methods.end()) methods.push_back(known->method);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (!many && methods.size() != 1) throw UsageError{"--method: one calculation takes one method"};
  return methods;
}

// Standard output failed: the report and status 1 (a closed pipe has ended
// the process before this, quietly).
int StandardOutputFailed(std::ostream& out, std::ostream& err) {
  err << kProgram << ": " << StandardOutputFailure(out.rdbuf()) << '\n';
  return 1;
}

// An own system from --f1, --f2 and the start, or none for the built-in one.
std::shared_ptr<const OwnSystem> System(const Options& options) {
  const bool own = options.has("f1") || options.has("f2");
  for (const char* start : {"x0", "y10", "y20"})
    if (!own && options.has(start)) throw UsageError{std::string("--") + start + " goes with --f1 and --f2"};
  if (!own) return nullptr;
  if (!options.has("f1") || !options.has("f2")) throw UsageError{"--f1 and --f2 go together"};
  const InputTexts builtin = BuiltInTexts({}, {});
  const SystemRead read = ReadSystem({options.values.at("f1"), options.values.at("f2"), options.value("x0", builtin.x0),
                                      options.value("y10", builtin.y1_0), options.value("y20", builtin.y2_0)});
  if (!read.error.empty()) {
    const bool equation = read.error.rfind("f1:", 0) == 0 || read.error.rfind("f2:", 0) == 0;
    throw UsageError{(equation ? "--" : "") + read.error};
  }
  return read.system;
}

int OneCalculation(const Options& options, std::ostream& out, std::ostream& err) {
  const Method method = Methods(options.value("method", "euler"), false).front();
  const std::shared_ptr<const OwnSystem> system = System(options);
  Calculation calculation;
  const InputTexts texts = BuiltInTexts(options.value("x1", "0.1"), options.value("steps", "1"));
  try {
    calculation.Calculate(texts, method, ".", system.get());
  } catch (const Failure& failure) {
    err << failure.what() << '\n';
    return 1;
  }
  const std::optional<std::string> table =
      options.has("table") ? options.values.at("table") : std::optional<std::string>();
  // The solution, 2^16 rows at a time so that the tables are never
  // copied whole.
  const SolutionTables& tables = calculation.tables();
  auto produce = [&tables](const OutputSink& sink) {
    std::string chunk = kCsvHeader;
    constexpr std::size_t kRows = 1 << 16;
    for (std::size_t first = 0; first < tables.filled(); first += kRows) {
      AppendCsvRows(tables, first, std::min(tables.filled(), first + kRows), chunk);
      if (!sink(chunk)) return false;
      chunk.clear();
    }
    return chunk.empty() || sink(chunk);
  };
  if (table && *table == "-") {
    produce([&out](std::string_view chunk) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      return static_cast<bool>(out);
    });
  } else {
    if (table) {
      // The file first, so that a failure to write it leaves standard
      // output empty; what is already on standard output goes before it.
      out.flush();
      const std::string failure = WriteOutput(*table, produce);
      if (!failure.empty()) {
        err << kProgram << ": " << failure << '\n';
        return 1;
      }
    }
    out << "h = " << calculation.step_text() << '\n' << calculation.lines().front() << '\n';
  }
  if (!out.flush()) return StandardOutputFailed(out, err);
  if (!calculation.warning().empty()) err << kProgram << ": warning: " << calculation.warning() << '\n';
  return 0;
}

int Compare(const Options& options, std::ostream& out, std::ostream& err) {
  StudyOptions study_options;
  study_options.system = System(options);
  if (options.has("x1")) {
    const std::string& text = options.values.at("x1");
    try {
      study_options.x1 = ReadNumber(text, "--x1");
    } catch (const Failure&) {
      throw UsageError{"--x1: " + QuotedInput(text) + " is too large to compute with"};
    }
  }
  const StepCounts steps = ReadStepCounts(options.value("steps", "10..10240"));
  if (!steps.error.empty()) throw UsageError{"--steps: " + steps.error};
  study_options.steps = steps.counts;
  if (options.has("method")) {
    study_options.methods = Methods(options.values.at("method"), true);
  } else {
    for (const MethodInfo& info : kMethods) study_options.methods.push_back(info.method);
  }
  const std::string against = options.value("against", "steps");
  if (against == "evaluations") {
    study_options.against = Against::Evaluations;
  } else if (against == "seconds") {
    study_options.against = Against::Seconds;
  } else if (against != "steps") {
    throw UsageError{"--against: unknown axis '" + against + "' (use steps, evaluations or seconds)"};
  }
  const std::string format = options.value("format", "text");
  const std::optional<ReportFormat> report = ReportFormatNamed(format);
  if (!report) throw UsageError{"--format: unknown format '" + format + "' (use text, csv or markdown)"};
  std::string chart;
  if (options.has("plot")) {
    chart = options.values.at("plot");
    const std::string ending = Lower(chart.size() >= 4 ? chart.substr(chart.size() - 4) : chart);
    if (ending != ".svg" && ending != ".png") throw UsageError{"--plot: '" + chart + "' must end in .svg or .png"};
  }

  const Study study = RunStudy(study_options);
  if (!chart.empty()) {
    const std::string failure = SaveChart(StudyChart(study, kChartWidth, kChartHeight, PainterTextWidth(kChartFont)),
                                          chart, QString::fromLatin1("Kavrin convergence study"));
    if (!failure.empty()) {
      err << kProgram << ": " << failure << '\n';
      return 1;
    }
  }
  out << StudyReport(study, *report);
  if (!out.flush()) return StandardOutputFailed(out, err);
  // The text and Markdown tables list the runs that overflowed; CSV has no
  // place for that, so it is said here.
  std::vector<const StudyRun*> failed;
  for (const StudyRun& run : study.runs)
    if (run.failed()) failed.push_back(&run);
  if (!failed.empty() && *report == ReportFormat::Csv) {
    err << kProgram << ": " << failed.size() << " of " << study.runs.size() << " runs overflowed:";
    for (const StudyRun* run : failed)
      err << (run == failed.front() ? " " : ", ") << Info(run->method).id << " with N = " << RoundTripText(run->N);
    err << '\n';
  }
  return !study.runs.empty() && failed.size() == study.runs.size() ? 1 : 0;
}

}  // namespace

bool DrawsChart(const std::vector<std::string>& arguments) {
  return std::any_of(arguments.begin(), arguments.end(),
                     [](const std::string& a) { return a == "--plot" || a.rfind("--plot=", 0) == 0; });
}

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    const Options options = Parse(arguments);
    if (options.help || options.version) {
      out << (options.help ? std::string(kHelp) : "Kavrin " + std::string(KAVRIN_VERSION) + "\n");
      return out.flush() ? 0 : StandardOutputFailed(out, err);
    }
    const bool study = options.compare || options.has("plot");
    if (study && options.has("table"))
      throw UsageError{"--table writes one calculation's solution; it does not go with --compare"};
    if (!study && options.has("format")) throw UsageError{"--format goes with --compare"};
    if (!study && options.has("against")) throw UsageError{"--against goes with --compare"};
    return study ? Compare(options, out, err) : OneCalculation(options, out, err);
  } catch (const UsageError& error) {
    err << kProgram << ": " << error.message << '\n' << kHint << '\n';
    return 2;
  } catch (const Failure& failure) {
    err << failure.what() << '\n';
    return 1;
  }
}

}  // namespace kavrin
