#include "report/ReportMakeup.h"

#include <algorithm>

namespace vexal {

FontSpec reportFontSpec(double points, bool bold, TextColour colour) {
  FontSpec f;
  f.points = points;
  f.bold = bold;
  f.colour = colour;
  return f;
}

ReportElement reportLabel(double left, double top, std::string value, FontSpec font) {
  ReportElement e;
  e.kind = ReportElementKind::Label;
  e.left = left;
  e.top = top;
  e.text = std::move(value);
  e.font = std::move(font);
  return e;
}

ReportElement reportField(double left, double top, std::string name) {
  ReportElement e;
  e.kind = ReportElementKind::DataField;
  e.left = left;
  e.top = top;
  e.fieldName = std::move(name);
  e.font = reportFontSpec(8);
  return e;
}

ReportElement reportPicture(double top, double width, double height) {
  ReportElement e;
  e.kind = ReportElementKind::Picture;
  e.name = "Picture";
  e.top = top;
  e.width = width;
  e.height = height;
  return e;
}

ReportBand reportPageHeader(std::string title) {
  ReportElement centred =
      reportLabel(0, 1.0, std::move(title), reportFontSpec(14, true, TextColour::Blue));
  centred.centred = true;
  ReportElement date;
  date.kind = ReportElementKind::PrintDate;
  date.left = 171.4;
  date.top = 5.3;
  date.font = reportFontSpec(7);
  return {BandKind::PageHeader,
          10.6,
          {centred, reportLabel(158.8, 5.3, "Print Date:", reportFontSpec(7)), date}};
}

ReportBand reportPageFooter(int total) {
  ReportElement number;
  number.kind = ReportElementKind::PageNumber;
  number.left = 93.5;
  number.top = 4.2;
  number.font = reportFontSpec(9);
  return {BandKind::PageFooter,
          10.6,
          {reportLabel(84, 4.2, "Page", reportFontSpec(9)), number,
           reportLabel(99.5, 4.2, "of", reportFontSpec(9)),
           reportLabel(104, 4.2, std::to_string(total), reportFontSpec(9))}};
}

int reportDetailsOnPage(const ReportLayout &layout, const ReportBand &detail,
                        double headerHeights) {
  return static_cast<int>((layout.page.printableHeight() - headerHeights) / detail.height);
}

ReportDocument openPagedReport(std::string name, std::string heading, ReportBand title,
                               ReportBand columns, ReportBand detail, DetailSource details,
                               const std::string &printDate) {
  ReportLayout layout;
  layout.name = std::move(name);
  ReportBand header = reportPageHeader(std::move(heading)), footer = reportPageFooter(1);
  const double around = header.height + columns.height + footer.height;
  layout.rowsPerPage = reportDetailsOnPage(layout, detail, around);
  layout.firstPageRows = std::max(1, reportDetailsOnPage(layout, detail, around + title.height));
  layout.bands = {std::move(header), std::move(title), std::move(columns), std::move(detail),
                  std::move(footer)};
  // The footer names the page total, known once the pages are counted.
  const int total = ReportDocument(layout, details, printDate).pageCount();
  layout.bands.back() = reportPageFooter(total);
  return ReportDocument(std::move(layout), std::move(details), printDate);
}

}  // namespace vexal
