#pragma once
// The pieces the insulation reports are made of: fonts, labels, data fields, the picture, the
// page footer "Page n of m", how many details fit on a page, and the paged report of them.

#include <string>

#include "report/ReportDocument.h"
#include "report/ReportLayout.h"

namespace vexal {

FontSpec reportFontSpec(double points, bool bold = false, TextColour colour = TextColour::Black);
ReportElement reportLabel(double left, double top, std::string value, FontSpec font);
// A data field named `name`, in 8 pt.
ReportElement reportField(double left, double top, std::string name);
// The report's picture, across the band from its left edge.
ReportElement reportPicture(double top, double width, double height);
// The centred title in 14 pt bold blue, and the print date at the right.
ReportBand reportPageHeader(std::string title);
// "Page n of m" with the page total given.
ReportBand reportPageFooter(int total);
// The details of `detail`'s height that fit on a page beside bands of `headerHeights` mm.
int reportDetailsOnPage(const ReportLayout &layout, const ReportBand &detail, double headerHeights);

// A report named `name`: the page header `heading`, on the first page the title band, on every
// page the column header and as many details as fit, and "Page n of m" below each page.
ReportDocument openPagedReport(std::string name, std::string heading, ReportBand title,
                               ReportBand columns, ReportBand detail, DetailSource details,
                               const std::string &printDate);

}  // namespace vexal
