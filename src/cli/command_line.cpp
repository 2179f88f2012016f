#include "cli/command_line.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "core/adaptive_run.h"
#include "core/comparison.h"
#include "core/files.h"
#include "core/methods.h"
#include "core/number_text.h"
#include "core/requests.h"
#include "core/session.h"
#include "core/solution_csv.h"
#include "core/stability.h"
#include "core/study_report.h"
#include "core/text.h"
#include "platform/output_file.h"
#include "plot/comparison_charts.h"
#include "plot/stability_chart.h"
#include "plot/step_size_chart.h"
#include "plot/study_chart.h"
#include "render/chart_painter.h"

namespace kavrin {
namespace {

constexpr char kProgram[] = "kavrin";
constexpr char kHint[] = "Try 'kavrin --help' for more information.";

// The options after --help and --version, what value each takes (none for
// --compare), and what the help says of each.
struct OptionHelp {
  const char* name;
  const char* value;
  std::string help;
};

// A count in words where it is small: "seven".
std::string CountText(std::size_t n) {
  static const char* const kWords[] = {"no",    "one",   "two",  "three", "four",   "five",  "six",
                                       "seven", "eight", "nine", "ten",   "eleven", "twelve"};
  return n < std::size(kWords) ? kWords[n] : std::to_string(n);
}

// The options of methods as data: stability, tableaux, adaptive steps.
std::vector<OptionHelp> MethodOptions() {
  return {
      {"stability", "",
       "For the --method list (default all) and the system along its reference to --x1 with --steps N: each "
       "method's stability intervals, the first x where h·λ (λ the Jacobian's eigenvalues) leaves its region "
       "and the smallest N that keeps it inside; --format text, csv or markdown; --plot FILE.svg or FILE.png "
       "draws the regions with h·λ; --table FILE writes λ along the path as CSV."},
      {"tolerance", "<TOL>",
       "Choose the steps: one run of --method (a method with an embedded pair: rkf, rkm, dopri54 or a tableau with "
       "second weights) to --x1, each step accepted when its error estimate is within TOL (atol = rtol = TOL); "
       "prints the result line, the steps accepted and rejected, the evaluations and the error at x1; --table "
       "writes the accepted steps (i,x,y1,y2,h,estimate)."},
      {"steps-plot", "<FILE>",
       "Draw h along x, with the rejected steps, to FILE.svg or FILE.png: with --tolerance (--method a list of "
       "pairs), or with --phase or --along for the chosen methods that have a pair (--tolerance default 1e-6)."},
      {"atol", "<TOL>", "The absolute tolerance alone (with --tolerance)."},
      {"rtol", "<TOL>", "The relative tolerance alone (with --tolerance)."},
      {"first-step", "<h>", "The first step's size (with --tolerance; default chosen from the problem)."},
      {"max-steps", "<N>", "The most steps tried (with --tolerance; default 100000)."},
      {"tableau", "<FILE>",
       "Add the explicit method typed as a Butcher tableau in FILE; its id is the file's name without its "
       "extension (kutta38.tableau: kutta38). Repeatable; the study and the comparison then include it."},
      {"check-tableau", "<FILE>",
       "Check the tableau in FILE: explicit or not, its order (and its embedded weights'), the first order "
       "condition that fails, its stability function and intervals. Exit 0 with an order, 1 without, 2 when "
       "it cannot be read."},
  };
}

std::vector<OptionHelp> OptionTable() {
  const std::string size = std::to_string(kSavedChartSize.width) + " x " + std::to_string(kSavedChartSize.height);
  const SystemTexts& builtin = BuiltInSystemTexts();
  std::vector<OptionHelp> table = {
      {"x1", "<x1>",
       std::string("Target point, read as the window reads it (default ") + kDefaultX1 + "; " + kDefaultStudyX1 +
           " with --compare)."},
      {"steps", "<N>",
       std::string("Number of steps N (default ") + kDefaultN +
           "); with --compare a list 20,40,80 or a doubling range " + kDefaultStudySteps + " (the default)."},
      {"method", "<name>",
       "Method (default " + std::string(kMethods.front().id) +
           "); with --compare a list such as rk4,rkf (default the " + CountText(kWindowMethodCount) +
           " explicit ones)."},
      {"table", "<FILE>", "Write the whole solution as CSV to FILE (- for standard output)."},
      {"compare", "", "Run the convergence study of the chosen methods."},
      {"tolerances", "<TOLS>",
       std::string("With --compare: a sweep of tolerances, ") + kToleranceListHelp + " (" + kDefaultTolerances +
           " is one per decade), for each --method with an embedded pair (default rkf, rkm, dopri54), each "
           "choosing its own steps; with --steps as well, the fixed runs beside them on the chart."},
      {"format", "<format>", "The study's table: text (default), csv or markdown."},
      {"plot", "<FILE>",
       "Draw the study as a log-log chart, " + size + ", to FILE.svg or FILE.png (implies --compare)."},
      {"f1", "<expr>", "Your own y1' = f1(x, y1, y2); with --f2."},
      {"f2", "<expr>", "Your own y2' = f2(x, y1, y2); with --f1."},
      {"x0", "<x0>", "The start of your own system (default " + builtin.x0 + ")."},
      {"y10", "<y1>", "y1 there (default " + builtin.y10 + ")."},
      {"y20", "<y2>", "y2 there (default " + builtin.y20 + ")."},
      {"against", "<axis>",
       "The chart's horizontal axis: steps (N, the default), evaluations (of the system, stages x N) or seconds "
       "(each run's march, timed alone; adds a seconds column)."},
      {"phase", "<FILE>",
       "Compare the methods along the way: draw the phase plane with the direction field, every path and the "
       "reference, " +
           size + ", to FILE.svg or FILE.png (one --steps N, default " + kDefaultCompareSteps +
           "; --method default all)."},
      {"along", "<FILE>",
       "Compare along the way: write every step of every method as CSV to FILE.csv (- for standard output), or "
       "draw the error along x (and the invariant's drift under it) to FILE.svg or FILE.png."},
      {"invariant", "<expr>", "H(x, y1, y2), which the exact solution keeps constant: its drift along the way."},
      {"field-x", "<x>", "The x at which the phase plane's direction field is taken (default x0)."},
  };
  for (OptionHelp& option : MethodOptions()) table.push_back(std::move(option));
  return table;
}

// Words wrapped to `width` columns, each line after the first indented.
std::string Wrapped(const std::string& text, std::size_t first, std::size_t indent, std::size_t width) {
  std::string out;
  std::size_t column = first;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string_view word(text.data() + start, end - start);
    if (column > indent && column + 1 + word.size() > width) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (column > first || !out.empty()) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    start = end + 1;
  }
  return out;
}

std::string HelpText() {
  const Problem& builtin = *BuiltInProblem();
  std::string ids;
  for (const MethodInfo& info : kMethods) ids.append(info.id).append(", ");
  std::string help =
      "Usage: kavrin [options]\n"
      "Integrates " +
      builtin.Title() + " from x0 = " + builtin.texts.x0 + ", y1(0) = " + builtin.texts.y10 +
      ", y2(0) = " + builtin.texts.y20 +
      ", or your own two equations,\n"
      "to x1 in N equal steps with one of " +
      CountText(kMethodCount) +
      " one-step methods. Without options, opens the window.\n"
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
      "--phase and --along compare the methods along the way, each path over the reference, for example\n"
      "  kavrin --f1 y2 --f2 -y1 --y10 1 --y20 0 --x1 6.28 --steps 30 --method euler,rk4 --phase phase.svg\n"
      "  kavrin --x1 1 --steps 1000 --along along.csv --invariant 'y1^2 + y2^2'\n"
      "--f1 and --f2 give your own equations, in x, y1 and y2, for example a harmonic oscillator:\n"
      "  kavrin --f1 y2 --f2 -y1 --x0 0 --y10 1 --y20 0 --x1 6.28 --steps 100 --method rk4\n"
      "with + - * / ^, parentheses, " +
      FunctionNames() +
      ", pi and e.\n"
      "\n"
      "Numbers are read as the window reads them (\"1 000\" is 1000), with \".\" as the decimal separator.\n"
      "Methods: " +
      ids +
      "or the names of the result line.\n"
      "A file is written whole or not at all; a device, a FIFO or /dev/stdout is written in place.\n"
      "Exit status: 0 done, 1 the calculation or a file failed, 2 wrong options.\n"
      "\n"
      "Options:\n"
      "  -h, --help         Displays help on commandline options.\n"
      "  -v, --version      Displays version information.\n";
  for (const OptionHelp& option : OptionTable()) {
    const std::string head = "  --" + std::string(option.name) + (*option.value != '\0' ? " " : "") + option.value;
    // A head too long for its column has its text on the next line.
    help += head.size() < 21 ? Padded(head, 21, true) : head + "\n" + std::string(21, ' ');
    help += Wrapped(option.help, 21, 21, 78) + "\n";
  }
  return help;
}

// How the command line names a field in a report: by its option.
std::string_view OptionName(Field field) {
  switch (field) {
    case Field::F1:
      return "--f1";
    case Field::F2:
      return "--f2";
    case Field::X1:
    case Field::StudyX1:
      return "--x1";
    case Field::N:
    case Field::Steps:
      return "--steps";
    case Field::Methods:
      return "--method";
    case Field::Axis:
      return "--against";
    case Field::Format:
      return "--format";
    case Field::Invariant:
      return "--invariant";
    case Field::FieldX:
      return "--field-x";
    case Field::Tolerance:
      return "--tolerance";
    case Field::Tolerances:
      return "--tolerances";
    default:
      break;
  }
  return {};
}

// A wrong option or text: its report names it; RunCommandLine adds the usage hint.
[[noreturn]] void Wrong(const Failure& failure) { throw failure; }
[[noreturn]] void WrongOption(const std::string& text) { throw Failure{FailureKind::WrongInput, {}, {}, text, {}}; }

// The options as given: each value the last one given for its name.
struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> tableaux;  // --tableau, each in turn
  bool compare = false;
  bool stability = false;
  bool help = false;
  bool version = false;

