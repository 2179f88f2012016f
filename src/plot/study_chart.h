#pragma once

#include "core/study.h"
#include "plot/chart.h"

namespace kavrin {

// Each method's colour and marker on the study's chart, in the method
// table's order: Okabe and Ito's colours, which stay apart for colour-blind
// readers (their yellow, too pale on white, replaced by black).
Rgb MethodColour(Method method);
MarkerShape MethodMarker(Method method);

// The convergence study as a chart of width x height pixels: each method's
// error against N on logarithmic scales, in its colour and marker (hollow at
// the floor), the floor of round-off and the reference's error as a band
// with its label, decade ticks with labels thinned so that none overlap,
// dashed guide slopes of orders 1, 2, 4 and 5 clipped to the frame with
// labels placed where they overlap nothing, axis titles and a legend with
// each method's observed order (beside the frame, or below it when the
// chart is narrow).
Chart StudyChart(const Study& study, int width, int height, const TextWidth& measure);

}  // namespace kavrin
