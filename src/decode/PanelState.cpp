#include "decode/PanelState.h"

#include <stdexcept>

namespace vexal {

namespace {
constexpr std::string_view kNames[] = {
#define VEXAL_NAME_ENTRY(name) #name,
    VEXAL_ALL_ELEMENTS(VEXAL_NAME_ENTRY)
#undef VEXAL_NAME_ENTRY
};
static_assert(std::size(kNames) == kElementCount);
}  // namespace

std::string_view elementName(Element e) {
  return kNames[static_cast<std::size_t>(e)];
}

std::optional<Element> elementByName(std::string_view name) {
  for (std::size_t i = 0; i < kElementCount; ++i)
    if (kNames[i] == name) return static_cast<Element>(i);
  return std::nullopt;
}

Element barSegment(int k) {
  if (k < 0 || k > 30) throw std::out_of_range("bar segment");
  return static_cast<Element>(static_cast<std::size_t>(Element::Bar0) + k);
}

PanelState::PanelState() {
  visible_.fill(true);
  hide(Element::CONok);
  digits_.fill('8');
  for (Element e : {Element::Label3, Element::Label7, Element::Label10, Element::Label9})
    setDigit(e, '0');
}

}  // namespace vexal