  bool has(const std::string& name) const { return values.count(name) != 0; }
  std::string value(const std::string& name, const std::string& fallback) const {
    const auto found = values.find(name);
    return found == values.end() ? fallback : found->second;
  }
};

bool TakesValue(std::string_view name) {
  const std::vector<OptionHelp> table = OptionTable();
  return std::any_of(table.begin(), table.end(),
                     [&](const OptionHelp& o) { return name == o.name && *o.value != '\0'; });
}

// One argument of the form --name or --name=value, and the next argument
// when it is the value.
void ParseLong(const std::vector<std::string>& arguments, std::size_t& i, Options& options) {
  const std::string& argument = arguments[i];
  const std::size_t equals = argument.find('=');
  const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
  if (name == "compare" || name == "stability") {
    if (equals != std::string::npos) WrongOption("--" + name + " takes no value");
    (name == "compare" ? options.compare : options.stability) = true;
  } else if (TakesValue(name)) {
    if (equals != std::string::npos) {
      options.values[name] = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      options.values[name] = arguments[++i];
    } else {
      WrongOption("--" + name + " needs a value");
    }
    if (name == "tableau") options.tableaux.push_back(options.values[name]);
  } else {
    WrongOption("unknown option " + Excerpt(argument.substr(0, equals)));
  }
}

