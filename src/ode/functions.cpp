#include "ode/functions.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kavrin {
namespace {

using Real = long double;

bool Anywhere(double, double) { return true; }
Real One(std::size_t k) { return k == 0 ? 1 : 0; }

// exp: r' = r a', so k r_k = sum j a_j r_(k-j).
bool ExpTerm(const TaylorTerm& t) {
  t.r[t.k] = t.k == 0 ? std::exp(t.a[0]) : Weighted(t.a, t.r, t.k, 1, t.k) / static_cast<Real>(t.k);
  return std::isfinite(t.r[t.k]);
}

// log: a r' = a', so a_0 r_k = a_k - (1/k) sum j r_j a_(k-j), j < k.
bool LogTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  if (!(t.a[0] > 0)) return false;
  t.r[k] = k == 0 ? std::log(t.a[0])
                  : (t.a[k] - (k > 1 ? Weighted(t.r, t.a, k, 1, k - 1) / static_cast<Real>(k) : 0)) / t.a[0];
  return true;
}

// sqrt: r r = a, so 2 r_0 r_k = a_k - sum r_j r_(k-j), 0 < j < k.
bool SqrtTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  if (!(t.a[0] > 0)) return false;
  if (k == 0) {
    t.r[0] = std::sqrt(t.a[0]);
    return true;
  }
  Real sum = 0;
  for (std::size_t j = 1; j < k; ++j) sum += t.r[j] * t.r[k - j];
  t.r[k] = (t.a[k] - sum) / (2 * t.r[0]);
  return true;
}

// A function and its companion as a pair: r' = p u a' and u' = q r a', with
// the signs p and q (sin, cos: 1 and -1; sinh, cosh: 1 and 1).
template <Real (*F)(Real), Real (*G)(Real), int P, int Q>
bool PairTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  if (k == 0) {
    t.r[0] = F(t.a[0]);
    t.u[0] = G(t.a[0]);
  } else {
    const Real kk = static_cast<Real>(k);
    t.r[k] = P * Weighted(t.a, t.u, k, 1, k) / kk;
    t.u[k] = Q * Weighted(t.a, t.r, k, 1, k) / kk;
  }
  return std::isfinite(t.r[k]) && std::isfinite(t.u[k]);
}
Real Sin(Real v) { return std::sin(v); }
Real Cos(Real v) { return std::cos(v); }
Real Sinh(Real v) { return std::sinh(v); }
Real Cosh(Real v) { return std::cosh(v); }

// tan' = (1 + tan^2) a', tanh' = (1 - tanh^2) a': u holds the factor.
template <Real (*F)(Real), int Sign>
bool TangentTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  t.r[k] = k == 0 ? F(t.a[0]) : Weighted(t.a, t.u, k, 1, k) / static_cast<Real>(k);
  t.u[k] = One(k) + Sign * Cauchy(t.r, t.r, k);
  return std::isfinite(t.r[k]);
}
Real Tan(Real v) { return std::tan(v); }
Real Tanh(Real v) { return std::tanh(v); }

// asin and acos: r' = +-a'/q with q = sqrt(1 - a^2), so
// k r_k q_0 = k a_k - sum j r_j q_(k-j) for 0 < j < k (acos negated);
// w holds 1 - a^2 and u its root.
template <Real (*F)(Real), int Sign>
bool ArcSineTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  if (!(std::fabs(t.a[0]) < 1)) return false;
  t.w[k] = One(k) - Cauchy(t.a, t.a, k);
  if (k == 0) {
    t.u[0] = std::sqrt(t.w[0]);
    t.r[0] = F(t.a[0]);
    return std::isfinite(t.r[0]);
  }
  Real root = 0;
  for (std::size_t j = 1; j < k; ++j) root += t.u[j] * t.u[k - j];
  t.u[k] = (t.w[k] - root) / (2 * t.u[0]);
  const Real kk = static_cast<Real>(k);
  Real sum = 0;
  for (std::size_t j = 1; j < k; ++j) sum += static_cast<Real>(j) * (Sign * t.r[j]) * t.u[k - j];
  t.r[k] = Sign * (kk * t.a[k] - sum) / (kk * t.u[0]);
  return std::isfinite(t.r[k]);
}
Real Asin(Real v) { return std::asin(v); }
Real Acos(Real v) { return std::acos(v); }

// atan: r' = a'/(1 + a^2), so k r_k u_0 = k a_k - sum j r_j u_(k-j) with
// u = 1 + a^2.
bool AtanTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  t.u[k] = One(k) + Cauchy(t.a, t.a, k);
  if (k == 0) {
    t.r[0] = std::atan(t.a[0]);
    return true;
  }
  const Real kk = static_cast<Real>(k);
  Real sum = 0;
  for (std::size_t j = 1; j < k; ++j) sum += static_cast<Real>(j) * t.r[j] * t.u[k - j];
  t.r[k] = (kk * t.a[k] - sum) / (kk * t.u[0]);
  return std::isfinite(t.r[k]);
}

