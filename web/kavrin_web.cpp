// The calculation, the plot and the convergence study for the browser page:
// plain C functions over the same core and plot as the desktop program,
// called in a Web Worker. The worker keeps one calculation state, as the
// window does, and reads texts and pixels back through the pointers these
// return. Texts come in on the heap (never the stack), so no length breaks it.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "core/calculation.h"
#include "core/equation.h"
#include "core/number_text.h"
#include "core/study.h"
#include "core/study_report.h"
#include "ode/failure.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"
#include "plot/study_chart.h"

// The page's measure of a text in the chart's font (an OffscreenCanvas in the
// worker), or -1 where it has none.
EM_JS(double, kv_text_width, (const char* text, double size),
      { return Module.measureText ? Module.measureText(UTF8ToString(text), size) : -1; });

// Tells the page how far a study has come.
EM_JS(void, kv_progress, (double done, double total), {
  if (Module.onProgress) Module.onProgress(done, total);
});

namespace {

using kavrin::Failure;
using kavrin::Method;

struct Page {
  std::shared_ptr<const kavrin::OwnSystem> system;  // none: the built-in system
  kavrin::Calculation calculation;
  kavrin::RasterImage picture{kavrin::kPaleYellow, kavrin::kAxisBlack};
  std::string failure;
  std::string text;  // the last text handed out
};

Page& State() {
  static Page page;
  return page;
}

// A JSON string of a text.
std::string Json(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out + '"';
}

double TextWidth(std::string_view text, double size) {
  const std::string copy(text);
  const double width = kv_text_width(copy.c_str(), size);
  return width >= 0 ? width : kavrin::EstimatedTextWidth(text, size);
}

}  // namespace

