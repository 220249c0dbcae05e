#pragma once
// The fixed layout of the virtual front panel: its regions, every element with its place,
// size, kind and text, and the printed scale of the bar graph. Plain data, no toolkit types,
// so the layout can be checked without a display.

#include <span>
#include <string_view>

#include "decode/PanelState.h"

namespace vexal {

// Panel4 is the whole panel; the others are borderless white regions inside it.
enum class PanelRegion : unsigned char { Panel4, KD, Panel8, Panel5, ValuePanel, Panel6 };

struct PanelBox {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

enum class ElementKind : unsigned char {
  Digit,     // one PanelState character in the seven-segment face
  LcdSign,   // fixed text in the LCD face: points, colon, minus, memory "1", unit signs
  TextSign,  // fixed text in the bold sans-serif face
  Picture,   // a vector picture stretched to the box (link icons at their own 32 x 32)
  Bar,       // a filled black rectangle, or a bar-graph segment shape
};

enum class TextAlign : unsigned char { Left, Right };

struct ElementSpec {
  Element element;
  PanelRegion region;
  PanelBox box;  // relative to the region's top-left corner
  ElementKind kind;
  int textHeight = 0;       // character height in pixels; 0 for pictures and bars
  std::string_view text{};  // UTF-8; empty for digits, pictures and bars
  TextAlign align = TextAlign::Left;
};

struct RegionSpec {
  PanelRegion region;
  PanelBox box;  // Panel4: its size at the origin; the others: relative to Panel4
};

// A filled black bar of the printed bar-graph scale (base line and ticks).
struct ScaleMark {
  PanelBox box;
};

// A bold sans-serif label of the printed bar-graph scale.
struct ScaleLabel {
  std::string_view text;
  PanelBox box;
  int textHeight;
};

inline constexpr int kPanelWidth = 615;
inline constexpr int kPanelHeight = 289;

// Regions in drawing order: Panel4 first, then the sub-regions laid over it.
std::span<const RegionSpec> panelRegions();
const RegionSpec &regionSpec(PanelRegion region);

// Every drawn element, grouped by region in drawing order and in catalogue order within
// each region.
std::span<const ElementSpec> panelCatalogue();

// The element's entry; throws std::out_of_range for an element the panel does not draw.
const ElementSpec &elementSpec(Element e);

// The box of an element in Panel4 coordinates (its region's offset added).
PanelBox panelBox(const ElementSpec &entry);

std::span<const ScaleMark> scaleMarks();  // base line first, then the ticks
std::span<const ScaleLabel> scaleLabels();

}  // namespace vexal
