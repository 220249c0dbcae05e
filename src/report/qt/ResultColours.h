#pragma once
// The colour a result is shown in: good green, a warning orange, bad red, neutral black.

#include <QColor>

#include "report/InsulationReport.h"

namespace vexal {

inline QColor toneColour(ResultTone tone) {
  switch (tone) {
    case ResultTone::Good:
      return QColor(0, 128, 0);
    case ResultTone::Warning:
      return QColor(190, 110, 0);
    case ResultTone::Bad:
      return QColor(200, 0, 0);
    case ResultTone::Neutral:
      break;
  }
  return QColor(Qt::black);
}

}  // namespace vexal
