// Renders the virtual front panel offscreen and checks pixels whose colour follows from the
// layout: lit segments and bars black, unlit ones and hidden regions white, nothing drawn
// outside its region, the link indicator cyan only while active.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "decode/PanelState.h"
#include "decode/qt/LcdFace.h"
#include "decode/qt/PanelCatalogue.h"
#include "decode/qt/PanelPictures.h"
#include "decode/qt/PanelRenderer.h"

namespace vexal {
namespace {

QRectF toRectF(const PanelBox &b) {
  return QRectF(b.x, b.y, b.w, b.h);
}
QRect toRect(const PanelBox &b) {
  return QRect(b.x, b.y, b.w, b.h);
}

bool isBlack(QRgb p) {
  return qGray(p) < 80;
}
bool isWhite(QRgb p) {
  return (p & 0xFFFFFF) == 0xFFFFFF;
}

QRgb pixelAt(const QImage &image, QPointF at) {
  return image.pixel(int(std::floor(at.x())), int(std::floor(at.y())));
}

// A state with every element hidden, KD included.
PanelState allHidden() {
  PanelState state;
  for (std::size_t i = 0; i < kElementCount; ++i) state.hide(static_cast<Element>(i));
  return state;
}

// The centre of a segment of the seven-segment face, from the glyph box and stroke.
QPointF segmentCentre(const QRectF &glyph, double t, char segment) {
  const double left = glyph.left() + t / 2, right = glyph.right() - t / 2;
  const double top = glyph.top() + t / 2, bottom = glyph.bottom() - t / 2;
  const double mid = (top + bottom) / 2, cx = glyph.center().x();
  switch (segment) {
    case 'a':
      return {cx, top};
    case 'b':
      return {right, (top + mid) / 2};
    case 'c':
      return {right, (mid + bottom) / 2};
    case 'd':
      return {cx, bottom};
    case 'e':
      return {left, (mid + bottom) / 2};
    case 'f':
      return {left, (top + mid) / 2};
    default:
      return {cx, mid};
  }
}

// The segments a correct seven-segment face lights for each character.
const std::map<char, std::string> kLitSegments = {
    {'0', "abcdef"}, {'1', "bc"},  {'2', "abdeg"},   {'3', "abcdg"},  {'4', "bcfg"}, {'5', "acdfg"},
    {'6', "acdefg"}, {'7', "abc"}, {'8', "abcdefg"}, {'9', "abcdfg"}, {'@', "def"},  {'-', "g"},
};

// Checks every segment of a digit element: black where `lit` names it, white elsewhere.
void expectSegments(const QImage &image, Element e, const std::string &lit) {
  const ElementSpec &entry = elementSpec(e);
  const QRectF glyph = lcdGlyphRect(toRectF(panelBox(entry)), entry.textHeight);
  const double t = segmentThickness(glyph, entry.textHeight);
  for (char s : std::string("abcdefg")) {
    const QRgb p = pixelAt(image, segmentCentre(glyph, t, s));
    if (lit.find(s) != std::string::npos) {
      EXPECT_TRUE(isBlack(p)) << elementName(e) << " segment " << s << " should be lit";
    } else {
      EXPECT_TRUE(isWhite(p)) << elementName(e) << " segment " << s << " should be dark";
    }
  }
}

int countPixels(const QImage &image, const QRect &area, auto predicate) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (predicate(image.pixel(x, y))) ++n;
  return n;
}

bool allWhite(const QImage &image, const QRect &area) {
  return countPixels(image, area, [](QRgb p) { return !isWhite(p); }) == 0;
}

// ---------------------------------------------------------------------------------------
// Layout: every element of the mirror has a place, and the digits sit fully in their region.

TEST(PanelLayout, EveryElementOfTheStateIsOnThePanelOnce) {
  std::map<Element, int> seen;
  for (const ElementSpec &entry : panelCatalogue()) ++seen[entry.element];
  for (std::size_t i = 0; i < kElementCount; ++i) {
    const auto e = static_cast<Element>(i);
    if (e == Element::KD) continue;  // the bar-graph region itself
    EXPECT_EQ(seen[e], 1) << elementName(e);
  }
}

TEST(PanelLayout, DigitGlyphsLieInsideTheirRegionAlthoughTheirBoxesDoNot) {
  for (const ElementSpec &entry : panelCatalogue()) {
    if (entry.kind != ElementKind::Digit) continue;
    const QRectF region = toRectF(regionSpec(entry.region).box);
    const QRectF glyph = lcdGlyphRect(toRectF(panelBox(entry)), entry.textHeight);
    EXPECT_TRUE(region.contains(glyph)) << elementName(entry.element);
    EXPECT_GE(segmentThickness(glyph, entry.textHeight), 3.0) << elementName(entry.element);
  }
}

TEST(PanelLayout, BarSegmentsFollowTheScalePitch) {
  const PanelBox kd = regionSpec(PanelRegion::KD).box;
  for (int k = 1; k <= 28; ++k) {
    const PanelBox b = panelBox(elementSpec(barSegment(k)));
    EXPECT_EQ(b.x - kd.x, 42 + 16 * (k - 1)) << k;
    EXPECT_EQ(b.y - kd.y, 26);
  }
  EXPECT_EQ(panelBox(elementSpec(Element::bar29)).x - kd.x, 492);
}

// ---------------------------------------------------------------------------------------
// Digits.

TEST(PanelDigits, StartPatternLightsEveryDigitAsEightOrZero) {
  const QImage image = renderPanel(PanelState());
  for (Element e :
       {Element::LabelA, Element::LabelB, Element::LabelC, Element::LabelD, Element::H_Time1,
        Element::H_Time2, Element::M_Time1, Element::M_Time2, Element::stor2})
    expectSegments(image, e, "abcdefg");
  for (Element e : {Element::Label3, Element::Label7, Element::Label10, Element::Label9})
    expectSegments(image, e, "abcdef");
}

TEST(PanelDigits, EveryCharacterLightsItsSegmentsInEveryDigitSize) {
  for (const auto &[c, lit] : kLitSegments) {
    PanelState state;
    for (Element e : {Element::LabelB, Element::Label7, Element::M_Time1, Element::stor2})
      state.setDigit(e, c);
    const QImage image = renderPanel(state);
    SCOPED_TRACE(std::string("character ") + c);
    for (Element e : {Element::LabelB, Element::Label7, Element::M_Time1, Element::stor2})
      expectSegments(image, e, lit);
  }
}

TEST(PanelDigits, LPatternLightsTheLeftSegmentsAndTheBottomOnly) {
  PanelState state;
  state.setDigit(Element::LabelC, '@');
  expectSegments(renderPanel(state), Element::LabelC, "def");
}

TEST(PanelDigits, DashLightsOnlyTheMiddleSegment) {
  PanelState state;
  state.setDigit(Element::LabelD, '-');
  expectSegments(renderPanel(state), Element::LabelD, "g");
}

TEST(PanelDigits, HiddenDigitLeavesItsPlaceWhiteButKeepsItsCharacter) {
  PanelState state;
  state.hide(Element::LabelA);
  const ElementSpec &entry = elementSpec(Element::LabelA);
  const QImage image = renderPanel(state);
  EXPECT_TRUE(
      allWhite(image, lcdGlyphRect(toRectF(panelBox(entry)), entry.textHeight).toAlignedRect()));
  state.show(Element::LabelA);
  expectSegments(renderPanel(state), Element::LabelA, "abcdefg");
}

TEST(PanelDigits, BlankMainDigitsLeaveOnlyTheMinusSignInTheValueRegion) {
  PanelState state;
  for (Element e : {Element::LabelA, Element::LabelB, Element::LabelC, Element::LabelD,
                    Element::Point1, Element::Point2, Element::Point3})
    state.hide(e);
  const QRect value = toRect(regionSpec(PanelRegion::ValuePanel).box);
  const QRect minus = toRect(panelBox(elementSpec(Element::LabelF)));

  QImage image = renderPanel(state);
  EXPECT_GT(countPixels(image, minus, isBlack), 0);
  for (int y = value.top(); y <= value.bottom(); ++y)
    for (int x = value.left(); x <= value.right(); ++x)
      if (!minus.contains(x, y)) {
        ASSERT_TRUE(isWhite(image.pixel(x, y))) << x << "," << y;
      }

  state.hide(Element::LabelF);
  EXPECT_TRUE(allWhite(renderPanel(state), value));
}

TEST(PanelDigits, DecimalPointIsBlackOnlyWhileLit) {
  PanelState state;
  const PanelBox box = panelBox(elementSpec(Element::Point2));
  const QRect column(box.x, box.y, box.w, box.h);
  EXPECT_GT(countPixels(renderPanel(state), column, isBlack), 20);
  state.hide(Element::Point2);
  EXPECT_TRUE(allWhite(renderPanel(state), column));
}

// ---------------------------------------------------------------------------------------
// Regions and clipping.

TEST(PanelRegions, HiddenBarGraphLeavesItsWholeRegionWhite) {
  const QRect kd = toRect(regionSpec(PanelRegion::KD).box);
  PanelState state;
  const QImage shown = renderPanel(state);
  // Base line, a tick and a segment are black in the test pattern.
  EXPECT_TRUE(isBlack(shown.pixel(kd.x() + 100, kd.y() + 28)));
  EXPECT_TRUE(isBlack(shown.pixel(kd.x() + 111, kd.y() + 22)));
  EXPECT_TRUE(isBlack(shown.pixel(kd.x() + 46, kd.y() + 50)));

  state.hide(Element::KD);
  EXPECT_TRUE(allWhite(renderPanel(state), kd));
}

TEST(PanelRegions, SegmentsOfAHiddenBarGraphStayHiddenWhateverTheirFlags) {
  PanelState state;  // all 31 segment flags set
  state.hide(Element::KD);
  const QImage image = renderPanel(state);
  for (int k = 0; k <= 30; ++k)
    EXPECT_TRUE(allWhite(image, toRect(panelBox(elementSpec(barSegment(k)))))) << k;
}

TEST(PanelRegions, NoDigitIsDrawnAboveTheValueRegion) {
  const QRect value = toRect(regionSpec(PanelRegion::ValuePanel).box);
  const QImage image = renderPanel(PanelState());
  // The main digit boxes start above the region; the rows just above it stay white.
  EXPECT_TRUE(allWhite(image, QRect(value.left(), value.top() - 2, value.width(), 2)));
}

TEST(PanelRegions, ElementsAreClippedToTheirRegion) {
  // A digit placed half above Panel8 and a bar reaching out of it to the right.
  const std::vector<ElementSpec> elements = {
      {Element::Label3, PanelRegion::Panel8, {40, -40, 40, 120}, ElementKind::Digit, 107},
      {Element::Label4, PanelRegion::Panel8, {170, 10, 60, 20}, ElementKind::Bar},
  };
  PanelState state = allHidden();
  state.show(Element::Label3);
  state.show(Element::Label4);
  QImage image(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
  QPainter painter(&image);
  PanelRenderer(elements).paint(painter, state);
  painter.end();

  const QRect region = toRect(regionSpec(PanelRegion::Panel8).box);
  EXPECT_GT(countPixels(image, region, isBlack), 100);
  EXPECT_TRUE(isBlack(image.pixel(region.right() - 2, region.top() + 20)));
  EXPECT_TRUE(allWhite(image, QRect(region.left(), 40, region.width(), region.top() - 40)));
  EXPECT_TRUE(allWhite(image, QRect(region.right() + 1, region.top(), 50, region.height())));
}

TEST(PanelRegions, SubRegionsCoverPanelElementsBeneathThem) {
  // A bar on Panel4 that runs under the value region shows only outside it.
  const std::vector<ElementSpec> elements = {
      {Element::Shape1, PanelRegion::Panel4, {150, 200, 100, 10}, ElementKind::Bar},
  };
  PanelState state = allHidden();
  state.show(Element::Shape1);
  QImage image(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
  QPainter painter(&image);
  PanelRenderer(elements).paint(painter, state);
  painter.end();

  const int valueLeft = regionSpec(PanelRegion::ValuePanel).box.x;
  EXPECT_TRUE(isBlack(image.pixel(valueLeft - 5, 205)));
  EXPECT_TRUE(allWhite(image, QRect(valueLeft, 200, 48, 10)));
}

TEST(PanelRegions, EveryElementStaysInsideItsOwnBox) {
  PanelState base = allHidden();
  for (const ElementSpec &entry : panelCatalogue()) {
    PanelState reference = base;
    if (entry.region == PanelRegion::KD) reference.show(Element::KD);
    PanelState state = reference;
    state.show(entry.element);
    const QImage without = renderPanel(reference), with = renderPanel(state);

    QRect allowed = toRect(panelBox(entry)).adjusted(-1, -1, 1, 1);
    int changed = 0, outside = 0;
    for (int y = 0; y < kPanelHeight; ++y)
      for (int x = 0; x < kPanelWidth; ++x)
        if (with.pixel(x, y) != without.pixel(x, y)) {
          ++changed;
          if (!allowed.contains(x, y)) ++outside;
        }
    EXPECT_GT(changed, 0) << elementName(entry.element) << " draws nothing";
    EXPECT_EQ(outside, 0) << elementName(entry.element) << " draws outside its box";
  }
}

// ---------------------------------------------------------------------------------------
// Bars and pictures.

TEST(PanelBars, OnlyTheLitSegmentIsBlack) {
  const QRect kd = toRect(regionSpec(PanelRegion::KD).box);
  for (int lit : {0, 1, 5, 28, 29, 30}) {
    PanelState state;
    for (int k = 0; k <= 30; ++k) state.setVisible(barSegment(k), k == lit);
    const QImage image = renderPanel(state);
    for (int k = 0; k <= 30; ++k) {
      // Below the base line, in the middle of the segment's box.
      const PanelBox b = panelBox(elementSpec(barSegment(k)));
      const QPoint probe(b.x + b.w / 2, kd.y() + 50);
      EXPECT_EQ(isBlack(image.pixel(probe)), k == lit) << "lit " << lit << " probe " << k;
      EXPECT_EQ(isWhite(image.pixel(probe)), k != lit) << "lit " << lit << " probe " << k;
    }
  }
}

TEST(PanelBars, BatteryLevelBarsFollowTheirFlags) {
  PanelState state;
  state.hide(Element::powerv2);
  const QImage image = renderPanel(state);
  auto centre = [](Element e) { return toRect(panelBox(elementSpec(e))).center(); };
  EXPECT_TRUE(isBlack(image.pixel(centre(Element::powerV1))));
  EXPECT_TRUE(isWhite(image.pixel(centre(Element::powerv2))));
  EXPECT_TRUE(isBlack(image.pixel(centre(Element::powerv3))));
}

TEST(PanelPictures, LinkIndicatorIsCyanOnlyWhileActive) {
  const QRect icon = toRect(panelBox(elementSpec(Element::CONok)));
  ASSERT_EQ(icon.size(), QSize(32, 32));
  auto cyan = [](QRgb p) { return (p & 0xFFFFFF) == kLinkCyan; };
  auto drawn = [](QRgb p) { return !isWhite(p); };

  PanelState idle;  // start-up: CONokN shows, CONok does not
  const QImage idleImage = renderPanel(idle);
  EXPECT_EQ(countPixels(idleImage, icon, cyan), 0);
  EXPECT_GT(countPixels(idleImage, icon, drawn), 50);

  PanelState active;
  active.show(Element::CONok);
  active.hide(Element::CONokN);
  EXPECT_GT(countPixels(renderPanel(active), icon, cyan), 50);

  active.hide(Element::CONok);
  EXPECT_TRUE(allWhite(renderPanel(active), icon));
}

TEST(PanelPictures, LinkIconKeepsItsOwnSizeInALargerBox) {
  QImage image(64, 64, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  drawPanelPicture(painter, Element::CONok, QRectF(0, 0, 64, 64));
  painter.end();
  EXPECT_GT(countPixels(image, QRect(0, 0, 32, 32), [](QRgb p) { return !isWhite(p); }), 50);
  EXPECT_TRUE(allWhite(image, QRect(33, 0, 31, 64)));
  EXPECT_TRUE(allWhite(image, QRect(0, 33, 64, 31)));
}

// ---------------------------------------------------------------------------------------
// The widget.

TEST(PanelViewWidget, HasTheFixedPanelSizeAndDrawsTheStateItPointsTo) {
  PanelState state;
  PanelView view(&state);
  EXPECT_EQ(view.size(), QSize(kPanelWidth, kPanelHeight));
  EXPECT_EQ(view.minimumSize(), view.maximumSize());

  const QImage first = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(first, renderPanel(state));

  state.hide(Element::KD);
  view.update();
  const QImage second = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(allWhite(second, toRect(regionSpec(PanelRegion::KD).box)));
}

}  // namespace
}  // namespace vexal