// |a| = sign(a) a on each side of a kink; at the kink itself, the sign the
// argument takes in the direction of travel (its first non-zero term, which
// changes sign with the direction when its power is odd).
bool AbsTerm(const TaylorTerm& t) {
  const std::size_t k = t.k;
  Real& sign = *t.sign;
  if (k == 0) {
    sign = t.a[0] > 0 ? 1 : t.a[0] < 0 ? -1 : 0;
    t.r[0] = std::fabs(t.a[0]);
    return true;
  }
  if (sign == 0 && t.a[k] != 0) sign = (t.a[k] > 0 ? 1 : -1) * (k % 2 == 1 ? t.direction : 1);
  t.r[k] = sign * t.a[k];
  return true;
}

// A function of one argument in each number type.
template <double (*F)(double)>
double Value(double a, double) {
  return F(a);
}
template <long double (*F)(long double)>
long double Wide(long double a, long double) {
  return F(a);
}

DoubleDouble SqrtDoubleDouble(const DoubleDouble& a) { return sqrt(a); }
DoubleDouble AbsDoubleDouble(const DoubleDouble& a) { return fabs(a); }

bool NonNegative(double a, double) { return a >= 0; }
bool Positive(double a, double) { return a > 0; }
bool WithinOne(double a, double) { return a >= -1 && a <= 1; }

// C library functions by name, without the overload set's ambiguity.
#define KAVRIN_UNARY(f)                       \
  double f##D(double v) { return std::f(v); } \
  long double f##L(long double v) { return std::f(v); }
KAVRIN_UNARY(sin)
KAVRIN_UNARY(cos)
KAVRIN_UNARY(tan)
KAVRIN_UNARY(asin)
KAVRIN_UNARY(acos)
KAVRIN_UNARY(atan)
KAVRIN_UNARY(sinh)
KAVRIN_UNARY(cosh)
KAVRIN_UNARY(tanh)
KAVRIN_UNARY(exp)
KAVRIN_UNARY(log)
KAVRIN_UNARY(sqrt)
KAVRIN_UNARY(fabs)
#undef KAVRIN_UNARY

#define KAVRIN_VALUES(f) Value<f##D>, Wide<f##L>

const std::array kTable = {
    FunctionRow{"sin", 1, KAVRIN_VALUES(sin), nullptr, Anywhere, PairTerm<Sin, Cos, 1, -1>, false, "sine"},
    FunctionRow{"cos", 1, KAVRIN_VALUES(cos), nullptr, Anywhere, PairTerm<Cos, Sin, -1, 1>, false, "cosine"},
    FunctionRow{"tan", 1, KAVRIN_VALUES(tan), nullptr, Anywhere, TangentTerm<Tan, 1>, false, "tangent"},
    FunctionRow{"asin", 1, KAVRIN_VALUES(asin), nullptr, WithinOne, ArcSineTerm<Asin, 1>, false,
                "arc sine, of -1 to 1"},
    FunctionRow{"acos", 1, KAVRIN_VALUES(acos), nullptr, WithinOne, ArcSineTerm<Acos, -1>, false,
                "arc cosine, of -1 to 1"},
    FunctionRow{"atan", 1, KAVRIN_VALUES(atan), nullptr, Anywhere, AtanTerm, false, "arc tangent"},
    FunctionRow{"sinh", 1, KAVRIN_VALUES(sinh), nullptr, Anywhere, PairTerm<Sinh, Cosh, 1, 1>, false,
                "hyperbolic sine"},
    FunctionRow{"cosh", 1, KAVRIN_VALUES(cosh), nullptr, Anywhere, PairTerm<Cosh, Sinh, 1, 1>, false,
                "hyperbolic cosine"},
    FunctionRow{"tanh", 1, KAVRIN_VALUES(tanh), nullptr, Anywhere, TangentTerm<Tanh, -1>, false, "hyperbolic tangent"},
    FunctionRow{"exp", 1, KAVRIN_VALUES(exp), nullptr, Anywhere, ExpTerm, false, "e to the power"},
    FunctionRow{"log", 1, KAVRIN_VALUES(log), nullptr, Positive, LogTerm, false, "natural logarithm, of more than 0"},
    FunctionRow{"sqrt", 1, KAVRIN_VALUES(sqrt), SqrtDoubleDouble, NonNegative, SqrtTerm, false,
                "square root, of 0 or more"},
    FunctionRow{"abs", 1, KAVRIN_VALUES(fabs), AbsDoubleDouble, Anywhere, AbsTerm, true, "absolute value"},
};

#undef KAVRIN_VALUES

}  // namespace

std::span<const FunctionRow> Functions() { return kTable; }

const FunctionRow* FunctionNamed(std::string_view name) {
  const auto found = std::find_if(kTable.begin(), kTable.end(), [&](const FunctionRow& f) { return f.name == name; });
  return found == kTable.end() ? nullptr : &*found;
}

std::string FunctionGlossary() {
  std::string glossary;
  for (const FunctionRow& f : kTable) {
    glossary.append(glossary.empty() ? "" : "\n").append(f.name).append(f.arity == 2 ? "(a, b): " : "(a): ");
    glossary.append(f.help);
  }
  return glossary;
}

std::string FunctionNames() {
  std::string names;
  for (const FunctionRow& f : kTable) names.append(names.empty() ? "" : " ").append(f.name);
  return names;
}

}  // namespace kavrin
