#include "cli/command_line.h"

#include <QCommandLineParser>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/study_chart.h"
#include "core/calculation.h"
#include "core/number_text.h"
#include "core/solution_csv.h"
#include "core/study.h"
#include "core/study_report.h"
#include "ode/failure.h"

namespace kavrin {
namespace {

constexpr char kProgram[] = "kavrin";

// The short name of each method on the command line, in the table's order.
constexpr const char* kShortNames[kMethodCount] = {"euler", "euler-ep", "euler-mp", "rk4", "rkf", "rkm", "rk4g"};

// A wrong option: the message names it; the caller adds the usage hint.
struct UsageError {
  std::string message;
};

std::optional<Method> MethodNamed(const QString& name) {
  for (std::size_t i = 0; i < kMethodCount; ++i) {
    const MethodInfo& info = MethodTable()[i];
    if (name.compare(QLatin1String(kShortNames[i]), Qt::CaseInsensitive) == 0 ||
        name.compare(QString::fromUtf8(info.result_name.data(), static_cast<qsizetype>(info.result_name.size())),
                     Qt::CaseInsensitive) == 0)
      return info.method;
  }
  return std::nullopt;
}

std::vector<Method> Methods(const QString& text, bool many) {
  std::vector<Method> methods;
  for (const QString& part : text.split(QLatin1Char(','))) {
    const std::optional<Method> method = MethodNamed(part.trimmed());
    if (!method) {
      throw UsageError{"--method: unknown method '" + part.trimmed().toStdString() +
                       "' (use euler, euler-ep, euler-mp, rk4, rkf, rkm or rk4g)"};
    }
    if (std::find(methods.begin(), methods.end(), *method) == methods.end()) methods.push_back(*method);
  }
  if (!many && methods.size() != 1) throw UsageError{"--method: one calculation takes one method"};
  return methods;
}

// A whole number of steps from 1 to the window's largest.
double WholeSteps(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  const double n = IsPlainNumber(s) ? ReadNumber(s, "--steps") : 0;
  if (!(n >= 1 && n <= 2147483646 && n == std::floor(n)))
    throw UsageError{"--steps: '" + s + "' is not a whole number of steps from 1 to 2147483646"};
  return n;
}

// "20,40,80" or the doubling range "10..10240".
std::vector<double> StudySteps(const QString& text) {
  std::vector<double> steps;
  if (text.contains(QLatin1String(".."))) {
    const QStringList ends = text.split(QLatin1String(".."));
    if (ends.size() != 2) throw UsageError{"--steps: '" + text.toStdString() + "' is not a range such as 10..10240"};
    const double first = WholeSteps(ends[0]);
    const double last = WholeSteps(ends[1]);
    if (last < first) throw UsageError{"--steps: the range '" + text.toStdString() + "' runs backwards"};
    for (double n = first; n <= last; n *= 2) steps.push_back(n);
  } else {
    for (const QString& part : text.split(QLatin1Char(','))) steps.push_back(WholeSteps(part));
  }
  std::sort(steps.begin(), steps.end());
  steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
  return steps;
}

// Writes a whole file through a temporary one, or the text to `out` for "-".
// Returns an empty text, or what went wrong.
template <typename Produce>
std::string WriteFile(const QString& path, std::ostream& out, Produce&& produce) {
  if (path == QLatin1String("-")) {
    produce([&](const std::string& chunk) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      return static_cast<bool>(out);
    });
    out.flush();
    return out ? std::string() : std::string("cannot write to standard output");
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return "cannot write " + path.toStdString() + ": " + file.errorString().toStdString();
  const bool written = produce([&](const std::string& chunk) {
    return file.write(chunk.data(), static_cast<qint64>(chunk.size())) == static_cast<qint64>(chunk.size());
  });
  if (!written || !file.commit()) {
    const std::string reason = file.errorString().toStdString();
    file.cancelWriting();
    return "cannot write " + path.toStdString() + ": " + reason;
  }
  return {};
}

int OneCalculation(const QCommandLineParser& p, std::ostream& out, std::ostream& err) {
  const Method method = Methods(p.value(QStringLiteral("method")), false).front();
  Calculation calculation;
  const InputTexts texts{"0", "1", "-1", p.value(QStringLiteral("x1")).toStdString(),
                         p.value(QStringLiteral("steps")).toStdString()};
  try {
    calculation.Calculate(texts, method, ".");
  } catch (const Failure& failure) {
    err << failure.what() << '\n';
    return 1;
  }
  const bool table = p.isSet(QStringLiteral("table"));
  const QString path = p.value(QStringLiteral("table"));
  // The file first, so that a failure to write it leaves standard output empty.
  auto print_result = [&] {
    if (!table || path != QLatin1String("-"))
      out << "h = " << calculation.step_text() << '\n' << calculation.lines().front() << '\n' << std::flush;
  };
  if (!table) {
    print_result();
    return 0;
  }
  // The rows are formatted a million at a time, so the tables are never copied whole.
  const SolutionTables& tables = calculation.tables();
  const std::string failure = WriteFile(path, out, [&](auto&& sink) {
    std::string chunk = kCsvHeader;
    constexpr std::size_t kRows = 1 << 16;
    for (std::size_t first = 0; first < tables.filled(); first += kRows) {
      AppendCsvRows(tables, first, std::min(tables.filled(), first + kRows), chunk);
      if (!sink(chunk)) return false;
      chunk.clear();
    }
    return chunk.empty() || sink(chunk);
  });
  if (!failure.empty()) {
    err << kProgram << ": " << failure << '\n';
    return 1;
  }
  print_result();
  return 0;
}

int Compare(const QCommandLineParser& p, std::ostream& out, std::ostream& err) {
  StudyOptions options;
  options.x1 = p.isSet(QStringLiteral("x1")) ? ReadNumber(p.value(QStringLiteral("x1")).toStdString(), "--x1") : 1;
  options.steps =
      StudySteps(p.isSet(QStringLiteral("steps")) ? p.value(QStringLiteral("steps")) : QStringLiteral("10..10240"));
  if (p.isSet(QStringLiteral("method"))) {
    options.methods = Methods(p.value(QStringLiteral("method")), true);
  } else {
    for (const MethodInfo& info : MethodTable()) options.methods.push_back(info.method);
  }
  const QString format = p.value(QStringLiteral("format"));
  std::optional<ReportFormat> report = ReportFormatNamed(format.toStdString());
  if (!report) throw UsageError{"--format: unknown format '" + format.toStdString() + "' (use text, csv or markdown)"};
  QString chart;
  if (p.isSet(QStringLiteral("plot"))) {
    chart = p.value(QStringLiteral("plot"));
    if (!chart.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) &&
        !chart.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
      throw UsageError{"--plot: '" + chart.toStdString() + "' must end in .svg or .png"};
  }

  const Study study = RunStudy(options);
  if (!chart.isEmpty()) {
    const std::string failure = SaveStudyChart(study, chart);
    if (!failure.empty()) {
      err << kProgram << ": " << failure << '\n';
      return 1;
    }
  }
  out << StudyReport(study, *report) << std::flush;
  return 0;
}

void AddOptions(QCommandLineParser& p) {
  p.setApplicationDescription(QStringLiteral(
      "Integrates y1' = y1*y2 + x, y2' = x*y2 + y1 from x0 = 0, y1(0) = 1, y2(0) = -1 to x1 in N equal steps with\n"
      "one of seven one-step methods. Without options, opens the window.\n\n"
      "One calculation prints the step size and the result line as the window shows them, for example\n"
      "  kavrin --x1 2 --steps 200 --method rk4\n"
      "--table writes the whole solution as CSV (i,x,y1,y2), to standard output for -, for example\n"
      "  kavrin --x1 2 --steps 200 --method rk4 --table solution.csv\n"
      "--compare runs the convergence study, error against a reference solution and observed order, for example\n"
      "  kavrin --compare --x1 1 --steps 10..10240 --method rk4,rkf --plot study.svg\n\n"
      "Methods: euler, euler-ep, euler-mp, rk4, rkf, rkm, rk4g, or the names of the result line.\n"
      "Exit status: 0 done, 1 the calculation or a file failed, 2 wrong options."));
  p.addHelpOption();
  p.addVersionOption();
  p.addOption({QStringLiteral("x1"),
               QStringLiteral("Target point, read as the window reads it (default 0.1; 1 with --compare)."),
               QStringLiteral("x1"), QStringLiteral("0.1")});
  p.addOption({QStringLiteral("steps"),
               QStringLiteral("Number of steps N (default 1); with --compare a list 20,40,80 or a doubling range "
                              "10..10240 (the default)."),
               QStringLiteral("N"), QStringLiteral("1")});
  p.addOption({QStringLiteral("method"),
               QStringLiteral("Method (default euler); with --compare a list such as rk4,rkf (default all seven)."),
               QStringLiteral("name"), QStringLiteral("euler")});
  p.addOption({QStringLiteral("table"),
               QStringLiteral("Write the whole solution as CSV to FILE (- for standard output)."),
               QStringLiteral("FILE")});
  p.addOption({QStringLiteral("compare"), QStringLiteral("Run the convergence study of the chosen methods.")});
  p.addOption({QStringLiteral("format"), QStringLiteral("The study's table: text (default), csv or markdown."),
               QStringLiteral("format"), QStringLiteral("text")});
  p.addOption({QStringLiteral("plot"),
               QStringLiteral("Draw the study as a log-log chart, 900 x 600, to FILE.svg or FILE.png (implies "
                              "--compare)."),
               QStringLiteral("FILE")});
}

}  // namespace

bool DrawsChart(const QStringList& arguments) {
  return std::any_of(arguments.begin(), arguments.end(), [](const QString& a) { return a.startsWith("--plot"); });
}

int RunCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err) {
  QCommandLineParser p;
  AddOptions(p);
  const char* hint = "Try 'kavrin --help' for more information.";
  if (!p.parse(QStringList{QString::fromLatin1(kProgram)} + arguments)) {
    err << kProgram << ": " << p.errorText().toStdString() << '\n' << hint << '\n';
    return 2;
  }
  if (p.isSet(QStringLiteral("help"))) {
    // The usage line names the program as a user types it, not its path.
    QString help = p.helpText();
    const qsizetype options = help.indexOf(QLatin1String(" [options]"));
    if (help.startsWith(QLatin1String("Usage: ")) && options > 0)
      help.replace(7, options - 7, QString::fromLatin1(kProgram));
    out << help.toStdString();
    if (!help.endsWith(QLatin1Char('\n'))) out << '\n';
    return 0;
  }
  if (p.isSet(QStringLiteral("version"))) {
    out << "Kavrin " << KAVRIN_VERSION << '\n';
    return 0;
  }
  try {
    if (!p.positionalArguments().isEmpty())
      throw UsageError{"unexpected argument '" + p.positionalArguments().front().toStdString() + "'"};
    const bool study = p.isSet(QStringLiteral("compare")) || p.isSet(QStringLiteral("plot"));
    if (study && p.isSet(QStringLiteral("table")))
      throw UsageError{"--table writes one calculation's solution; it does not go with --compare"};
    if (!study && p.isSet(QStringLiteral("format"))) throw UsageError{"--format goes with --compare"};
    return study ? Compare(p, out, err) : OneCalculation(p, out, err);
  } catch (const UsageError& error) {
    err << kProgram << ": " << error.message << '\n' << hint << '\n';
    return 2;
  } catch (const Failure& failure) {
    err << failure.what() << '\n';
    return 1;
  }
}

}  // namespace kavrin
