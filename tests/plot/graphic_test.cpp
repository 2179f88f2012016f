// The plot algorithm against a surface that records what it is asked to draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/calculation.h"
#include "core/failure.h"
#include "plot/graphic.h"
#include "plot/raster_image.h"

namespace kavrin {
namespace {

struct Segment {
  float xa, ya, xb, yb;
  bool foreground;
  Rgb colour;
};

class RecordingSurface : public DrawingSurface {
 public:
  int clears = 0;
  std::vector<double> bounds;  // left, top, right, bottom of the last Scale
  std::vector<Segment> segments;

  void Cls() override {
    ++clears;
    segments.clear();
  }
  void Scale(double left, double top, double right, double bottom) override { bounds = {left, top, right, bottom}; }
  void Line(float xa, float ya, float xb, float yb, Rgb colour) override {
    segments.push_back({xa, ya, xb, yb, false, colour});
  }
  void Line(float xa, float ya, float xb, float yb) override { segments.push_back({xa, ya, xb, yb, true, {}}); }
  int PixelWidth() const override { return 317; }
  int PixelHeight() const override { return 245; }

  std::vector<Segment> Coloured(Rgb colour) const {
    std::vector<Segment> out;
    for (const Segment& s : segments)
      if (!s.foreground && s.colour == colour) out.push_back(s);
    return out;
  }
  std::vector<Segment> Axes() const {
    std::vector<Segment> out;
    for (const Segment& s : segments)
      if (s.foreground) out.push_back(s);
    return out;
  }
};

class GraphicTest : public ::testing::Test {
 protected:
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  RecordingSurface surface;