// Every argument is the program's own: an option it does not know (a Qt
// option such as -platform among them) is a wrong option.
Options Parse(const std::vector<std::string>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-h" || argument == "--help") {
      options.help = true;
    } else if (argument == "-v" || argument == "--version") {
      options.version = true;
    } else if (argument.rfind("--", 0) != 0 || argument == "--") {
      if (argument.size() > 1 && argument[0] == '-') WrongOption("unknown option " + Excerpt(argument));
      WrongOption("unexpected argument " + Excerpt(argument));
    } else {
      ParseLong(arguments, i, options);
    }
  }
  return options;
}

// Standard output failed: the report and status 1 (a closed pipe has ended
// the process before this, quietly).
int StandardOutputFailed(std::ostream& out, std::ostream& err) {
  err << kProgram << ": " << Describe(kavrin::StandardOutputFailed(out.rdbuf())) << '\n';
  return 1;
}

// A file that failed: the report and status 1.
int FileFailed(const Failure& failure, std::ostream& err) {
  err << kProgram << ": " << Describe(failure) << '\n';
  return 1;
}

// The session's problem: an own system from --f1, --f2 and the start, or
// the built-in one.
void UseSystem(const Options& options, Session& session) {
  const bool own = options.has("f1") || options.has("f2");
  for (const char* start : {"x0", "y10", "y20"})
    if (!own && options.has(start)) WrongOption(std::string("--") + start + " goes with --f1 and --f2");
  if (!own) return;
  if (!options.has("f1") || !options.has("f2")) WrongOption("--f1 and --f2 go together");
  const SystemTexts& builtin = BuiltInSystemTexts();
  if (const std::optional<Failure> failure =
          session.Accept({options.values.at("f1"), options.values.at("f2"), options.value("x0", builtin.x0),
                          options.value("y10", builtin.y10), options.value("y20", builtin.y20)}))
    Wrong(*failure);
}

