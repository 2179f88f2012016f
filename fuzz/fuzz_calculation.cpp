// Fuzzes everything a user's typing reaches: the number reader, the whole
// calculation command with five texts and a method, and the plot of its
// result, whose pixels drawn column by column must be those of drawing every
// segment in order. A finding is a crash, a sanitizer report, a hang, an
// exception that is not a Failure, or a result that breaks the checks below.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "check.h"
#include "core/calculation.h"
#include "core/failure.h"
#include "core/number_text.h"
#include "core/text.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"

namespace {

using kavrin::Failure;

// Counts what the plot draws; the grid may cost at most a line per pixel.
class CountingSurface : public kavrin::DrawingSurface {
 public:
  std::uint64_t lines = 0;
  void Cls() override {}
  void Scale(double, double, double, double) override {}
  void Line(float, float, float, float, kavrin::Rgb) override { ++lines; }
  void Line(float, float, float, float) override { ++lines; }
  int PixelWidth() const override { return 317; }
  int PixelHeight() const override { return 245; }
};

// Draws every segment by itself, in order: the picture the fast paths must give.
class SegmentBySegment : public kavrin::RasterImage {
 public:
  using RasterImage::RasterImage;
  void Curves(const double* x, const double* y1, const double* y2, std::size_t points, kavrin::Rgb first,
              kavrin::Rgb second) override {
    // NOLINTNEXTLINE(bugprone-parent-virtual-call): the plain way, which the image's own must match
    DrawingSurface::Curves(x, y1, y2, points, first, second);
  }
};

// A small picture, so that a few thousand steps fill its columns: drawn
// both ways, the pixels are the same (or both fail alike).
void CheckPicture(const kavrin::Calculation& calc, int width, int height) {
  kavrin::RasterImage fast(kavrin::kPaleYellow, kavrin::kAxisBlack);
  SegmentBySegment plain(kavrin::kPaleYellow, kavrin::kAxisBlack);
  fast.Resize(width, height);
  plain.Resize(width, height);
  const std::optional<Failure> a = kavrin::DrawPicture(calc, fast);
  const std::optional<Failure> b = kavrin::DrawPicture(calc, plain);
  CHECK(a.has_value() == b.has_value());
  CHECK(std::memcmp(fast.pixels(), plain.pixels(), sizeof(std::uint32_t) * width * height) == 0);
}

bool NamesAFailure(const char* what) {
  for (const char* name :
       {"Division by zero: ", "Overflow: ", "Index out of range: ", "Out of memory: ", "No convergence: "})
    if (std::strncmp(what, name, std::strlen(name)) == 0) return true;
  return false;
}

// A plain decimal ([+-]digits[.digits][e[+-]digits]) that strtod reads the same way.
bool PlainDecimal(const std::string& s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t digits = i;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  if (i == digits) return false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    if (i == exponent || i - exponent > 6) return false;
  }
  return i == s.size();
}

void CheckReader(const std::string& text) {
  double value = 0;
  bool overflow = false;
  try {
    value = kavrin::ReadNumber(text);
    CHECK(std::isfinite(value));
  } catch (const Failure& failure) {
    CHECK(failure.kind == kavrin::FailureKind::Overflow);
    overflow = true;
  }
  // Blanks, tabs and line feeds are ignored wherever they stand.
  std::string packed = text;
  packed.erase(std::remove_if(packed.begin(), packed.end(), kavrin::IsBlank), packed.end());
  try {
    const double again = kavrin::ReadNumber(packed);
    CHECK(!overflow && std::memcmp(&again, &value, sizeof value) == 0);
  } catch (const Failure&) {
    CHECK(overflow);
  }
  // Plain decimals read exactly as the C library reads them.
  if (PlainDecimal(packed)) {
    errno = 0;
    const double expected = std::strtod(packed.c_str(), nullptr);
    if (std::isinf(expected))
      CHECK(overflow);
    else
      CHECK(!overflow && value == expected);
  }
}

constexpr std::uint64_t kTableMemory = kavrin::Calculation::kMemoryReserve + 100'000 * 24;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const auto method =
      static_cast<kavrin::Method>(in.ConsumeIntegralInRange<int>(0, static_cast<int>(kavrin::kMethodCount) - 1));
  const char* separator = in.ConsumeBool() ? "," : ".";
  kavrin::InputTexts texts;
  for (std::string* text : {&texts.x0, &texts.y1_0, &texts.y2_0, &texts.x1, &texts.N}) {
    *text = in.ConsumeRandomLengthString(512);
    CheckReader(*text);
  }

  kavrin::Calculation calc([] { return kTableMemory; });
  try {
    calc.Calculate(texts, method, separator);
    CHECK(calc.lines().size() == 2 && calc.lines()[1] == " ");
    const std::string_view name = kavrin::Info(method).result_name;
    CHECK(calc.lines()[0].size() > name.size() && calc.lines()[0].ends_with(name));
    CHECK(!calc.step_text().empty());
    const std::size_t steps = calc.N() >= 1 ? static_cast<std::size_t>(std::floor(calc.N())) : 0;
    CHECK(calc.tables().filled() == steps + 1 && calc.tables().size() >= steps + 1);

    CheckPicture(calc, 31, 23);
    CountingSurface surface;
    try {
      kavrin::Graphic(calc.N(), calc.tables(), calc.x1(), surface);
      CHECK(surface.lines <= 2 * steps + 317 + 245 + 8);
    } catch (const Failure& failure) {
      CHECK(NamesAFailure(Describe(failure).c_str()));
    }
  } catch (const Failure& failure) {
    CHECK(NamesAFailure(Describe(failure).c_str()));
    CHECK(calc.lines().empty());
  }
  return 0;
}