extern "C" {

// The methods and the limits, for the page to build its choices from.
EMSCRIPTEN_KEEPALIVE const char* kv_methods() {
  std::string& out = State().text;
  out = "{\"maxSteps\":" + std::to_string(kavrin::kMaxSteps) + ",\"methods\":[";
  for (const kavrin::MethodInfo& info : kavrin::kMethods) {
    if (info.method != Method::Euler) out += ',';
    out += "{\"id\":" + Json(info.id) + ",\"caption\":" + Json(info.caption) + ",\"result\":" + Json(info.result_name) +
           ",\"order\":" + std::to_string(info.order) + ",\"stages\":" + std::to_string(info.stages) + "}";
  }
  out += "]}";
  return out.c_str();
}

// The examples of own systems, the built-in one first, as JSON:
// [{"name":..,"f1":..,"f2":..,"x0":..,"y10":..,"y20":..},...].
EMSCRIPTEN_KEEPALIVE const char* kv_examples() {
  std::string& out = State().text;
  out = "[";
  for (const kavrin::SystemExample& e : kavrin::SystemExamples()) {
    out += std::string(out.size() > 1 ? "," : "") + "{\"name\":" + Json(e.name) + ",\"f1\":" + Json(e.texts.f1) +
           ",\"f2\":" + Json(e.texts.f2) + ",\"x0\":" + Json(e.texts.x0) + ",\"y10\":" + Json(e.texts.y10) +
           ",\"y20\":" + Json(e.texts.y20) + "}";
  }
  out += "]";
  return out.c_str();
}

// Integrates this system from now on: its equations and start as typed.
// Returns an empty text, or the report of what does not read (the system
// stays as it was). The built-in system's own texts choose the built-in one.
EMSCRIPTEN_KEEPALIVE const char* kv_set_system(const char* f1, const char* f2, const char* x0, const char* y10,
                                               const char* y20) {
  Page& page = State();
  const kavrin::SystemTexts texts{f1, f2, x0, y10, y20};
  const kavrin::SystemRead read = kavrin::ReadSystem(texts);
  page.text = read.error;
  if (read.error.empty()) page.system = kavrin::IsBuiltIn(texts) ? nullptr : read.system;
  return page.text.c_str();
}

// Sizes the picture: width x height logical pixels at `ratio` device pixels
// each (the desktop's is 317 x 245 at ratio 1).
EMSCRIPTEN_KEEPALIVE void kv_resize(int width, int height, double ratio) {
  State().picture.Resize(static_cast<int>(width * ratio + 0.5), static_cast<int>(height * ratio + 0.5), ratio);
}

// One press of CALCULATE with the built-in start and the texts of x1 and N;
// returns 1 when it failed (kv_failure says why). As in the window, a
// failure keeps what was done before it.
EMSCRIPTEN_KEEPALIVE int kv_calculate(const char* x1, const char* N, int method) {
  Page& page = State();
  page.failure.clear();
  try {
    page.calculation.Calculate(kavrin::BuiltInTexts(x1, N), static_cast<Method>(method), ".", page.system.get());
    kavrin::Graphic(page.calculation.N(), page.calculation.tables(), page.calculation.x1(), page.picture);
  } catch (const Failure& failure) {
    page.failure = failure.what();
  } catch (const std::bad_alloc&) {
    page.failure = "Out of memory: the calculation needed more memory than the page could provide";
  }
  return page.failure.empty() ? 0 : 1;
}

EMSCRIPTEN_KEEPALIVE const char* kv_failure() { return State().failure.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* kv_warning() { return State().calculation.warning().c_str(); }
EMSCRIPTEN_KEEPALIVE const char* kv_step_text() { return State().calculation.step_text().c_str(); }
EMSCRIPTEN_KEEPALIVE int kv_line_count() { return static_cast<int>(State().calculation.lines().size()); }
EMSCRIPTEN_KEEPALIVE const char* kv_line(int i) {
  return State().calculation.lines()[static_cast<std::size_t>(i)].c_str();
}
// The picture's pixels, 0xAARRGGBB, row by row.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* kv_pixels() { return State().picture.pixels(); }
EMSCRIPTEN_KEEPALIVE int kv_width() { return State().picture.PixelWidth(); }
EMSCRIPTEN_KEEPALIVE int kv_height() { return State().picture.PixelHeight(); }

// The convergence study: x1 and the step counts as the user typed them,
// the methods as their places in the method table ("034"), what the chart
// sets the error against (0 steps, 1 evaluations, 2 seconds) and its size.
// Returns JSON: {"failure":...} for wrong input, else {"header":[...],
// "rows":[[...],...],"notes":[...],"chart":{...}}.
EMSCRIPTEN_KEEPALIVE const char* kv_study(const char* x1, const char* steps, const char* methods, int against,
                                          int width, int height) {
  std::string& out = State().text;
  kavrin::StudyOptions options;
  options.threads = 1;
  options.system = State().system;

  options.against = static_cast<kavrin::Against>(std::clamp(against, 0, 2));
  options.progress = [](std::size_t done, std::size_t total) {
    kv_progress(static_cast<double>(done), static_cast<double>(total));
  };
  try {
    options.x1 = kavrin::ReadNumber(x1, "x1");
  } catch (const Failure&) {
    out = "{\"failure\":" + Json("x1: " + kavrin::QuotedInput(x1) + " is too large to compute with.") + "}";
    return out.c_str();
  }
  const kavrin::StepCounts counts = kavrin::ReadStepCounts(steps);
  if (!counts.error.empty()) {
    out = "{\"failure\":" + Json("N: " + counts.error + ".") + "}";
    return out.c_str();
  }
  options.steps = counts.counts;
  for (const char* p = methods; *p != '\0'; ++p)
    if (*p >= '0' && *p < '0' + static_cast<int>(kavrin::kMethodCount)) options.methods.push_back(Method(*p - '0'));
  if (options.methods.empty()) {
    out = "{\"failure\":" + Json("Choose at least one method.") + "}";
    return out.c_str();
  }
  const kavrin::Study study = kavrin::RunStudy(options);
  const kavrin::StudyTableCells table = kavrin::StudyTable(study);
  out = "{\"header\":[";
  for (const std::string& cell : table.header) out += (&cell == &table.header.front() ? "" : ",") + Json(cell);
  out += "],\"rows\":[";
  for (const auto& row : table.rows) {
    out += &row == &table.rows.front() ? "[" : ",[";
    for (const std::string& cell : row) out += (&cell == &row.front() ? "" : ",") + Json(cell);
    out += ']';
  }
  out += "],\"notes\":[";
  bool first = true;
  if (!study.reference.valid()) {
    out += Json(kavrin::NoReferenceText(study));
    first = false;
  }
  for (const std::string& failure : kavrin::FailedRuns(study)) {
    out += (first ? "" : ",") + Json(failure);
    first = false;
  }
  if (study.reference.valid()) {
    std::string orders = "Fitted orders:";
    for (const kavrin::Method method : options.methods)
      orders += std::string(method == options.methods.front() ? " " : "; ") + std::string(kavrin::Info(method).id) +
                " " + kavrin::OrderText(study, method);
    out += (first ? "" : ",") + Json(orders);
  }

  out += "],\"chart\":" + kavrin::ChartJson(kavrin::StudyChart(study, width, height, TextWidth)) + "}";
  return out.c_str();
}

}  // extern "C"
