#pragma once
// Draws the virtual front panel Panel4 (the on-screen mirror of the meter's LCD) from a
// PanelState: Panel4's own elements first, then each sub-region on top of them with its
// white ground and its elements, clipped to the region. The bar-graph region KD, with its
// printed scale and segments, is drawn only while its flag is set.

#include <QImage>
#include <QWidget>
#include <span>

#include "decode/PanelState.h"
#include "decode/qt/PanelCatalogue.h"

class QPainter;

namespace vexal {

class PanelRenderer {
 public:
  PanelRenderer() : PanelRenderer(panelCatalogue()) {}
  // A renderer for another element list (same regions); the panel uses the catalogue.
  explicit PanelRenderer(std::span<const ElementSpec> elements) : elements_(elements) {}

  // Paints the whole 615 x 289 panel with its top-left corner at the painter's origin.
  void paint(QPainter &painter, const PanelState &state) const;

 private:
  void paintPanelGround(QPainter &painter) const;
  void paintRegion(QPainter &painter, const PanelState &state, PanelRegion region) const;
  void paintElement(QPainter &painter, const PanelState &state, const ElementSpec &entry) const;

  std::span<const ElementSpec> elements_;
};

// Paints the panel from the state with the standard catalogue.
void paintPanel(QPainter &painter, const PanelState &state);

// The panel as a 615 x 289 image.
QImage renderPanel(const PanelState &state);

// The bold sans-serif face of the text annunciators at a character height in pixels.
QFont annunciatorFont(int textHeight);

// The panel as a widget of fixed size. It draws the state it points to; call update()
// after the state has changed and the panel is redrawn when the GUI thread is free.
class PanelView : public QWidget {
  Q_OBJECT
 public:
  explicit PanelView(const PanelState *state = nullptr, QWidget *parent = nullptr);

  void setState(const PanelState *state);
  const PanelState *state() const { return state_; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  const PanelState *state_;
};

}  // namespace vexal
