#pragma once

#include "core/stability.h"
#include "plot/chart.h"

namespace kavrin {

inline constexpr char kStabilityChartTitle[] = "Kavrin stability regions";

// The complex plane with each chosen method's region |R(z)| <= 1 filled in a
// light tint of its colour (the largest first, so that each shows) and
// outlined in its colour, the axes through the origin, and h·lambda of the
// system along the reference for the study's N, from x0 (a ring) to where
// the path ends; the legend names each method's intervals and where h·lambda
// leaves its region.
Chart StabilityChart(const StabilityStudy& study, ChartSize size, const TextWidth& measure);

}  // namespace kavrin