  // Runs a calculation from the given start and plots it as the window does.
  void Plot(const std::string& x1, const std::string& N, const std::string& y1_0 = "1", const std::string& y2_0 = "-1",
            const std::string& x0 = "0", Method method = Method::Euler) {
    calc.Calculate({x0, y1_0, y2_0, x1, N}, method, ".");
    Graphic(calc.N(), calc.tables(), calc.x1(), surface);
  }
};

TEST_F(GraphicTest, WorkedExampleWithTheInitialInputs) {
  Plot("0.1", "1");
  EXPECT_EQ(surface.clears, 1);
  const double dx = 0.1 * 0.1;
  EXPECT_EQ(surface.bounds, (std::vector<double>{0 - dx, 1.2, 0.1 + dx, -1.2}));

  const auto red = surface.Coloured(kRed);
  const auto blue = surface.Coloured(kBlue);
  ASSERT_EQ(red.size(), 1u);
  ASSERT_EQ(blue.size(), 1u);
  EXPECT_EQ(red[0].xa, 0.0f);
  EXPECT_EQ(red[0].ya, 1.0f);
  EXPECT_EQ(red[0].xb, 0.1f);
  EXPECT_EQ(red[0].yb, 0.9f);
  EXPECT_EQ(blue[0].yb, -0.9f);
  // Red before blue, the grid after the curves, the axes last.
  EXPECT_EQ(surface.segments[0].colour, kRed);
  EXPECT_EQ(surface.segments[1].colour, kBlue);

  const auto grid = surface.Coloured(kGridGrey);
  ASSERT_EQ(grid.size(), 2u + 11u);
  EXPECT_EQ(grid[0].xa, 0.0f);
  EXPECT_EQ(grid[1].xa, 0.1f);
  EXPECT_EQ(grid[1].ya, -1.0f);
  EXPECT_EQ(grid[1].yb, 1.0f);
  EXPECT_EQ(grid[2].ya, 0.0f);  // first horizontal line: the x axis height
  EXPECT_EQ(grid[2].xb, 0.1f);
  EXPECT_EQ(grid[12].ya, static_cast<float>(-0.9999999999999999));

  const auto axes = surface.Axes();
  ASSERT_EQ(axes.size(), 2u);
  EXPECT_EQ(axes[0].xa, -0.1f);
  EXPECT_EQ(axes[0].xb, 0.1f);
  EXPECT_EQ(axes[1].ya, -1.0f);
  EXPECT_EQ(axes[1].yb, 1.0f);
  EXPECT_EQ(surface.segments.back().foreground, true);
}

TEST_F(GraphicTest, NoStepStillDrawsGridAndAxes) {
  Plot("1", "0.4");
  EXPECT_TRUE(surface.Coloured(kRed).empty());
  EXPECT_TRUE(surface.Coloured(kBlue).empty());
  EXPECT_EQ(surface.Axes().size(), 2u);
  EXPECT_FALSE(surface.Coloured(kGridGrey).empty());
}

TEST_F(GraphicTest, ZeroExtentLeavesThePictureCleared) {
  // x0 = x1 = 0 gives a view of zero width.
  Plot("0", "3");
  EXPECT_EQ(surface.clears, 1);
  EXPECT_EQ(surface.bounds[0], surface.bounds[2]);
  EXPECT_TRUE(surface.segments.empty());
}

TEST_F(GraphicTest, GridLinesFollowTheAccumulatedPositions) {
  // xMax = 2: the 21st position is 2.0000000000000004, within the tolerance.
  Plot("2", "1");
  std::vector<float> vertical;
  for (const Segment& s : surface.Coloured(kGridGrey))
    if (s.xa == s.xb) vertical.push_back(s.xa);
  ASSERT_EQ(vertical.size(), 21u);
  EXPECT_EQ(vertical.back(), static_cast<float>(2.0000000000000004));

  Plot("0.3", "1");
  vertical.clear();
  for (const Segment& s : surface.Coloured(kGridGrey))
    if (s.xa == s.xb) vertical.push_back(s.xa);
  ASSERT_EQ(vertical.size(), 4u);
  EXPECT_EQ(vertical[3], static_cast<float>(0.30000000000000004));
}

TEST_F(GraphicTest, HorizontalGridStopsAtTheLowestValueWithoutTolerance) {
  // All values >= 0: the only horizontal line is y = 0.
  Plot("0.1", "1", "1", "1");
  int horizontal = 0;
  for (const Segment& s : surface.Coloured(kGridGrey)) horizontal += s.ya == s.yb ? 1 : 0;
  EXPECT_EQ(horizontal, 1);
  // Lowest value -0.3: lines at 0, -0.1, -0.2; the accumulated -0.30000000000000004 is below it.
  Plot("0.1", "0.4", "1", "-0.3");
  std::vector<float> rows;
  for (const Segment& s : surface.Coloured(kGridGrey))
    if (s.ya == s.yb) rows.push_back(s.ya);
  EXPECT_EQ(rows, (std::vector<float>{0.0f, -0.1f, static_cast<float>(-0.1 + -0.1)}));
}

TEST_F(GraphicTest, BackwardIntegrationStaysInView) {
  Plot("-1", "10");
  // The range runs from the target -1 to the start 0, with margins.
  EXPECT_EQ(surface.bounds[0], -1 - 0.1);
  EXPECT_EQ(surface.bounds[2], 0 + (1 * 0.1));
  EXPECT_EQ(surface.Coloured(kRed).size(), 10u);
  EXPECT_EQ(surface.Axes()[0].xa, -1.0f);
}

TEST_F(GraphicTest, StartLeftOfTheOriginWidensTheAxes) {
  // x0 = -1, x1 = 0.5: view -1.15 to 0.65; axes and horizontal grid from -1 to 1.
  Plot("0.5", "5", "1", "-1", "-1");
  EXPECT_EQ(surface.bounds[0], -1 - 1.5 * 0.1);
  EXPECT_EQ(surface.bounds[2], 0.5 + 1.5 * 0.1);
  EXPECT_EQ(surface.Axes()[0].xa, -1.0f);
  EXPECT_EQ(surface.Axes()[0].xb, 1.0f);
  // Vertical lines from 0 rightwards; those beyond the view's right edge are not drawn.
  std::vector<float> vertical;
  for (const Segment& s : surface.Coloured(kGridGrey))
    if (s.xa == s.xb) vertical.push_back(s.xa);
  ASSERT_EQ(vertical.size(), 7u);
  EXPECT_EQ(vertical.front(), 0.0f);
  EXPECT_LT(vertical.back(), 0.65f);
}

TEST_F(GraphicTest, GridsTooDenseToReadAreLeftOut) {
  auto grid_lines = [this] {
    std::pair<int, int> vertical_horizontal{0, 0};
    for (const Segment& s : surface.Coloured(kGridGrey))
      (s.xa == s.xb ? vertical_horizontal.first : vertical_horizontal.second)++;
    return vertical_horizontal;
  };
  // x1 = 10^9 and values near +-10^9: lines far closer than a pixel, and the
  // loops would run 10^10 times.
  Plot("1e9", "1");
  EXPECT_EQ(grid_lines(), std::make_pair(0, 0));
  // Values in the 10^20s, where adding 0.1 no longer moves the position; x
  // spans [0, 1], where the lines stand about 26 pixels apart.
  Plot("1", "0.4", "1e20", "-3e20");
  EXPECT_EQ(grid_lines(), std::make_pair(11, 0));
  // Backwards to -1 with Euler mid-point: y spans about 17, so horizontal
  // lines would stand a pixel apart and hide the blue curve.
  Plot("-1", "20", "1", "-1", "0", Method::EulerMP);
  EXPECT_GT(grid_lines().first, 0);
  EXPECT_EQ(grid_lines().second, 0);
}

TEST_F(GraphicTest, CoordinatesBeyondSinglePrecisionAreOverflows) {
  // y2 = 1e39 cannot be drawn: the red segment of step 1 is, the blue one fails.
  try {
    Plot("1e-30", "1", "0", "1e39");
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind, FailureKind::Overflow);
    EXPECT_NE(Describe(failure).find("too large to plot"), std::string::npos);
  }
  EXPECT_EQ(surface.clears, 1);
  EXPECT_EQ(surface.bounds.size(), 4u);
  ASSERT_EQ(surface.segments.size(), 1u);
  EXPECT_EQ(surface.segments[0].colour, kRed);
}

TEST_F(GraphicTest, TablesShorterThanNFailBeforeDrawing) {
  calc.Calculate({"0", "1", "-1", "1", "2"}, Method::Euler, ".");
  EXPECT_THROW(Graphic(5, calc.tables(), 1, surface), Failure);
  EXPECT_EQ(surface.clears, 0);
  SolutionTables never_sized;
  EXPECT_THROW(Graphic(1, never_sized, 1, surface), Failure);
}

// The plot's steps written out plainly, with every grid line of the loops in
// each direction whose lines stand at least 3 pixels apart.
void PlainGraphic(double N, const SolutionTables& t, double xMax, DrawingSurface& surface) {
  double xMin = std::min(t.x(0), xMax);
  xMax = std::max(t.x(0), xMax);
  double yMax = -1000, yMin = 1000;
  for (int i = 0; i <= N; ++i) {
    yMax = std::max({yMax, t.y1(i), t.y2(i)});
    yMin = std::min({yMin, t.y1(i), t.y2(i)});
  }
  xMax = std::max(xMax, 0.0);
  xMin = std::min(xMin, 0.0);
  yMax = std::max(yMax, 0.0);
  yMin = std::min(yMin, 0.0);
  const double dx = std::fabs(xMax - xMin) * 0.1, dy = std::fabs(yMax - yMin) * 0.1;
  surface.Cls();
  surface.Scale(xMin - dx, yMax + dy, xMax + dx, yMin - dy);
  const bool vertical = 0.1 * surface.PixelWidth() / ((xMax + dx) - (xMin - dx)) >= 3;
  const bool horizontal = 0.1 * surface.PixelHeight() / ((yMax + dy) - (yMin - dy)) >= 3;
  auto f = [](double v) { return static_cast<float>(v); };
  for (int i = 1; i <= N; ++i) {
    surface.Line(f(t.x(i - 1)), f(t.y1(i - 1)), f(t.x(i)), f(t.y1(i)), kRed);
    surface.Line(f(t.x(i - 1)), f(t.y2(i - 1)), f(t.x(i)), f(t.y2(i)), kBlue);
  }
  if (std::fabs(xMin) > xMax) xMax = std::fabs(xMin);
  if (std::fabs(yMin) > yMax) yMax = std::fabs(yMin);
  const double xBound = xMax + 0.0000001;
  for (double g = 0; vertical && g <= xBound; g = g + 0.1) surface.Line(f(g), f(yMin), f(g), f(yMax), kGridGrey);
  for (double g = 0; horizontal && g >= yMin; g = g + -0.1) surface.Line(f(xMin), f(g), f(xMax), f(g), kGridGrey);
  surface.Line(f(-xMax), 0, f(xMax), 0);
  surface.Line(0, f(-yMax), 0, f(yMax));
}

struct GridCase {
  const char* name;
  const char* x0;
  const char* x1;
  const char* N;
  Method method = Method::Euler;
};

void PrintTo(const GridCase& c, std::ostream* os) { *os << c.name; }

class GridTest : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridTest, DrawsTheSamePixelsAsEveryReadableGridLine) {
  const GridCase& c = GetParam();
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  calc.Calculate({c.x0, "1", "-1", c.x1, c.N}, c.method, ".");
  RasterImage economical(Rgb{255, 255, 192}), plain(Rgb{255, 255, 192});
  for (RasterImage* image : {&economical, &plain}) image->Resize(317, 245);
  Graphic(calc.N(), calc.tables(), calc.x1(), economical);
  PlainGraphic(calc.N(), calc.tables(), calc.x1(), plain);
  EXPECT_TRUE(std::equal(economical.pixels(), economical.pixels() + 317 * 245, plain.pixels()));
}

