// The calculation, the plot and the convergence study for the browser page:
// plain C functions over the same core and plot as the desktop program. The
// page keeps one calculation state, as the window does, and reads texts and
// pixels back through the pointers these return.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/calculation.h"
#include "core/study.h"
#include "core/study_report.h"
#include "ode/failure.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"

namespace {

using kavrin::Calculation;
using kavrin::Failure;
using kavrin::Method;

struct Page {
  Calculation calculation;
  kavrin::RasterImage picture{kavrin::Rgb{255, 255, 192}};
  std::string failure;
  kavrin::Study study;
  std::string report;
};

// The numbers of a comma-separated list, up to the first that does not read.
std::vector<double> Numbers(const char* text) {
  std::vector<double> numbers;
  for (const char* p = text; *p != '\0'; ++p) {
    char* end = nullptr;
    const double n = std::strtod(p, &end);
    if (end == p) break;
    numbers.push_back(n);
    p = end;
    if (*p != ',') break;
  }
  return numbers;
}

Page& State() {
  static Page page;
  return page;
}

}  // namespace

extern "C" {

// Sizes the picture, in pixels (the desktop's is 317 x 245 at scale 1).
EMSCRIPTEN_KEEPALIVE void kv_resize(int width, int height) { State().picture.Resize(width, height); }

// One press of CALCULATE with the window's fixed start and the texts of x1
// and N; returns 1 when it failed (kv_failure says why). As in the window, a
// failure keeps what was done before it.
EMSCRIPTEN_KEEPALIVE int kv_calculate(const char* x1, const char* N, int method) {
  Page& page = State();
  page.failure.clear();
  try {
    kavrin::CommandVariables v = page.calculation.Calculate({"0", "1", "-1", x1, N}, static_cast<Method>(method), ".");
    kavrin::Graphic(page.calculation.N(), page.calculation.tables(), v.x0, v.x1, page.picture);
  } catch (const Failure& failure) {
    page.failure = failure.what();
  } catch (const std::bad_alloc&) {
    page.failure = "Out of memory: the calculation needed more memory than the browser could provide";
  }
  return page.failure.empty() ? 0 : 1;
}

EMSCRIPTEN_KEEPALIVE const char* kv_failure() { return State().failure.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* kv_step_text() { return State().calculation.step_text().c_str(); }
EMSCRIPTEN_KEEPALIVE int kv_line_count() { return static_cast<int>(State().calculation.lines().size()); }
EMSCRIPTEN_KEEPALIVE const char* kv_line(int i) {
  return State().calculation.lines()[static_cast<std::size_t>(i)].c_str();
}
// The picture's pixels, 0xAARRGGBB, row by row.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* kv_pixels() { return State().picture.pixels(); }
EMSCRIPTEN_KEEPALIVE int kv_width() { return State().picture.PixelWidth(); }
EMSCRIPTEN_KEEPALIVE int kv_height() { return State().picture.PixelHeight(); }

// The convergence study: steps and methods as comma-separated whole numbers
// (methods by their place in the list, 0 to 6). Returns its CSV report.
EMSCRIPTEN_KEEPALIVE const char* kv_study(double x1, const char* steps, const char* methods) {
  Page& page = State();
  kavrin::StudyOptions options;
  options.x1 = x1;
  options.threads = 1;
  options.steps = Numbers(steps);
  for (const double m : Numbers(methods)) options.methods.push_back(static_cast<Method>(m));
  page.study = kavrin::RunStudy(options);
  page.report = kavrin::StudyReport(page.study, kavrin::ReportFormat::Csv);
  return page.report.c_str();
}

// Of the last study: its floor at N steps, and its reference.
EMSCRIPTEN_KEEPALIVE double kv_study_floor(double N) { return State().study.Floor(N); }
EMSCRIPTEN_KEEPALIVE int kv_study_has_reference() { return State().study.reference.valid() ? 1 : 0; }

}  // extern "C"
