// The page's side of the program, over the same core and plot as the desktop
// program, called in a Web Worker: one session, which the worker's requests
// work on. A request is a JSON object with named fields ({"op":"press",
// "x1":"2","n":"200","method":"rk4"}) and so is each answer; the picture's
// pixels are read back through kv_pixels. Texts come in on the heap (never
// the stack), so no length breaks it.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "core/comparison.h"
#include "core/json.h"
#include "core/methods.h"
#include "core/requests.h"
#include "core/session.h"
#include "core/stability.h"
#include "core/study_report.h"
#include "core/text.h"
#include "plot/comparison_charts.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"
#include "plot/stability_chart.h"
#include "plot/study_chart.h"

// The page's measure of a text in a font (an OffscreenCanvas in the worker),
// or -1 where it has none.
EM_JS(double, kv_text_width, (const char* text, double size, const char* family),
      { return Module.measureText ? Module.measureText(UTF8ToString(text), size, UTF8ToString(family)) : -1; });

// Tells the page how far a study has come.
EM_JS(void, kv_progress, (double done, double total), {
  if (Module.onProgress) Module.onProgress(done, total);
});

namespace kavrin {
namespace {

struct Page {
  Session session;
  RasterImage picture{kPaleYellow, kAxisBlack};
  std::shared_ptr<const Comparison> comparison;  // the last one, for its rows
  std::string answer;                            // the last answer handed out
};

Page& ThePage() {
  static Page page;
  return page;
}

double TextWidth(std::string_view text, double size) {
  const std::string copy(text);
  const double width = kv_text_width(copy.c_str(), size, kChartFont);
  return width >= 0 ? width : EstimatedTextWidth(text, size);
}

std::string ProblemJson(const Problem& problem) {
  return JsonWriter()
      .Boolean("builtIn", problem.built_in())
      .Text("title", problem.built_in() ? problem.ReadableTitle() : problem.Title())
      .Text("f1", problem.texts.f1)
      .Text("f2", problem.texts.f2)
      .Text("x0", problem.texts.x0)
      .Text("y10", problem.texts.y10)
      .Text("y20", problem.texts.y20)
      .Done();
}

// A method as the page lists it; `standard` for the seven of the window's
// buttons, which the calculation offers and the study checks at first.
std::string MethodJson(Method method) {
  const MethodInfo& info = Info(method);
  return JsonWriter()
      .Text("id", info.id)
      .Text("caption", info.caption)
      .Text("result", info.result_name)
      .Number("order", info.order)
      .Number("stages", info.stages)
      .Boolean("standard", static_cast<std::size_t>(method) < kWindowMethodCount)
      .Boolean("pair", PairOrder(method).has_value())
      .Done();
}

// The methods, the shipped tableaux, the examples, the axes, the defaults
// and the labels, for the page to build its choices from.
std::string Hello() {
  std::vector<std::string> methods, tableaux, examples, axes, labels;
  for (const MethodInfo& info : kMethods) methods.push_back(MethodJson(info.method));
  for (const ShippedTableau& shipped : ShippedTableaux()) {
    const Outcome<TypedTableau> typed = ReadTableau(shipped.text);
    tableaux.push_back(JsonWriter()
                           .Text("id", shipped.id)
                           .Text("name", typed.ok() ? typed.value().name : std::string(shipped.id))
                           .Text("text", shipped.text)
                           .Done());
  }
  for (const SystemExample& e : SystemExamples())
    examples.push_back(JsonWriter()
                           .Text("name", e.name)
                           .Text("f1", e.texts.f1)
                           .Text("f2", e.texts.f2)
                           .Text("x0", e.texts.x0)
                           .Text("y10", e.texts.y10)
                           .Text("y20", e.texts.y20)
                           .Text("invariant", e.invariant)
                           .Done());
  for (const AxisInfo& axis : kAxes)
    axes.push_back(JsonWriter().Text("name", axis.name).Text("caption", axis.caption).Done());
  for (const StartLabel& label : kStartLabels) labels.push_back(label.caption);
  const std::string defaults = JsonWriter()
                                   .Text("x1", kDefaultX1)
                                   .Text("n", kDefaultN)
                                   .Text("studyX1", kDefaultStudyX1)
                                   .Text("studySteps", kDefaultStudySteps)
                                   .Text("compareSteps", kDefaultCompareSteps)
                                   .Text("tolerances", kDefaultTolerances)
                                   .Text("compareTolerance", "1e-6")
                                   .Done();
  std::vector<std::string> pairs;
  for (const std::string& id : PairedMethodIds())
    if (const std::optional<Method> method = FindMethod(id))
      pairs.push_back(JsonWriter().Text("id", id).Text("caption", Info(*method).caption).Done());
  return JsonWriter()
      .Raw("methods", JsonList(methods))
      .Raw("tableaux", JsonList(tableaux))
      .Raw("examples", JsonList(examples))
      .Raw("axes", JsonList(axes))
      .Raw("defaults", defaults)
      .Text("startCaption", kStartGroupCaption)
      .Texts("startLabels", labels)
      .Text("help", EquationLanguageHelp())
      .Text("functions", FunctionGlossary())
      .Text("stepListHelp", kStepListHelp)
      .Text("toleranceListHelp", kToleranceListHelp)
      .Raw("pairs", JsonList(pairs))
      .Raw("chartSize",
           JsonWriter().Number("width", kSavedChartSize.width).Number("height", kSavedChartSize.height).Done())
      .Raw("problem", ProblemJson(*BuiltInProblem()))
      .Done();
}

// The session's problem from the texts; when they do not read, it stays.
std::string UseProblem(const JsonObject& request) {
  SystemTexts texts;
  for (const auto& [name, text] : {std::pair{"f1", &texts.f1}, std::pair{"f2", &texts.f2}, std::pair{"x0", &texts.x0},
                                   std::pair{"y10", &texts.y10}, std::pair{"y20", &texts.y20}})
    *text = request.Text(name).value_or("");
  Session& session = ThePage().session;
  const std::optional<Failure> failure = session.Accept(texts);
  JsonWriter json;
  json.Boolean("accepted", !failure).Raw("problem", ProblemJson(*session.problem()));
  if (failure) json.Raw("failure", FailureJson(*failure));
  return json.Done();
}

// One press of CALCULATE; the picture is drawn anew unless it failed, in
// which case what was shown stays.
std::string Press(const JsonObject& request) {
  Page& page = ThePage();
  PressRequest press;
  press.x1 = request.Text("x1").value_or("");
  press.N = request.Text("n").value_or("");
  const Outcome<std::vector<Method>> method = ReadMethodList(request.Text("method").value_or(""), false);
  if (!method.ok()) return JsonWriter().Raw("failure", FailureJson(method.failure())).Done();
  press.method = method.value().front();
  PressResult result = page.session.Press(press);
  bool drawn = false;
  if (!result.failure) {
    result.failure = DrawPicture(page.session.calculation(), page.picture);
    drawn = !result.failure;
  }
  JsonWriter json;
  json.Text("stepText", result.step_text).Texts("lines", result.lines).Text("warning", result.warning);
  json.Boolean("picture", drawn);
  if (result.failure) json.Raw("failure", FailureJson(*result.failure));
  return json.Done();
}

// A table's rows as a list of lists of texts.
std::string RowsJson(const StudyTableCells& table) {
  std::vector<std::string> rows;
  for (const std::vector<std::string>& row : table.rows) {
    std::vector<std::string> cells;
    for (const std::string& cell : row) cells.push_back(JsonQuoted(cell));
    rows.push_back(JsonList(cells));
  }
  return JsonList(rows);
}

// The convergence study of the session's problem, with its table, notes and
// chart at the size the page has room for.
std::string RunPageStudy(const JsonObject& request) {
  StudyTexts texts;
  texts.x1 = request.Text("x1").value_or("");
  texts.steps = request.Text("steps").value_or("");
  texts.methods.clear();
  for (const std::string& id : request.Texts("methods").value_or(std::vector<std::string>{}))
    texts.methods.append(texts.methods.empty() ? "" : ",").append(id);
  texts.against = request.Text("against").value_or("");
  // A sweep when the request carries tolerances.
  texts.sweep = request.Text("tolerances").has_value();
  texts.tolerances = request.Text("tolerances").value_or("");
  texts.pairs.clear();
  for (const std::string& id : request.Texts("pairs").value_or(std::vector<std::string>{}))
    texts.pairs.append(texts.pairs.empty() ? "" : ",").append(id);
  Outcome<StudyRequest> asked = ThePage().session.ReadStudy(texts);
  if (!asked.ok()) return JsonWriter().Raw("failure", FailureJson(asked.failure())).Done();
  asked.value().threads = 1;
  StudyProgress progress;
  progress.tell = [](std::size_t done, std::size_t total) {
    kv_progress(static_cast<double>(done), static_cast<double>(total));
  };
  const Study study = RunStudy(asked.value(), progress);
  const StudyTableCells table = StudyTable(study);
  const StudyTableCells sweep = SweepTable(study);
  const ChartSize size = StudyChartSize(static_cast<int>(request.Number("width").value_or(kSavedChartSize.width)));
  return JsonWriter()
      .Texts("header", table.header)
      .Raw("rows", RowsJson(table))
      .Texts("sweepHeader", study.sweep.empty() ? std::vector<std::string>{} : sweep.header)
      .Raw("sweepRows", RowsJson(sweep))
      .Texts("notes", StudyNotes(study))
      .Raw("chart", ChartJson(StudyChart(study, size, TextWidth)))
      .Done();
}

// The methods compared along the way on the session's problem: the notes
// and the three charts at the size the page has room for; the comparison is
// kept for its rows.
std::string RunPageComparison(const JsonObject& request) {
  ComparisonTexts texts;
  texts.x1 = request.Text("x1").value_or("");
  texts.N = request.Text("n").value_or("");
  texts.field_x = request.Text("fieldX").value_or("");
  texts.invariant = request.Text("invariant").value_or("");
  texts.tolerance = request.Text("tolerance").value_or("");
  texts.methods.clear();
  for (const std::string& id : request.Texts("methods").value_or(std::vector<std::string>{}))
    texts.methods.append(texts.methods.empty() ? "" : ",").append(id);
  const Outcome<ComparisonRequest> asked = ReadComparisonRequest(ThePage().session.problem(), texts);
  if (!asked.ok()) return JsonWriter().Raw("failure", FailureJson(asked.failure())).Done();
  StudyProgress progress;
  progress.tell = [](std::size_t done, std::size_t total) {
    kv_progress(static_cast<double>(done), static_cast<double>(total));
  };
  Outcome<Comparison> ran = RunComparison(asked.value(), progress);
  if (!ran.ok()) return JsonWriter().Raw("failure", FailureJson(ran.failure())).Done();
  auto comparison = std::make_shared<const Comparison>(std::move(ran.value()));
  ThePage().comparison = comparison;
  const ChartSize size = StudyChartSize(static_cast<int>(request.Number("width").value_or(kSavedChartSize.width)));
  return JsonWriter()
      .Texts("notes", ComparisonNotes(*comparison))
      .Raw("phase", ChartJson(PhaseChart(*comparison, size, TextWidth)))
      .Raw("error", ChartJson(ErrorAlongChart(*comparison, size, TextWidth)))
      .Raw("drift", ChartJson(DriftChart(*comparison, size, TextWidth)))
      .Raw("steps", ChartJson(StepSizeAlongChart(*comparison, size, TextWidth)))
      .Done();
}

// A tableau's analysis, as --check-tableau prints it.
std::string CheckTableau(const JsonObject& request) {
  const Outcome<TypedTableau> typed = ReadTableau(request.Text("text").value_or(""));
  if (!typed.ok()) return JsonWriter().Raw("failure", FailureJson(typed.failure())).Done();
  return JsonWriter().Texts("lines", AnalysisLines(typed.value(), AnalyseTableau(typed.value()))).Done();
}

// A tableau added as a method of the session's program, and its analysis.
std::string AddTableau(const JsonObject& request) {
  const std::string text = request.Text("text").value_or("");
  const Outcome<Method> added = AddTableauMethod(request.Text("method").value_or(""), text);
  if (!added.ok()) return JsonWriter().Raw("failure", FailureJson(added.failure())).Done();
  const Outcome<TypedTableau> typed = ReadTableau(text);
  return JsonWriter()
      .Raw("method", MethodJson(added.value()))
      .Texts("lines", AnalysisLines(typed.value(), AnalyseTableau(typed.value())))
      .Done();
}

// A method's tableau as text, for the editor.
std::string MethodTableau(const JsonObject& request) {
  const std::optional<Method> method = FindMethod(request.Text("method").value_or(""));
  if (!method)
    return JsonWriter()
        .Raw("failure", FailureJson({FailureKind::WrongInput, {Field::Methods}, {}, "no such method", {}}))
        .Done();
  return JsonWriter().Text("text", MethodTableauText(*method)).Done();
}

// The stability regions with h·λ of the session's problem, the report and
// the chart at the size the page has room for.
std::string RunPageStability(const JsonObject& request) {
  ComparisonTexts texts;
  texts.x1 = request.Text("x1").value_or("");
  texts.N = request.Text("n").value_or("");
  texts.methods.clear();
  for (const std::string& id : request.Texts("methods").value_or(std::vector<std::string>{}))
    texts.methods.append(texts.methods.empty() ? "" : ",").append(id);
  const Outcome<ComparisonRequest> asked = ReadComparisonRequest(ThePage().session.problem(), texts);
  if (!asked.ok()) return JsonWriter().Raw("failure", FailureJson(asked.failure())).Done();
  const Outcome<StabilityStudy> ran = RunStability(asked.value());
  if (!ran.ok()) return JsonWriter().Raw("failure", FailureJson(ran.failure())).Done();
  const ChartSize size = StudyChartSize(static_cast<int>(request.Number("width").value_or(kSavedChartSize.width)));
  return JsonWriter()
      .Text("report", StabilityReport(ran.value(), ReportFormat::Text))
      .Raw("chart", ChartJson(StabilityChart(ran.value(), size, TextWidth)))
      .Done();
}

// The last comparison's rows as CSV, as the command line writes them.
std::string ComparisonRows() {
  const std::shared_ptr<const Comparison>& comparison = ThePage().comparison;
  if (!comparison)
    return JsonWriter()
        .Raw("failure", FailureJson({FailureKind::WrongInput, {}, {}, "there is no comparison yet", {}}))
        .Done();
  std::string csv;
  WriteComparisonCsv(*comparison, [&csv](std::string_view block) {
    csv.append(block);
    return true;
  });
  return JsonWriter().Text("csv", csv).Done();
}

std::string Handle(std::string_view text) {
  const Outcome<JsonObject> request = JsonObject::Parse(text);
  if (!request.ok()) return JsonWriter().Raw("failure", FailureJson(request.failure())).Done();
  const std::string op = request.value().Text("op").value_or("");
  if (op == "hello") return Hello();
  if (op == "problem") return UseProblem(request.value());
  if (op == "press") return Press(request.value());
  if (op == "study") return RunPageStudy(request.value());
  if (op == "compare") return RunPageComparison(request.value());
  if (op == "compare-csv") return ComparisonRows();
  if (op == "tableau-check") return CheckTableau(request.value());
  if (op == "tableau-add") return AddTableau(request.value());
  if (op == "method-tableau") return MethodTableau(request.value());
  if (op == "stability") return RunPageStability(request.value());
  if (op == "resize") {
    const JsonObject& r = request.value();
    const double ratio = r.Number("ratio").value_or(1);
    ThePage().picture.Resize(static_cast<int>(r.Number("width").value_or(0) * ratio + 0.5),
                             static_cast<int>(r.Number("height").value_or(0) * ratio + 0.5), ratio);
    return JsonWriter().Boolean("picture", true).Done();
  }
  return JsonWriter()
      .Raw("failure", FailureJson({FailureKind::WrongInput, {}, {}, "unknown request '" + op + "'", {}}))
      .Done();
}

}  // namespace
}  // namespace kavrin

extern "C" {

// Answers one request (a JSON object in UTF-8) with a JSON object.
EMSCRIPTEN_KEEPALIVE const char* kv_request(const char* json) {
  kavrin::Page& page = kavrin::ThePage();
  const std::optional<kavrin::Failure> failure = kavrin::Caught([&] { page.answer = kavrin::Handle(json); });
  if (failure) page.answer = kavrin::JsonWriter().Raw("failure", kavrin::FailureJson(*failure)).Done();
  return page.answer.c_str();
}

// The picture's pixels, 0xAARRGGBB, row by row.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* kv_pixels() { return kavrin::ThePage().picture.pixels(); }
EMSCRIPTEN_KEEPALIVE int kv_width() { return kavrin::ThePage().picture.PixelWidth(); }
EMSCRIPTEN_KEEPALIVE int kv_height() { return kavrin::ThePage().picture.PixelHeight(); }

}  // extern "C"
