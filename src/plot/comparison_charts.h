#pragma once

#include <cstddef>
#include <vector>

#include "core/comparison.h"
#include "plot/chart.h"

namespace kavrin {

// The titles the saved pictures carry.
inline constexpr char kPhaseChartTitle[] = "Kavrin phase plane";
inline constexpr char kAlongChartTitle[] = "Kavrin error along x";

// The steps a chart draws of a march of `steps` steps in `columns` pixel
// columns: all of them when they are few, else one per column, the first
// and the last always among them.
std::vector<std::size_t> SampledSteps(std::size_t steps, std::size_t columns);

// The phase plane: y1 across, y2 up. Under the paths a direction field of
// short segments of one length, evenly spaced, each along (f1, f2) at the
// field's x; each method's path in its colour (markers at the steps when
// they are few); the reference path over them; the start marked; a legend
// that says where a failed path ended. The ranges hold the paths with a
// margin (a path running off past every other is clipped at the frame).
Chart PhaseChart(const Comparison& comparison, ChartSize size, const TextWidth& measure);

// Each method's error against x on a logarithmic axis, over the rounding
// floor of double; a value equal to the reference to the last bit sits on
// the floor. Without a reference, the chart says why.
Chart ErrorAlongChart(const Comparison& comparison, ChartSize size, const TextWidth& measure);

// The invariant's drift H - H(start) against x for each method; the chart
// says how many of the points drawn H has no value at, or that there is no
// invariant.
Chart DriftChart(const Comparison& comparison, ChartSize size, const TextWidth& measure);

// The error chart over the drift chart, each half of `size`, as one picture.
// The step size along x of the comparison's methods that have an embedded
// pair, under its tolerance; without them, why there are none.
Chart StepSizeAlongChart(const Comparison& comparison, ChartSize size, const TextWidth& measure);

Chart ErrorAndDriftChart(const Comparison& comparison, ChartSize size, const TextWidth& measure);

}  // namespace kavrin
