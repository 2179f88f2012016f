#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ode/wide.h"

namespace kavrin {

// What a function's Taylor recurrence works on: coefficient k of its result
// r (and of the companion series u and w that some recurrences carry), from
// coefficients 0 to k of its arguments a and b and 0 to k - 1 of its own.
// The coefficients are long double (the study's reference) or double-double
// (the reference along x, the same on every machine).
template <typename Real>
struct TaylorTermOf {
  const Real* a;
  const Real* b;
  Real* r;
  Real* u;
  Real* w;
  std::size_t k;
  // abs: the sign of its argument on this side of a kink, kept from term to
  // term; and the way the integration runs (+1 or -1), which tells the sign
  // at the kink itself.
  long double* sign;
  long double direction;
};
using TaylorTerm = TaylorTermOf<long double>;

// The sums the recurrences are made of, for coefficient k:
// sum over j = from..to of j * p[j] * q[k - j], and the Cauchy product.
template <typename Real>
Real Weighted(const Real* p, const Real* q, std::size_t k, std::size_t from, std::size_t to) {
  Real sum(0);
  for (std::size_t j = from; j <= to; ++j) sum = sum + static_cast<Real>(static_cast<double>(j)) * p[j] * q[k - j];
  return sum;
}
template <typename Real>
Real Cauchy(const Real* p, const Real* q, std::size_t k) {
  Real sum(0);
  for (std::size_t j = 0; j <= k; ++j) sum = sum + p[j] * q[k - j];
  return sum;
}

// One function of the equation language. Everything the program knows of a
// function is in its row: adding a function is a row and its recurrence.
struct FunctionRow {
  std::string_view name;  // as typed: "sin"
  int arity;              // its arguments, 1 or 2, separated by commas
  // Its value in double (the runs), in long double (the wide runs and the
  // reference) and in double-double where that is the wide type (none: the
  // double value).
  double (*value)(double a, double b);
  long double (*wide)(long double a, long double b);
  DoubleDouble (*double_double)(const DoubleDouble& a);
  // Whether finite arguments lie in its domain: outside it a non-finite
  // result is a domain error, inside it an overflow.
  bool (*in_domain)(double a, double b);
  // Coefficient k of its Taylor series, in long double and in
  // double-double; false where it has none (outside its domain, or where it
  // is not analytic).
  bool (*taylor)(const TaylorTerm& term);
  bool (*taylor_dd)(const TaylorTermOf<DoubleDouble>& term);
  // Its derivative jumps where its argument changes sign: a series ends
  // there and the next starts anew.
  bool kink;
  std::string_view help;  // "sine"
};

// Every function, in the order the help lists them.
std::span<const FunctionRow> Functions();

// Whether the functions' double-double series start from values good to
// double-double's last bit (a long double of 113 bits, or the quad library);
// else only to long double's.
bool FunctionsInQuad();

// The row of a name, or null.
const FunctionRow* FunctionNamed(std::string_view name);

// The names, each followed by a blank but the last: "sin cos tan ... abs".
std::string FunctionNames();

// Each function with what it is, one a line: "sin(a): sine".
std::string FunctionGlossary();

}  // namespace kavrin
