#pragma once
// A previewer that shows nothing: it keeps what each preview was given and can act while the
// "window" is open (append readings, empty the table, fail).

#include <functional>
#include <vector>

#include "report/qt/ReportFlows.h"

namespace vexal {

struct SeenPreview {
  std::string layout;
  int pages = 0;
  std::vector<std::string> footers;  // the footer texts of every page
  QSize picture;
  std::vector<std::string> lastDetail;
};

class RecordingPreviewer : public ReportPreviewer {
 public:
  void preview(ReportDocument doc, const QImage &picture) override {
    if (whileOpen) whileOpen(doc);
    SeenPreview seen;
    seen.layout = doc.layout().name;
    seen.pages = doc.pageCount();
    seen.picture = picture.size();
    for (int p = 1; p <= doc.pageCount(); ++p) {
      std::string footer;
      for (const PlacedElement &e : doc.page(p).elements)
        if (e.band == BandKind::PageFooter) footer += (footer.empty() ? "" : " ") + e.text;
      seen.footers.push_back(footer);
    }
    seen.lastDetail = doc.detailTexts(doc.detailCount() - 1);
    shown.push_back(seen);
  }

  std::function<void(const ReportDocument &)> whileOpen;
  std::vector<SeenPreview> shown;
};

}  // namespace vexal