INSTANTIATE_TEST_SUITE_P(Views, GridTest,
                         ::testing::Values(GridCase{"WorkedExample", "0", "0.1", "1"},
                                           GridCase{"LinesAFewPixelsApart", "0", "2", "40"},
                                           GridCase{"TenThousandLinesPerAxis", "0", "1000", "1"},
                                           GridCase{"TwoMillionLinesPerAxis", "0", "2e5", "1"},
                                           GridCase{"Backwards", "0", "-1", "10"},
                                           GridCase{"StartLeftOfTheOrigin", "-1", "0.5", "5"},
                                           GridCase{"BackwardsMidPoint", "0", "-1", "20", Method::EulerMP}),
                         [](const ::testing::TestParamInfo<GridCase>& info) { return std::string(info.param.name); });

// Where the grid would be too dense, the blue curve shows as a curve, not as
// the dashes left between grid lines drawn over it.
TEST(DenseGrid, LeavesTheCurveVisible) {
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  calc.Calculate({"0", "1", "-1", "-1", "20"}, Method::EulerMP, ".");
  RasterImage plot(Rgb{255, 255, 192});
  plot.Resize(317, 245);
  Graphic(calc.N(), calc.tables(), calc.x1(), plot);
  // The curves alone, in the same view.
  RecordingSurface recorder;
  Graphic(calc.N(), calc.tables(), calc.x1(), recorder);
  RasterImage curves(Rgb{255, 255, 192});
  curves.Resize(317, 245);
  curves.Scale(recorder.bounds[0], recorder.bounds[1], recorder.bounds[2], recorder.bounds[3]);
  const SolutionTables& t = calc.tables();
  curves.Curves(t.x_data(), t.y1_data(), t.y2_data(), t.filled(), kRed, kBlue);
  auto blue = [](const RasterImage& image) {
    return std::count(image.pixels(), image.pixels() + 317 * 245, PixelValue(kBlue));
  };
  EXPECT_GT(blue(curves), 100);
  EXPECT_GE(blue(plot), blue(curves) * 9 / 10);
}

