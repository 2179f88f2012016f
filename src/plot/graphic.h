#pragma once

#include "core/solution_tables.h"
#include "plot/drawing_surface.h"

namespace kavrin {

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kGridGrey{230, 230, 230};

// Draws entries 0 to N of the tables: y1 in red and y2 in blue against x, a
// light grey grid of spacing 0.1 and the two axes, in a view that spans the
// values and the range from the start to xMax, takes in the origin and leaves
// a tenth of each extent as margin. xMax is the caller's target point and is
// changed in place. x0 is not used. A table index outside the tables, an
// overflow, or a coordinate beyond the single-precision range throws a
// Failure; what was drawn before it stays.
void Graphic(double N, const SolutionTables& tables, double& x0, double& xMax, DrawingSurface& surface);

}  // namespace kavrin
