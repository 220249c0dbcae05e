#include "decode/qt/PanelCatalogue.h"

#include <array>
#include <stdexcept>
#include <vector>

namespace vexal {

namespace {

using E = Element;
using K = ElementKind;
using R = PanelRegion;
constexpr TextAlign kRight = TextAlign::Right;

constexpr RegionSpec kRegions[] = {
    {R::Panel4, {0, 0, kPanelWidth, kPanelHeight}},
    {R::KD, {10, 40, 575, 63}},
    {R::Panel8, {230, 104, 189, 49}},
    {R::Panel5, {6, 116, 103, 47}},
    {R::ValuePanel, {202, 156, 311, 101}},
    {R::Panel6, {4, 182, 187, 71}},
};

// Elements drawn straight on Panel4, in catalogue order.
const ElementSpec kPanel4Elements[] = {
    {E::IGPower, R::Panel4, {12, 9, 51, 25}, K::Picture},
    {E::powerV1, R::Panel4, {16, 13, 9, 17}, K::Bar},
    {E::powerv2, R::Panel4, {30, 13, 9, 17}, K::Bar},
    {E::powerv3, R::Panel4, {44, 13, 9, 17}, K::Bar},
    {E::IMoff, R::Panel4, {86, 6, 33, 29}, K::Picture},
    {E::rsUSB, R::Panel4, {452, 11, 43, 24}, K::TextSign, 21, "USB"},
    {E::IMmike, R::Panel4, {504, 10, 41, 25}, K::Picture},
    {E::CONok, R::Panel4, {549, 5, 32, 32}, K::Picture},
    {E::CONokN, R::Panel4, {549, 5, 32, 32}, K::Picture},
    {E::danger, R::Panel4, {198, 108, 27, 37}, K::Picture},
    {E::Labng, R::Panel4, {112, 109, 30, 24}, K::TextSign, 21, "NG"},
    {E::Labgood, R::Panel4, {452, 110, 63, 24}, K::TextSign, 21, "GOOD"},
    {E::Shape1, R::Panel4, {124, 148, 37, 5}, K::Bar},
    {E::Shape2, R::Panel4, {124, 156, 9, 5}, K::Bar},
    {E::Shape3, R::Panel4, {138, 156, 9, 5}, K::Bar},
    {E::Shape4, R::Panel4, {150, 156, 9, 5}, K::Bar},
    {E::labdc, R::Panel4, {126, 158, 34, 29}, K::TextSign, 24, "DC"},
    {E::labt, R::Panel4, {172, 130, 17, 34}, K::TextSign, 29, "~"},
    {E::labac, R::Panel4, {164, 158, 34, 29}, K::TextSign, 24, "AC"},
    {E::Labv, R::Panel4, {535, 156, 16, 29}, K::TextSign, 24, "V", kRight},
    {E::Labo, R::Panel4, {554, 154, 17, 27}, K::LcdSign, 24, "Ω", kRight},
    {E::Labmo1, R::Panel4, {537, 178, 38, 27}, K::LcdSign, 24, "MΩ"},
    {E::Labgo1, R::Panel4, {529, 204, 45, 27}, K::LcdSign, 24, " GΩ"},
    {E::Labto, R::Panel4, {541, 230, 33, 27}, K::LcdSign, 24, "TΩ"},
    {E::power, R::Panel4, {6, 254, 27, 29}, K::Picture},
    {E::labs1, R::Panel4, {36, 260, 30, 24}, K::TextSign, 20, "S1 "},
    {E::labs2, R::Panel4, {61, 260, 24, 24}, K::TextSign, 20, "S2", kRight},
    {E::labs3, R::Panel4, {90, 260, 24, 24}, K::TextSign, 20, "S3", kRight},
    {E::labCOMP, R::Panel4, {124, 258, 72, 29}, K::TextSign, 24, "COMP"},
    {E::labTIME1, R::Panel4, {206, 258, 69, 29}, K::TextSign, 24, "Time1"},
    {E::labtime2, R::Panel4, {282, 259, 69, 29}, K::TextSign, 24, "Time2"},
    {E::labsave, R::Panel4, {364, 259, 63, 29}, K::TextSign, 24, "SAVE"},
    {E::labLoad, R::Panel4, {444, 259, 67, 29}, K::TextSign, 24, "LOAD"},
    {E::labp1, R::Panel4, {530, 259, 23, 29}, K::TextSign, 24, "PI"},
};

const ElementSpec kPanel8Elements[] = {
    {E::Label3, R::Panel8, {18, 0, 18, 53}, K::Digit, 48},
    {E::Label7, R::Panel8, {53, 0, 18, 53}, K::Digit, 48},
    {E::Label10, R::Panel8, {82, 0, 18, 53}, K::Digit, 48},
    {E::Label9, R::Panel8, {116, 0, 18, 53}, K::Digit, 48},
    {E::Label4, R::Panel8, {151, 16, 13, 24}, K::TextSign, 21, "V", kRight},
};

const ElementSpec kPanel5Elements[] = {
    {E::stor1, R::Panel5, {8, 0, 18, 53}, K::LcdSign, 48, "1"},
    {E::stor2, R::Panel5, {32, 0, 18, 53}, K::Digit, 48},
    {E::LabFUL, R::Panel5, {68, 8, 32, 19}, K::TextSign, 16, "FUL"},
    {E::Labclr, R::Panel5, {66, 26, 34, 19}, K::TextSign, 16, "CLR"},
};

const ElementSpec kValueElements[] = {
    {E::LabelF, R::ValuePanel, {30, 6, 28, 107}, K::LcdSign, 96, "-"},
    {E::LabelA, R::ValuePanel, {60, -4, 40, 120}, K::Digit, 107},
    {E::Point1, R::ValuePanel, {104, 32, 12, 72}, K::LcdSign, 64, "."},
    {E::LabelB, R::ValuePanel, {120, -4, 40, 120}, K::Digit, 107},
    {E::Point2, R::ValuePanel, {166, 30, 12, 72}, K::LcdSign, 64, "."},
    {E::LabelC, R::ValuePanel, {184, -6, 40, 120}, K::Digit, 107},
    {E::Point3, R::ValuePanel, {222, 28, 12, 72}, K::LcdSign, 64, "."},
    {E::LabelD, R::ValuePanel, {240, -6, 40, 120}, K::Digit, 107},
};

const ElementSpec kPanel6Elements[] = {
    {E::H_Time1, R::Panel6, {26, -6, 21, 63}, K::Digit, 56},
    {E::H_Time2, R::Panel6, {51, -6, 21, 63}, K::Digit, 56},
    {E::T_dPoint1, R::Panel6, {71, 0, 13, 53}, K::LcdSign, 48, ":"},
    {E::M_Time1, R::Panel6, {86, -6, 21, 63}, K::Digit, 56},
    {E::M_Time2, R::Panel6, {112, -6, 21, 63}, K::Digit, 56},
    {E::labmo, R::Panel6, {153, 8, 31, 21}, K::LcdSign, 19, "MΩ", kRight},
    {E::Labgo, R::Panel6, {152, 30, 30, 21}, K::LcdSign, 19, "GΩ", kRight},
    {E::Labtime, R::Panel6, {35, 48, 89, 22}, K::TextSign, 19, " min : sec"},
};

// The bar-graph box of segment k: 0 is the start mark, 1..28 the narrow segments on a
// 16-pixel pitch, 29 the narrow segment set 2 pixels further, 30 the end mark.
PanelBox barBox(int k) {
  if (k == 0) return {6, 14, 32, 49};
  if (k == 29) return {492, 26, 8, 32};
  if (k == 30) return {514, 14, 39, 47};
  return {42 + 16 * (k - 1), 26, 8, 32};
}

std::vector<ElementSpec> buildCatalogue() {
  std::vector<ElementSpec> all;
  auto append = [&all](std::span<const ElementSpec> part) {
    all.insert(all.end(), part.begin(), part.end());
  };
  append(kPanel4Elements);
  for (int k = 0; k <= 30; ++k) all.push_back({barSegment(k), R::KD, barBox(k), K::Bar});
  append(kPanel8Elements);
  append(kPanel5Elements);
  append(kValueElements);
  append(kPanel6Elements);
  return all;
}

constexpr ScaleMark kScaleMarks[] = {
    {{18, 26, 533, 5}},  // base line Shape5
    {{17, 18, 6, 11}},  {{48, 20, 5, 9}},   {{109, 20, 6, 9}},  {{173, 20, 6, 11}},
    {{239, 18, 6, 9}},  {{301, 16, 6, 13}}, {{368, 18, 6, 11}}, {{429, 18, 6, 11}},
    {{497, 14, 6, 13}}, {{550, 18, 5, 13}},
};

constexpr ScaleLabel kScaleLabels[] = {
    {"0", {14, 2, 8, 16}, 14},      {"100K", {40, 2, 34, 16}, 14},   {"1M", {101, -1, 22, 19}, 16},
    {"10M", {161, -1, 31, 19}, 16}, {"100M", {225, -1, 40, 19}, 16}, {"1G", {293, -1, 21, 19}, 16},
    {"10G", {353, -1, 30, 19}, 16}, {"100G", {411, -1, 39, 19}, 16}, {"1T", {489, -1, 19, 19}, 16},
    {"∞", {545, -6, 17, 29}, 24},
};

}  // namespace

std::span<const RegionSpec> panelRegions() {
  return kRegions;
}

const RegionSpec &regionSpec(PanelRegion region) {
  for (const RegionSpec &r : kRegions)
    if (r.region == region) return r;
  throw std::out_of_range("panel region");
}

std::span<const ElementSpec> panelCatalogue() {
  static const std::vector<ElementSpec> catalogue = buildCatalogue();
  return catalogue;
}

const ElementSpec &elementSpec(Element e) {
  static const auto index = [] {
    std::array<const ElementSpec *, kElementCount> byElement{};
    for (const ElementSpec &entry : panelCatalogue())
      byElement[static_cast<std::size_t>(entry.element)] = &entry;
    return byElement;
  }();
  const ElementSpec *entry = index[static_cast<std::size_t>(e)];
  if (entry == nullptr) throw std::out_of_range("element not on the panel");
  return *entry;
}

PanelBox panelBox(const ElementSpec &entry) {
  PanelBox box = entry.box;
  if (entry.region != PanelRegion::Panel4) {
    const PanelBox &origin = regionSpec(entry.region).box;
    box.x += origin.x;
    box.y += origin.y;
  }
  return box;
}

std::span<const ScaleMark> scaleMarks() {
  return kScaleMarks;
}
std::span<const ScaleLabel> scaleLabels() {
  return kScaleLabels;
}

}  // namespace vexal