// --method, or the default list with the tableaux of --tableau after it.
std::string MethodsOption(const Options& options, std::string list) {
  if (options.has("method")) return options.values.at("method");
  for (const std::string& path : options.tableaux) list += "," + IdFromFileName(path);
  return list;
}

// The solution as CSV, 2^16 rows at a time so that the tables are never
// copied whole.
bool WriteTable(const SolutionTables& tables, const OutputSink& sink) {
  std::string chunk = kCsvHeader;
  constexpr std::size_t kRows = 1 << 16;
  for (std::size_t first = 0; first < tables.filled(); first += kRows) {
    AppendCsvRows(tables, first, std::min(tables.filled(), first + kRows), chunk);
    if (!sink(chunk)) return false;
    chunk.clear();
  }
  return chunk.empty() || sink(chunk);
}

int OneCalculation(const Options& options, std::ostream& out, std::ostream& err) {
  PressRequest request;
  const Outcome<std::vector<Method>> method =
      ReadMethodList(options.value("method", std::string(kMethods.front().id)), false);
  if (!method.ok()) Wrong(method.failure());
  request.method = method.value().front();
  request.x1 = options.value("x1", kDefaultX1);
  request.N = options.value("steps", kDefaultN);
  Session session;
  UseSystem(options, session);
  const PressResult result = session.Press(request);
  if (result.failure) {
    err << Describe(*result.failure) << '\n';
    return 1;
  }
  const SolutionTables& tables = session.calculation().tables();
  const auto produce = [&tables](const OutputSink& sink) { return WriteTable(tables, sink); };
  if (options.value("table", "") == "-") {
    produce([&out](std::string_view chunk) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      return static_cast<bool>(out);
    });
  } else {
    if (options.has("table")) {
      // The file first, so that a failure to write it leaves standard
      // output empty; what is already on standard output goes before it.
      out.flush();
      if (const std::optional<Failure> failure = WriteFile(options.values.at("table"), produce))
        return FileFailed(*failure, err);
    }
    out << "h = " << result.step_text << '\n' << result.lines.front() << '\n';
  }
  if (!out.flush()) return StandardOutputFailed(out, err);
  if (!result.warning.empty()) err << kProgram << ": warning: " << result.warning << '\n';
  return 0;
}

// The study as the options ask for it.
StudyRequest StudyAsked(const Options& options, const Session& session) {
  const StudyTexts defaults;
  // A sweep alone unless --steps asks for fixed runs as well; its pairs are
  // those of --method that have one (all of them without --method).
  const bool sweep = options.has("tolerances");
  const std::string methods = MethodsOption(options, defaults.methods);
  const Outcome<StudyRequest> request =
      session.ReadStudy({options.value("x1", defaults.x1), options.value("steps", sweep ? "" : defaults.steps), methods,
                         options.value("against", defaults.against), sweep, options.value("tolerances", ""),
                         options.has("method") || !options.tableaux.empty() ? PairsAmong(methods) : defaults.pairs});
  if (!request.ok()) Wrong(request.failure());
  return request.value();
}

// A study's progress on standard error, where it is a terminal and the
// study has run for a second: "kavrin: study 45 %", written over itself and
// cleared at the end.
class TerminalProgress {
 public:
  explicit TerminalProgress(std::ostream& err, const char* what = "study")
      : m_err(err), m_what(what), m_start(std::chrono::steady_clock::now()) {}
  ~TerminalProgress() {
    if (m_shown) m_err << "\r" << std::string(40, ' ') << "\r" << std::flush;
  }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  StudyProgress Watch() {
    StudyProgress progress;
    if (!IsTerminal(2)) return progress;
    progress.tell = [this](std::size_t done, std::size_t total) {
      const std::size_t percent = 100 * done / std::max<std::size_t>(total, 1);
      if (percent == m_percent || std::chrono::steady_clock::now() - m_start < std::chrono::seconds(1)) return;
      m_err << "\r" << kProgram << ": " << m_what << " " << percent << " %" << std::flush;
      m_percent = percent;
      m_shown = true;
    };
    return progress;
  }

