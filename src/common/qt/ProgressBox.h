#pragma once
// The progress box of long work (saving and opening data files, printing and exporting
// reports): a label, a bar and a Cancel button, modal to its window, shown once the work
// takes longer than a moment.

#include <QProgressDialog>

namespace vexal {

// How long work may take before its box appears, in milliseconds.
inline constexpr int kProgressBoxDelayMs = 400;

// Sets up `box` (counting 0 to `steps`) as every progress box of the program looks.
inline void setUpProgressBox(QProgressDialog &box, const QString &label, int steps) {
  box.setLabelText(label);
  box.setCancelButtonText(QStringLiteral("Cancel"));
  box.setRange(0, steps);
  box.setWindowModality(Qt::WindowModal);
  box.setAutoClose(false);
  box.setAutoReset(false);
  box.setMinimumDuration(kProgressBoxDelayMs);
  box.setMinimumWidth(360);
  box.setValue(0);
}

}  // namespace vexal
