#pragma once

#include <string>
#include <vector>

#include "core/adaptive_run.h"
#include "plot/chart.h"

namespace kavrin {

inline constexpr char kStepSizeChartTitle[] = "Kavrin step size along x";

// The step size h of each adaptive run against x on a logarithmic axis: the
// accepted steps as a line with a marker each (where they are few enough),
// the rejected tries as crosses at the x they started from; the legend
// gives each run's steps, rejections and evaluations.
// Without runs it says `empty`.
Chart StepSizeChart(const std::vector<AdaptiveRun>& runs, ChartSize size, const TextWidth& measure,
                    const std::string& empty = "No steps to show.");

}  // namespace kavrin