 private:
  std::ostream& m_err;
  const char* m_what;
  std::chrono::steady_clock::time_point m_start;
  std::size_t m_percent = 101;  // the last shown
  bool m_shown = false;
};

// Says on standard error which runs failed, where the report has no place
// for them (CSV); true when every run failed.
bool TellFailedRuns(const Study& study, ReportFormat format, std::ostream& err) {
  std::vector<const StudyRun*> failed;
  for (const StudyRun& run : study.runs)
    if (run.failed()) failed.push_back(&run);
  if (!failed.empty() && format == ReportFormat::Csv) {
    err << kProgram << ": " << failed.size() << " of " << study.runs.size() << " runs failed:";
    for (const StudyRun* run : failed)
      err << (run == failed.front() ? " " : ", ") << Info(run->method).id << " with N = " << RoundTripText(run->N);
    err << '\n';
  }
  // A study with nothing to show says why, whatever the report's format.
  const bool all = !study.runs.empty() && failed.size() == study.runs.size();
  const bool swept = std::all_of(study.sweep.begin(), study.sweep.end(), [](const SweepRun& run) {
    return run.mark == Mark::StoppedShort || run.mark == Mark::Overflow || run.mark == Mark::Domain;
  });
  if (all)
    err << kProgram << ": " << FailedRunsSummary(study) << "; the first: " << FailedRunNotes(study).front() << '\n';
  if (swept && !study.sweep.empty() && (all || study.runs.empty()))
    err << kProgram << ": every run choosing its steps stopped short of x1; the first: " << study.sweep.front().failure
        << '\n';
  return (all || study.runs.empty()) && (swept || study.sweep.empty()) && !(study.runs.empty() && study.sweep.empty());
}

int Compare(const Options& options, std::ostream& out, std::ostream& err) {
  Session session;
  UseSystem(options, session);
  const StudyRequest request = StudyAsked(options, session);
  const Outcome<ReportFormat> format = ReadReportFormat(options.value("format", "text"));
  if (!format.ok()) Wrong(format.failure());
  const std::string chart = options.value("plot", "");
  const std::string ending = Lower(chart.size() >= 4 ? std::string_view(chart).substr(chart.size() - 4) : chart);
  if (options.has("plot") && ending != ".svg" && ending != ".png")
    WrongOption("--plot: " + Excerpt(chart) + " must end in .svg or .png");

  const Study study = [&] {
    TerminalProgress progress(err);
    return RunStudy(request, progress.Watch());
  }();
  if (!chart.empty()) {
    if (const std::optional<Failure> failure =
            SaveChart(StudyChart(study, kSavedChartSize, PainterTextWidth(kChartFont)), chart,
                      QString::fromLatin1(kStudyChartTitle), ending == ".svg"))
      return FileFailed(*failure, err);
  }
  out << StudyReport(study, format.value());
  if (!out.flush()) return StandardOutputFailed(out, err);
  return TellFailedRuns(study, format.value(), err) ? 1 : 0;
}

// The ending of an output's name, in lower case, if it is one of `endings`;
// else the option is wrong.
std::string Ending(const Options& options, const std::string& option, const std::vector<std::string>& endings) {
  const std::string path = options.value(option, "");
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  const bool none = dot == std::string::npos || (slash != std::string::npos && slash > dot);
  std::string ending = none ? "" : Lower(std::string_view(path).substr(dot));
  if (std::find(endings.begin(), endings.end(), ending) == endings.end()) {
    std::vector<std::string> named;
    for (const std::string& e : endings)
      if (!e.empty()) named.push_back(e);
    std::string list;
    for (std::size_t i = 0; i < named.size(); ++i)
      list += (i == 0 ? "" : i + 1 == named.size() ? " or " : ", ") + named[i];
    WrongOption("--" + option + ": " + Excerpt(path) + " must end in " + list);
  }
  return ending;
}

