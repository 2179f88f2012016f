#include "ode/method_table.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace kavrin {
namespace {

// Colours and markers for added methods, apart from the list's seven.
constexpr std::array<Rgb, 6> kAddedColours{
    {{148, 103, 189}, {140, 86, 75}, {227, 119, 194}, {127, 127, 127}, {188, 189, 34}, {23, 190, 207}}};
constexpr std::array<MarkerShape, 7> kAddedMarkers{
    MarkerShape::Cross,        MarkerShape::Plus,   MarkerShape::Diamond,   MarkerShape::Circle,
    MarkerShape::TriangleDown, MarkerShape::Square, MarkerShape::TriangleUp};

// Filled once each, then published by the count: a reader that sees the
// count sees every slot below it whole.
struct Registry {
  std::mutex adding;
  std::atomic<std::size_t> count{0};
  std::array<std::unique_ptr<AddedMethod>, kMaxMethods - kMethodCount> slots;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

bool SameTableau(const Tableau& a, const Tableau& b) {
  if (a.stages != b.stages || a.embedded != b.embedded) return false;
  for (std::size_t i = 0; i < a.stages; ++i) {
    if (a.c[i] != b.c[i] || a.b[i] != b.b[i] || a.second[i] != b.second[i]) return false;
    for (std::size_t j = 0; j < a.stages; ++j)
      if (a.a[i][j] != b.a[i][j]) return false;
  }
  return true;
}

}  // namespace

std::optional<Method> AddMethod(const std::string& id, const std::string& name, const std::string& text,
                                const Tableau& tableau, int order) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> lock(registry.adding);
  const std::size_t count = registry.count.load(std::memory_order_relaxed);
  for (std::size_t k = count; k-- > 0;) {
    const AddedMethod& known = *registry.slots[k];
    if (known.id != id) continue;
    if (known.name == name && SameTableau(known.tableau, tableau)) return known.info.method;
    break;
  }
  if (count == registry.slots.size()) return std::nullopt;
  auto added = std::make_unique<AddedMethod>();
  added->id = id;
  added->name = name.empty() ? id : name;
  added->text = text;
  added->tableau = tableau;
  const auto method = Method{static_cast<std::uint8_t>(kMethodCount + count)};
  added->info = MethodInfo{{added->id, added->name, added->name, order, static_cast<int>(tableau.stages),
                            kAddedColours[count % kAddedColours.size()], kAddedMarkers[count % kAddedMarkers.size()]},
                           method};
  registry.slots[count] = std::move(added);
  registry.count.store(count + 1, std::memory_order_release);
  return method;
}

const AddedMethod* Added(Method method) {
  const Registry& registry = TheRegistry();
  const auto i = static_cast<std::size_t>(method);
  if (i < kMethodCount || i - kMethodCount >= registry.count.load(std::memory_order_acquire)) return nullptr;
  return registry.slots[i - kMethodCount].get();
}

std::vector<Method> KnownMethods() {
  const Registry& registry = TheRegistry();
  const std::size_t count = registry.count.load(std::memory_order_acquire);
  std::vector<Method> methods;
  methods.reserve(kMethodCount + count);
  for (const MethodInfo& info : kMethods) methods.push_back(info.method);
  for (std::size_t k = 0; k < count; ++k) {
    bool replaced = false;
    for (std::size_t later = k + 1; later < count && !replaced; ++later)
      replaced = registry.slots[later]->id == registry.slots[k]->id;
    if (!replaced) methods.push_back(registry.slots[k]->info.method);
  }
  return methods;
}

}  // namespace kavrin
