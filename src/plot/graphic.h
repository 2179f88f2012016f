#pragma once

#include <optional>

#include "core/calculation.h"
#include "core/failure.h"
#include "core/solution_tables.h"
#include "plot/drawing_surface.h"

namespace kavrin {

// The picture's colours: y1 red, y2 blue, a light grey grid, black axes on
// pale yellow (which the About window shares).
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kGridGrey{230, 230, 230};
inline constexpr Rgb kAxisBlack{0, 0, 0};
inline constexpr Rgb kPaleYellow{255, 255, 192};

// Draws entries 0 to N of the tables: y1 in red and y2 in blue against x, a
// light grey grid of spacing 0.1 and the two axes, in a view that spans the
// values and the range from the start to x_max (the target point), takes in
// the origin and leaves a tenth of each extent as margin. A table index
// outside the tables, an overflow, or a coordinate beyond the
// single-precision range throws a Failure; what was drawn before it stays.
void Graphic(double N, const SolutionTables& tables, double x_max, DrawingSurface& surface);

// The picture of the last press, as every face draws it; the failure that
// stopped it, if any, with what was drawn before it kept.
std::optional<Failure> DrawPicture(const Calculation& calculation, DrawingSurface& surface);

}  // namespace kavrin