// h along x asked for of methods none of which has an embedded pair:
// refused, naming those that have one.
void RefuseWithoutPairs(const std::vector<Method>& methods) {
  if (std::none_of(methods.begin(), methods.end(), [](Method method) { return PairOrder(method).has_value(); }))
    Wrong(*NoPairFailure(methods.front()));
}

// The comparison as the options ask for it; with --steps-plot, h along x of
// the pairs among the methods at --tolerance (default 1e-6).
ComparisonRequest ComparisonAsked(const Options& options, const Session& session) {
  const ComparisonTexts defaults;
  const std::string tolerance = options.has("steps-plot") ? options.value("tolerance", "1e-6") : "";
  const Outcome<ComparisonRequest> request =
      ReadComparisonRequest(session.problem(), {options.value("x1", defaults.x1), options.value("steps", defaults.N),
                                                MethodsOption(options, defaults.methods), options.value("field-x", ""),
                                                options.value("invariant", ""), tolerance});
  if (!request.ok()) Wrong(request.failure());
  if (options.has("steps-plot")) RefuseWithoutPairs(request.value().methods);
  return request.value();
}

int CompareAlong(const Options& options, std::ostream& out, std::ostream& err) {
  Session session;
  UseSystem(options, session);
  const std::string phase_ending = options.has("phase") ? Ending(options, "phase", {".svg", ".png"}) : "";
  const std::string along = options.value("along", "");
  // Rows as CSV, also to a name without an ending (a device, a FIFO, /dev/fd/N).
  const std::string along_ending =
      options.has("along") && along != "-" ? Ending(options, "along", {".csv", ".svg", ".png", ""}) : ".csv";
  const std::string steps_ending = options.has("steps-plot") ? Ending(options, "steps-plot", {".svg", ".png"}) : "";
  const ComparisonRequest request = ComparisonAsked(options, session);
  Outcome<Comparison> ran = [&] {
    TerminalProgress progress(err, "comparison");
    return RunComparison(request, progress.Watch());
  }();
  if (!ran.ok()) {
    err << kProgram << ": " << Describe(ran.failure(), OptionName) << '\n';
    return 1;
  }
  const Comparison& c = ran.value();
  const TextWidth measure = PainterTextWidth(kChartFont);
  if (options.has("phase")) {
    if (const std::optional<Failure> failure =
            SaveChart(PhaseChart(c, kSavedChartSize, measure), options.values.at("phase"),
                      QString::fromLatin1(kPhaseChartTitle), phase_ending == ".svg"))
      return FileFailed(*failure, err);
  }
  if (options.has("steps-plot") && !c.adaptive.empty()) {
    if (const std::optional<Failure> failure =
            SaveChart(StepSizeChart(c.adaptive, kSavedChartSize, measure), options.values.at("steps-plot"),
                      QString::fromLatin1(kStepSizeChartTitle), steps_ending == ".svg"))
      return FileFailed(*failure, err);
  }
  const auto csv = [&c](const OutputSink& sink) { return WriteComparisonCsv(c, sink); };
  if (options.has("along") && (along_ending == ".svg" || along_ending == ".png")) {
    const Chart chart = c.invariant
                            ? ErrorAndDriftChart(c, {kSavedChartSize.width, 2 * kSavedChartSize.height}, measure)
                            : ErrorAlongChart(c, kSavedChartSize, measure);
    if (const std::optional<Failure> failure =
            SaveChart(chart, along, QString::fromLatin1(kAlongChartTitle), along_ending == ".svg"))
      return FileFailed(*failure, err);
  } else if (along == "-") {
    csv([&out](std::string_view chunk) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      return static_cast<bool>(out);
    });
    return out.flush() ? 0 : StandardOutputFailed(out, err);
  } else if (options.has("along")) {
    out.flush();
    if (const std::optional<Failure> failure = WriteFile(along, csv)) return FileFailed(*failure, err);
  }
  for (const std::string& line : ComparisonNotes(c)) out << line << '\n';
  return out.flush() ? 0 : StandardOutputFailed(out, err);
}

