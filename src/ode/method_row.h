#pragma once

#include <string_view>

#include "ode/appearance.h"

namespace kavrin {

// What every face shows and says of one step method; each step type carries
// its own as kRow.
struct MethodRow {
  std::string_view id;           // on the command line, on the page and in files: "rk4"
  std::string_view caption;      // beside its choice: "Runge-Kutta 4"
  std::string_view result_name;  // at the end of the result line: "Runge-Kutta-4 Method"
  int order;                     // order of convergence
  int stages;                    // evaluations of the system per step
  Rgb colour;                    // on charts
  MarkerShape marker;
};

}  // namespace kavrin
