#include "ode/functions.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <type_traits>
#include <utility>

namespace kavrin {
namespace {

bool Anywhere(double, double) { return true; }
template <typename Real>
Real One(std::size_t k) {
  return Real(k == 0 ? 1.0 : 0.0);
}
template <typename Real>
Real Count(std::size_t k) {
  return Real(static_cast<double>(k));
}

template <typename Real>
bool Finite(const Real& v) {
  using std::isfinite;
  return isfinite(v);
}

long double ExpL(long double v) { return std::exp(v); }
long double LogL(long double v) { return std::log(v); }
long double SinL(long double v) { return std::sin(v); }
long double CosL(long double v) { return std::cos(v); }
long double SinhL(long double v) { return std::sinh(v); }
long double CoshL(long double v) { return std::cosh(v); }
long double TanL(long double v) { return std::tan(v); }
long double TanhL(long double v) { return std::tanh(v); }
long double AsinL(long double v) { return std::asin(v); }
long double AcosL(long double v) { return std::acos(v); }
long double AtanL(long double v) { return std::atan(v); }

// Where long double has fewer than 113 bits, the quad-precision library's
// functions, which give double-double its first coefficients to the last bit.
#if defined(KAVRIN_QUADMATH)
__extension__ typedef __float128 QuadFloat;
extern "C" {
QuadFloat expq(QuadFloat);
QuadFloat logq(QuadFloat);
QuadFloat sinq(QuadFloat);
QuadFloat cosq(QuadFloat);
QuadFloat tanq(QuadFloat);
QuadFloat asinq(QuadFloat);
QuadFloat acosq(QuadFloat);
QuadFloat atanq(QuadFloat);
QuadFloat sinhq(QuadFloat);
QuadFloat coshq(QuadFloat);
QuadFloat tanhq(QuadFloat);
}

// The quad twin of a long double function.
QuadFloat (*QuadTwin(long double (*f)(long double)))(QuadFloat) {
  const std::pair<long double (*)(long double), QuadFloat (*)(QuadFloat)> twins[] = {
      {ExpL, expq},   {LogL, logq},   {SinL, sinq},   {CosL, cosq},   {TanL, tanq},  {AsinL, asinq},
      {AcosL, acosq}, {AtanL, atanq}, {SinhL, sinhq}, {CoshL, coshq}, {TanhL, tanhq}};
  for (const auto& [wide, quad] : twins)
    if (wide == f) return quad;
  return nullptr;
}
#endif

// A C library function at a series' first coefficient: in long double, and
// for double-double in quad precision where the library has it, else
// through long double (as many digits as it carries).
template <typename Real>
Real At(long double (*f)(long double), const Real& v) {
  if constexpr (std::is_same_v<Real, long double>) {
    return f(v);
  } else {
#if defined(KAVRIN_QUADMATH)
    if (const auto quad = QuadTwin(f)) {
      const QuadFloat value = quad(static_cast<QuadFloat>(v.hi) + v.lo);
      const auto high = static_cast<double>(value);
      return Real(high, static_cast<double>(value - high));
    }
#endif
    const long double value = f(ToLong(v));
    const auto high = static_cast<double>(value);
    return Real(high, static_cast<double>(value - high));
  }
}

// exp: r' = r a', so k r_k = sum j a_j r_(k-j).
template <typename Real>
bool ExpTerm(const TaylorTermOf<Real>& t) {
  t.r[t.k] = t.k == 0 ? At(ExpL, t.a[0]) : Weighted(t.a, t.r, t.k, 1, t.k) / Count<Real>(t.k);
  return Finite(t.r[t.k]);
}

// log: a r' = a', so a_0 r_k = a_k - (1/k) sum j r_j a_(k-j), j < k.
template <typename Real>
bool LogTerm(const TaylorTermOf<Real>& t) {
  const std::size_t k = t.k;
  if (!(t.a[0] > Real(0))) return false;
  t.r[k] = k == 0 ? At(LogL, t.a[0])
                  : (t.a[k] - (k > 1 ? Weighted(t.r, t.a, k, 1, k - 1) / Count<Real>(k) : Real(0))) / t.a[0];
  return true;
}

// sqrt: r r = a, so 2 r_0 r_k = a_k - sum r_j r_(k-j), 0 < j < k.
template <typename Real>
bool SqrtTerm(const TaylorTermOf<Real>& t) {
  using std::sqrt;
  const std::size_t k = t.k;
  if (!(t.a[0] > Real(0))) return false;
  if (k == 0) {
    t.r[0] = sqrt(t.a[0]);
    return true;
  }
  Real sum(0);
  for (std::size_t j = 1; j < k; ++j) sum = sum + t.r[j] * t.r[k - j];
  t.r[k] = (t.a[k] - sum) / (Real(2) * t.r[0]);
  return true;
}

// A function and its companion as a pair: r' = p u a' and u' = q r a', with
// the signs p and q (sin, cos: 1 and -1; sinh, cosh: 1 and 1).
template <typename Real, long double (*F)(long double), long double (*G)(long double), int P, int Q>
bool PairTerm(const TaylorTermOf<Real>& t) {
  const std::size_t k = t.k;
  if (k == 0) {
    t.r[0] = At(F, t.a[0]);
    t.u[0] = At(G, t.a[0]);
  } else {
    const Real kk = Count<Real>(k);
    t.r[k] = Real(P) * Weighted(t.a, t.u, k, 1, k) / kk;
    t.u[k] = Real(Q) * Weighted(t.a, t.r, k, 1, k) / kk;
  }
  return Finite(t.r[k]) && Finite(t.u[k]);
}

// tan' = (1 + tan^2) a', tanh' = (1 - tanh^2) a': u holds the factor.
template <typename Real, long double (*F)(long double), int Sign>
bool TangentTerm(const TaylorTermOf<Real>& t) {
  const std::size_t k = t.k;
  t.r[k] = k == 0 ? At(F, t.a[0]) : Weighted(t.a, t.u, k, 1, k) / Count<Real>(k);
  t.u[k] = One<Real>(k) + Real(Sign) * Cauchy(t.r, t.r, k);
  return Finite(t.r[k]);
}

// asin and acos: r' = +-a'/q with q = sqrt(1 - a^2), so
// k r_k q_0 = k a_k - sum j r_j q_(k-j) for 0 < j < k (acos negated);
// w holds 1 - a^2 and u its root.
template <typename Real, long double (*F)(long double), int Sign>
bool ArcSineTerm(const TaylorTermOf<Real>& t) {
  using std::fabs;
  using std::sqrt;
  const std::size_t k = t.k;
  if (!(fabs(t.a[0]) < Real(1))) return false;
  t.w[k] = One<Real>(k) - Cauchy(t.a, t.a, k);
  if (k == 0) {
    t.u[0] = sqrt(t.w[0]);
    t.r[0] = At(F, t.a[0]);
    return Finite(t.r[0]);
  }
  Real root(0);
  for (std::size_t j = 1; j < k; ++j) root = root + t.u[j] * t.u[k - j];
  t.u[k] = (t.w[k] - root) / (Real(2) * t.u[0]);
  const Real kk = Count<Real>(k);
  Real sum(0);
  for (std::size_t j = 1; j < k; ++j) sum = sum + Count<Real>(j) * (Real(Sign) * t.r[j]) * t.u[k - j];
  t.r[k] = Real(Sign) * (kk * t.a[k] - sum) / (kk * t.u[0]);
  return Finite(t.r[k]);
}

// atan: r' = a'/(1 + a^2), so k r_k u_0 = k a_k - sum j r_j u_(k-j) with
// u = 1 + a^2.
template <typename Real>
bool AtanTerm(const TaylorTermOf<Real>& t) {
  const std::size_t k = t.k;
  t.u[k] = One<Real>(k) + Cauchy(t.a, t.a, k);
  if (k == 0) {
    t.r[0] = At(AtanL, t.a[0]);
    return true;
  }
  const Real kk = Count<Real>(k);
  Real sum(0);
  for (std::size_t j = 1; j < k; ++j) sum = sum + Count<Real>(j) * t.r[j] * t.u[k - j];
  t.r[k] = (kk * t.a[k] - sum) / (kk * t.u[0]);
  return Finite(t.r[k]);
}

// |a| = sign(a) a on each side of a kink; at the kink itself, the sign the
// argument takes in the direction of travel (its first non-zero term, which
// changes sign with the direction when its power is odd).
template <typename Real>
bool AbsTerm(const TaylorTermOf<Real>& t) {
  using std::fabs;
  const std::size_t k = t.k;
  long double& sign = *t.sign;
  if (k == 0) {
    sign = t.a[0] > Real(0) ? 1 : t.a[0] < Real(0) ? -1 : 0;
    t.r[0] = fabs(t.a[0]);
    return true;
  }
  if (sign == 0 && !(t.a[k] == Real(0))) sign = (t.a[k] > Real(0) ? 1 : -1) * (k % 2 == 1 ? t.direction : 1);
  t.r[k] = Real(static_cast<double>(sign)) * t.a[k];
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
// A recurrence in both coefficient types.
#define KAVRIN_TERMS(f, ...) f<long double __VA_OPT__(, ) __VA_ARGS__>, f<DoubleDouble __VA_OPT__(, ) __VA_ARGS__>

const std::array kTable = {
    FunctionRow{"sin", 1, KAVRIN_VALUES(sin), nullptr, Anywhere, KAVRIN_TERMS(PairTerm, SinL, CosL, 1, -1), false,
                "sine"},
    FunctionRow{"cos", 1, KAVRIN_VALUES(cos), nullptr, Anywhere, KAVRIN_TERMS(PairTerm, CosL, SinL, -1, 1), false,
                "cosine"},
    FunctionRow{"tan", 1, KAVRIN_VALUES(tan), nullptr, Anywhere, KAVRIN_TERMS(TangentTerm, TanL, 1), false, "tangent"},
    FunctionRow{"asin", 1, KAVRIN_VALUES(asin), nullptr, WithinOne, KAVRIN_TERMS(ArcSineTerm, AsinL, 1), false,
                "arc sine, of -1 to 1"},
    FunctionRow{"acos", 1, KAVRIN_VALUES(acos), nullptr, WithinOne, KAVRIN_TERMS(ArcSineTerm, AcosL, -1), false,
                "arc cosine, of -1 to 1"},
    FunctionRow{"atan", 1, KAVRIN_VALUES(atan), nullptr, Anywhere, KAVRIN_TERMS(AtanTerm), false, "arc tangent"},
    FunctionRow{"sinh", 1, KAVRIN_VALUES(sinh), nullptr, Anywhere, KAVRIN_TERMS(PairTerm, SinhL, CoshL, 1, 1), false,
                "hyperbolic sine"},
    FunctionRow{"cosh", 1, KAVRIN_VALUES(cosh), nullptr, Anywhere, KAVRIN_TERMS(PairTerm, CoshL, SinhL, 1, 1), false,
                "hyperbolic cosine"},
    FunctionRow{"tanh", 1, KAVRIN_VALUES(tanh), nullptr, Anywhere, KAVRIN_TERMS(TangentTerm, TanhL, -1), false,
                "hyperbolic tangent"},
    FunctionRow{"exp", 1, KAVRIN_VALUES(exp), nullptr, Anywhere, KAVRIN_TERMS(ExpTerm), false, "e to the power"},
    FunctionRow{"log", 1, KAVRIN_VALUES(log), nullptr, Positive, KAVRIN_TERMS(LogTerm), false,
                "natural logarithm, of more than 0"},
    FunctionRow{"sqrt", 1, KAVRIN_VALUES(sqrt), SqrtDoubleDouble, NonNegative, KAVRIN_TERMS(SqrtTerm), false,
                "square root, of 0 or more"},
    FunctionRow{"abs", 1, KAVRIN_VALUES(fabs), AbsDoubleDouble, Anywhere, KAVRIN_TERMS(AbsTerm), true,
                "absolute value"},
};

#undef KAVRIN_VALUES
#undef KAVRIN_TERMS

}  // namespace

std::span<const FunctionRow> Functions() { return kTable; }

bool FunctionsInQuad() {
#if defined(KAVRIN_QUADMATH) || LDBL_MANT_DIG >= 113
  return true;
#else
  return false;
#endif
}

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