// --stability: the report, the chart and the eigenvalues along the path.
int Stability(const Options& options, std::ostream& out, std::ostream& err) {
  for (const char* option : {"phase", "along", "invariant", "field-x", "against"})
    if (options.has(option)) WrongOption(std::string("--") + option + " does not go with --stability");
  if (options.compare) WrongOption("--compare does not go with --stability");
  Session session;
  UseSystem(options, session);
  const Outcome<ReportFormat> format = ReadReportFormat(options.value("format", "text"));
  if (!format.ok()) Wrong(format.failure());
  const std::string chart_ending = options.has("plot") ? Ending(options, "plot", {".svg", ".png"}) : "";
  const ComparisonTexts defaults;
  const Outcome<ComparisonRequest> request =
      ReadComparisonRequest(session.problem(), {options.value("x1", defaults.x1), options.value("steps", defaults.N),
                                                MethodsOption(options, defaults.methods), "", "", ""});
  if (!request.ok()) Wrong(request.failure());
  const Outcome<StabilityStudy> ran = RunStability(request.value());
  if (!ran.ok()) {
    err << kProgram << ": " << Describe(ran.failure(), OptionName) << '\n';
    return 1;
  }
  const StabilityStudy& s = ran.value();
  if (options.has("plot")) {
    if (const std::optional<Failure> failure =
            SaveChart(StabilityChart(s, kSavedChartSize, PainterTextWidth(kChartFont)), options.values.at("plot"),
                      QString::fromLatin1(kStabilityChartTitle), chart_ending == ".svg"))
      return FileFailed(*failure, err);
  }
  if (options.has("table")) {
    const std::string& table = options.values.at("table");
    if (table == "-") {
      out << EigenvalueCsv(s);
      return out.flush() ? 0 : StandardOutputFailed(out, err);
    }
    if (const std::optional<Failure> failure = WriteFile(table, EigenvalueCsv(s))) return FileFailed(*failure, err);
  }
  out << StabilityReport(s, format.value());
  return out.flush() ? 0 : StandardOutputFailed(out, err);
}

// --tolerance: runs that choose their own steps, one per method.
int AdaptiveOne(const Options& options, std::ostream& out, std::ostream& err) {
  for (const char* option : {"phase", "along", "invariant", "field-x", "against", "plot", "format", "steps"})
    if (options.has(option)) WrongOption(std::string("--") + option + " does not go with --tolerance");
  if (options.compare) WrongOption("--compare does not go with --tolerance");
  Session session;
  UseSystem(options, session);
  const std::string chart_ending = options.has("steps-plot") ? Ending(options, "steps-plot", {".svg", ".png"}) : "";
  const Outcome<std::vector<Method>> methods = ReadMethodList(options.value("method", "rkf"));
  if (!methods.ok()) Wrong(methods.failure());
  if (methods.value().size() > 1 && options.has("table"))
    WrongOption("--table writes one run's steps; give --method one method");
  std::vector<AdaptiveRun> runs;
  for (const Method method : methods.value()) {
    const Outcome<AdaptiveRequest> request = ReadAdaptiveRequest(
        session.problem(), {options.value("x1", kDefaultX1), std::string(Info(method).id),
                            options.value("tolerance", ""), options.value("atol", ""), options.value("rtol", ""),
                            options.value("first-step", ""), options.value("max-steps", "")});
    if (!request.ok()) Wrong(request.failure());
    runs.push_back(RunAdaptive(request.value()));
    if (const std::optional<Failure> stopped = AdaptiveStopFailure(runs.back())) {
      err << kProgram << ": " << (runs.size() > 1 ? std::string(Info(method).id) + ": " : "") << Describe(*stopped)
          << '\n';
      return 1;
    }
  }
  if (options.has("steps-plot")) {
    if (const std::optional<Failure> failure = SaveChart(
            StepSizeChart(runs, kSavedChartSize, PainterTextWidth(kChartFont)), options.values.at("steps-plot"),
            QString::fromLatin1(kStepSizeChartTitle), chart_ending == ".svg"))
      return FileFailed(*failure, err);
  }
  if (options.has("table")) {
    const std::string& table = options.values.at("table");
    if (table == "-") {
      out << AdaptiveCsv(runs.front());
      return out.flush() ? 0 : StandardOutputFailed(out, err);
    }
    if (const std::optional<Failure> failure = WriteFile(table, AdaptiveCsv(runs.front())))
      return FileFailed(*failure, err);
  }
  for (const AdaptiveRun& run : runs)
    for (const std::string& line : AdaptiveReport(run)) out << line << '\n';
  return out.flush() ? 0 : StandardOutputFailed(out, err);
}