// A picture that was never given a size (a window not yet shown) has no
// pixels: the plot draws nothing there instead of writing outside it.
TEST(RasterImageWithoutPixels, DrawsNothing) {
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  calc.Calculate({"0", "1", "-1", "2", "200"}, Method::RK4, ".");
  RasterImage unsized(Rgb{255, 255, 192});
  Graphic(calc.N(), calc.tables(), calc.x1(), unsized);
  EXPECT_EQ(unsized.PixelWidth(), 0);
  unsized.Resize(1, 1);
  Graphic(calc.N(), calc.tables(), calc.x1(), unsized);
  EXPECT_NE(unsized.Pixel(0, 0), (Rgb{255, 255, 192}));
}

// Curves drawn by several threads, each into a layer of its own, give the
// pixels of drawing in order, and an overflow partway the same pixels and
// report; for real runs and for synthetic curves that cross at every step.
// Synthetic curves instead of a march, of `points` points.
enum class Shape {
  March,     // the calculation's tables
  Crossing,  // curves that cross at every step
  Slow,      // smooth curves that cross a few times, x monotone
  Zigzag,    // x going back and forth
};

struct PlotCase {
  const char* name;
  std::string x1, N;
  Method method;
  Shape shape = Shape::March;
  std::size_t points = 20001;
  double overflow_at = 0;  // > 0: y2 at this fraction of the steps becomes 1e39
};

void PrintTo(const PlotCase& c, std::ostream* os) { *os << c.name; }

