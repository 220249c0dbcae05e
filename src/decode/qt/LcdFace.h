#pragma once
// The LCD face of the virtual front panel, drawn from shapes so that the panel looks the
// same whatever fonts the machine has: seven-segment digits, the decimal point, the colon,
// the minus sign and the unit signs (Ω, MΩ, GΩ, TΩ) as bold strokes.

#include <QPolygonF>
#include <QRectF>
#include <QStringView>

#include "decode/qt/PanelCatalogue.h"

class QPainter;

namespace vexal {

// Segments in the usual a..g order: a top, b upper right, c lower right, d bottom,
// e lower left, f upper left, g middle.
enum class Segment : unsigned char { A, B, C, D, E, F, G };
inline constexpr int kSegmentCount = 7;

// Bit (1 << segment) for every lit segment of a digit character: '0'..'9', '@' (the L
// pattern: both left segments and the bottom) and '-' (middle only). Any other character
// lights nothing.
unsigned segmentMask(char c);

// The area a character of the LCD face occupies inside an element box of the given text
// height: the lower part of the box (the leading is above), narrower than the box.
QRectF lcdGlyphRect(const QRectF &box, int textHeight);

// Stroke thickness of the seven-segment face at a text height, limited by the glyph width.
double segmentThickness(const QRectF &glyph, int textHeight);

// The outline of one segment inside a glyph rectangle.
QPolygonF segmentPolygon(const QRectF &glyph, double thickness, Segment s);

// Draws a digit character into an element box, lit segments in the painter's brush.
void drawLcdDigit(QPainter &painter, const QRectF &box, int textHeight, char c);

// Draws a fixed LCD text ("." ":" "-" "1" and the unit signs built from " ", "M", "G", "T",
// "Ω") into an element box. Text too wide for the box is condensed to fit.
void drawLcdText(QPainter &painter, const QRectF &box, int textHeight, QStringView text,
                 TextAlign align);

}  // namespace vexal