// --check-tableau: the analysis, and whether the tableau has an order.
int CheckTableau(const Options& options, std::ostream& out, std::ostream& err) {
  if (options.values.size() > 1 || options.compare)
    WrongOption("--check-tableau goes alone: it checks a tableau and runs nothing");
  const std::string& path = options.values.at("check-tableau");
  const Outcome<std::string> text = ReadTextFile(path, kMaxTableauLength);
  if (!text.ok()) {
    err << kProgram << ": " << text.failure().text << '\n';
    return 2;
  }
  const Outcome<TypedTableau> typed = ReadTableau(text.value());
  if (!typed.ok()) {
    err << kProgram << ": " << path << ": " << typed.failure().text << '\n';
    return 2;
  }
  const TableauAnalysis analysis = AnalyseTableau(typed.value());
  for (const std::string& line : AnalysisLines(typed.value(), analysis)) out << line << '\n';
  if (!out.flush()) return StandardOutputFailed(out, err);
  return analysis.order.order >= 1 ? 0 : 1;
}

// --tableau: each file added as a method; a file that cannot be read or
// added is a wrong option.
void AddTableaux(const Options& options) {
  for (const std::string& path : options.tableaux) {
    const Outcome<std::string> text = ReadTextFile(path, kMaxTableauLength);
    if (!text.ok()) WrongOption("--tableau: " + text.failure().text);
    const Outcome<Method> added = AddTableauMethod(IdFromFileName(path), text.value());
    if (!added.ok()) WrongOption("--tableau " + path + ": " + added.failure().text);
  }
}

}  // namespace

bool DrawsChart(const std::vector<std::string>& arguments) {
  return std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) {
    for (const char* option : {"--plot", "--phase", "--along", "--stability", "--steps-plot"})
      if (a == option || a.rfind(std::string(option) + "=", 0) == 0) return true;
    return false;
  });
}

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    const Options options = Parse(arguments);
    if (options.help || options.version) {
      out << (options.help ? HelpText() : "Kavrin " + std::string(KAVRIN_VERSION) + "\n");
      return out.flush() ? 0 : StandardOutputFailed(out, err);
    }
    if (options.has("check-tableau")) return CheckTableau(options, out, err);
    AddTableaux(options);
    if (options.stability) return Stability(options, out, err);
    const bool study = options.compare || options.has("plot");
    const bool along = options.has("phase") || options.has("along");
    for (const char* option : {"atol", "rtol", "first-step", "max-steps", "steps-plot"})
      if (options.has(option) && !options.has("tolerance") && !(along && std::string(option) == "steps-plot"))
        WrongOption(std::string("--") + option + " goes with --tolerance");
    if (options.has("tolerance") && !(along && options.has("steps-plot"))) return AdaptiveOne(options, out, err);
    if (along)
      for (const char* option : {"atol", "rtol", "first-step", "max-steps"})
        if (options.has(option)) WrongOption(std::string("--") + option + " does not go with --phase or --along");
    if (along && study)
      WrongOption("--phase and --along compare along the way; they do not go with --compare or --plot");
    if (along && options.has("table"))
      WrongOption("--table writes one calculation's solution; it does not go with --phase or --along");
    for (const char* option : {"invariant", "field-x"})
      if (!along && options.has(option)) WrongOption(std::string("--") + option + " goes with --phase or --along");
    if (along) {
      if (options.has("format")) WrongOption("--format goes with --compare");
      if (options.has("against")) WrongOption("--against goes with --compare");
      return CompareAlong(options, out, err);
    }
    if (options.has("tolerances") && !study) WrongOption("--tolerances goes with --compare");
    if (study && options.has("table"))
      WrongOption("--table writes one calculation's solution; it does not go with --compare");
    if (!study && options.has("format")) WrongOption("--format goes with --compare");
    if (!study && options.has("against")) WrongOption("--against goes with --compare");
    return study ? Compare(options, out, err) : OneCalculation(options, out, err);
  } catch (const Failure& failure) {
    // Wrong options and texts: the usage hint and status 2; anything else
    // that stopped the run: its report and status 1.
    if (failure.kind != FailureKind::WrongInput) {
      err << Describe(failure) << '\n';
      return 1;
    }
    err << kProgram << ": " << Describe(failure, OptionName) << '\n' << kHint << '\n';
    return 2;
  }
}

}  // namespace kavrin
