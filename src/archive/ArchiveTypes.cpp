#include "archive/ArchiveTypes.h"

#include <array>
#include <utility>

namespace vexal {

namespace {

// Each enumeration's words, in the order of its values.
template <class E, std::size_t N>
std::string_view nameOf(const std::array<std::string_view, N> &names, E value) {
  return names[static_cast<std::size_t>(value)];
}

template <class E, std::size_t N>
std::optional<E> parseName(const std::array<std::string_view, N> &names, std::string_view text) {
  for (std::size_t i = 0; i < N; ++i)
    if (names[i] == text) return static_cast<E>(i);
  return std::nullopt;
}

constexpr std::array<std::string_view, 4> kKindNames{"machine", "cable", "transformer", "other"};
constexpr std::array<std::string_view, 4> kClassNames{"A", "B", "F", "H"};
constexpr std::array<std::string_view, 3> kWindingNames{"older", "form-wound", "random-wound"};
constexpr std::array<std::string_view, 4> kPurposeNames{"acceptance", "routine", "after-repair",
                                                        "troubleshooting"};

}  // namespace

std::string_view assetKindName(AssetKind kind) {
  return nameOf(kKindNames, kind);
}
std::optional<AssetKind> parseAssetKind(std::string_view name) {
  return parseName<AssetKind>(kKindNames, name);
}
std::string_view archiveClassName(ArchiveClass c) {
  return nameOf(kClassNames, c);
}
std::optional<ArchiveClass> parseArchiveClass(std::string_view name) {
  return parseName<ArchiveClass>(kClassNames, name);
}
std::string_view archiveWindingName(ArchiveWinding winding) {
  return nameOf(kWindingNames, winding);
}
std::optional<ArchiveWinding> parseArchiveWinding(std::string_view name) {
  return parseName<ArchiveWinding>(kWindingNames, name);
}
std::string_view testPurposeName(TestPurpose purpose) {
  return nameOf(kPurposeNames, purpose);
}
std::optional<TestPurpose> parseTestPurpose(std::string_view name) {
  return parseName<TestPurpose>(kPurposeNames, name);
}

}  // namespace vexal