// Draws every segment by itself, in order: the picture every faster way of
// drawing must give.
class SegmentBySegment : public RasterImage {
 public:
  using RasterImage::RasterImage;
  void Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first, Rgb second) override {
    // NOLINTNEXTLINE(bugprone-parent-virtual-call): the plain way, which the image's own must match
    DrawingSurface::Curves(x, y1, y2, points, first, second);
  }
};

class FastPlotTest : public ::testing::TestWithParam<PlotCase> {
 protected:
  Calculation calc{[] { return std::uint64_t{1} << 40; }};
  SolutionTables synthetic;

  const SolutionTables& Tables(double& N, double& x1) {
    const PlotCase& c = GetParam();
    if (c.shape == Shape::March) {
      calc.Calculate({"0", "1", "-1", c.x1, c.N}, c.method, ".");
      N = calc.N();
      x1 = calc.x1();
      return calc.tables();
    }
    const std::size_t n = c.points - 1;
    synthetic.Reset(n + 2);
    for (std::size_t i = 0; i <= n; ++i) {
      const double t = static_cast<double>(i) / static_cast<double>(n);
      synthetic.x_data()[i] = c.shape == Shape::Zigzag ? t + (i % 2 == 0 ? 0.0 : 0.003) : t;
      synthetic.y1_data()[i] = c.shape == Shape::Crossing ? std::sin(i * 0.37) : std::sin(t * 9);
      synthetic.y2_data()[i] = c.shape == Shape::Crossing ? std::cos(i * 0.41) : std::cos(t * 7);
    }
    if (c.overflow_at > 0) synthetic.y2_data()[static_cast<std::size_t>(n * c.overflow_at)] = 1e39;
    synthetic.set_filled(n + 1);
    N = static_cast<double>(n);
    x1 = 1;
    return synthetic;
  }

  // The picture and the report (empty when none), drawn with the given
  // threads, or segment by segment.
  std::pair<std::vector<std::uint32_t>, std::string> Draw(unsigned threads, bool segment_by_segment = false) {
    double N = 0, x1 = 0;
    const SolutionTables& t = Tables(N, x1);
    RasterImage fast(Rgb{255, 255, 192});
    SegmentBySegment plain(Rgb{255, 255, 192});
    RasterImage& image = segment_by_segment ? plain : fast;
    image.Resize(317, 245);
    image.set_threads(threads);
    const std::optional<Failure> failure = Caught([&] { Graphic(N, t, x1, image); });
    return {std::vector<std::uint32_t>(image.pixels(), image.pixels() + 317 * 245),
            failure ? Describe(*failure) : std::string()};
  }
};

// On any number of threads, in shares or column by column, the pixels and
// the report are those of drawing every segment in order.
TEST_P(FastPlotTest, EqualsDrawingEverySegmentInOrder) {
  const auto in_order = Draw(1, true);
  EXPECT_EQ(!in_order.second.empty(), GetParam().overflow_at > 0) << in_order.second;
  for (const unsigned threads : {1u, 2u, 4u}) {
    const auto fast = Draw(threads);
    EXPECT_EQ(fast.second, in_order.second) << threads << " threads";
    EXPECT_TRUE(fast.first == in_order.first) << threads << " threads";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FastPlotTest,
    ::testing::Values(PlotCase{"WorkedExample", "0.1", "1", Method::Euler},
                      PlotCase{"Backward", "-1", "20", Method::EulerMP},
                      PlotCase{"MillionSteps", "2", "1e6", Method::RK4},
                      PlotCase{"MillionStepsBackward", "-1.3", "1e6", Method::RK4},
                      PlotCase{"CrossingAtEveryStep", "", "", Method::Euler, Shape::Crossing},
                      PlotCase{"CrossingInEveryColumn", "", "", Method::Euler, Shape::Crossing, 1000001},
                      PlotCase{"CrossingSometimes", "", "", Method::Euler, Shape::Slow, 1000001},
                      PlotCase{"ZigzagX", "", "", Method::Euler, Shape::Zigzag, 1000001},
                      PlotCase{"OverflowInTheLastShare", "", "", Method::Euler, Shape::Crossing, 20001, 0.9},
                      PlotCase{"OverflowInTheFirstShare", "", "", Method::Euler, Shape::Crossing, 20001, 0.1},
                      PlotCase{"OverflowAmongColumns", "", "", Method::Euler, Shape::Slow, 1000001, 0.5}),
    [](const ::testing::TestParamInfo<PlotCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavrin
