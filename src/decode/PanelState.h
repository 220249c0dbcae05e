#pragma once
// The state of the LCD mirror: one visible flag per named element and one character per
// digit element. The decoder is its only writer; the panel renderer draws it.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vexal {

// Digit elements, in decoding order.
#define VEXAL_DIGIT_ELEMENTS(X)                                                                \
  X(LabelA)                                                                                    \
  X(LabelB) X(LabelC) X(LabelD) X(Label3) X(Label7) X(Label10) X(Label9) X(H_Time1) X(H_Time2) \
      X(M_Time1) X(M_Time2) X(stor2)

// Sign elements that every decoded frame clears before setting them from its bits.
#define VEXAL_CLEARABLE_SIGNS(X)                                                                   \
  X(Bar0)                                                                                          \
  X(BAR1) X(bar2) X(bar3) X(bar4) X(bar5) X(bar6) X(bar7) X(bar8) X(bar9) X(bar10) X(bar11)        \
      X(bar12) X(bar13) X(bar14) X(bar15) X(bar16) X(bar17) X(bar18) X(bar19) X(bar20) X(bar21)    \
          X(bar22) X(bar23) X(bar24) X(bar25) X(bar26) X(bar27) X(bar28) X(bar29) X(bar30)         \
              X(LabelF) X(Point1) X(Point2) X(Point3) X(Labv) X(Labo) X(Labmo1) X(Labgo1) X(Labto) \
                  X(labdc) X(Shape1) X(Shape2) X(Shape3) X(Shape4) X(labt) X(labac) X(labmo)       \
                      X(Labgo) X(danger) X(Labng) X(Labgood) X(Label4) X(Labclr) X(Labtime)        \
                          X(T_dPoint1) X(labCOMP) X(LabFUL) X(stor1) X(power) X(labs1) X(labs2)    \
                              X(labs3) X(labTIME1) X(labtime2) X(labsave) X(labLoad) X(labp1)      \
                                  X(IMoff) X(IMmike) X(IGPower) X(powerV1) X(powerv2) X(powerv3)

// Sign elements that a frame never clears.
#define VEXAL_FIXED_SIGNS(X) X(KD) X(rsUSB) X(CONok) X(CONokN)

#define VEXAL_ALL_ELEMENTS(X) VEXAL_DIGIT_ELEMENTS(X) VEXAL_CLEARABLE_SIGNS(X) VEXAL_FIXED_SIGNS(X)

enum class Element : unsigned char {
#define VEXAL_ENUM_ENTRY(name) name,
  VEXAL_ALL_ELEMENTS(VEXAL_ENUM_ENTRY)
#undef VEXAL_ENUM_ENTRY
};

#define VEXAL_COUNT_ENTRY(name) +1
inline constexpr std::size_t kDigitElementCount = 0 VEXAL_DIGIT_ELEMENTS(VEXAL_COUNT_ENTRY);
inline constexpr std::size_t kClearableCount = 0 VEXAL_CLEARABLE_SIGNS(VEXAL_COUNT_ENTRY);
inline constexpr std::size_t kElementCount = 0 VEXAL_ALL_ELEMENTS(VEXAL_COUNT_ENTRY);
#undef VEXAL_COUNT_ENTRY

static_assert(kDigitElementCount == 13);

// The element's name as the panel catalogue spells it ("LabelA", "bar17", ...).
std::string_view elementName(Element e);
std::optional<Element> elementByName(std::string_view name);

inline constexpr bool isDigitElement(Element e) {
  return static_cast<std::size_t>(e) < kDigitElementCount;
}
inline constexpr bool isClearable(Element e) {
  auto i = static_cast<std::size_t>(e);
  return i >= kDigitElementCount && i < kDigitElementCount + kClearableCount;
}
// The 31 bar-graph segments: index 0 is Bar0, 1 is BAR1, k is bar<k>.
Element barSegment(int k);

class PanelState {
 public:
  // The full test pattern the mirror starts with: everything shown but the active link
  // picture, main/timer/memory digits "8", test-voltage digits "0".
  PanelState();

  bool visible(Element e) const { return visible_[index(e)]; }
  void setVisible(Element e, bool on) { visible_[index(e)] = on; }
  void show(Element e) { setVisible(e, true); }
  void hide(Element e) { setVisible(e, false); }

  // Character held by a digit element ('0'..'9', '@' for the L pattern, '-' for the dash).
  char digit(Element e) const { return digits_[index(e)]; }
  void setDigit(Element e, char c) { digits_[index(e)] = c; }

  bool operator==(const PanelState &) const = default;

 private:
  static std::size_t index(Element e) { return static_cast<std::size_t>(e); }
  std::array<bool, kElementCount> visible_{};
  std::array<char, kDigitElementCount> digits_{};
};

}  // namespace vexal
