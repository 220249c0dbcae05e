#include "report/ReportLayout.h"

#include <algorithm>
#include <utility>

namespace vexal {

namespace {

FontSpec arial(double points, TextColour colour = TextColour::Black) {
  FontSpec f;
  f.points = points;
  f.colour = colour;
  return f;
}

FontSpec titleFont() {
  FontSpec f = arial(14, TextColour::Blue);
  f.bold = true;
  f.underline = true;
  return f;
}

FontSpec baseFont() {
  FontSpec f;
  f.base = true;
  return f;
}

ReportElement label(double left, double top, std::string text, FontSpec font,
                    std::string name = {}) {
  ReportElement e;
  e.kind = ReportElementKind::Label;
  e.left = left;
  e.top = top;
  e.text = std::move(text);
  e.font = std::move(font);
  e.name = std::move(name);
  return e;
}

ReportElement centredTitle(double top, std::string text) {
  ReportElement e = label(0, top, std::move(text), titleFont());
  e.centred = true;
  return e;
}

ReportElement dataField(double left, double top, std::string name, Field field,
                        FontSpec font = arial(10)) {
  ReportElement e;
  e.kind = ReportElementKind::DataField;
  e.left = left;
  e.top = top;
  e.fieldName = std::move(name);
  e.field = field;
  e.font = std::move(font);
  return e;
}

ReportElement picture(double left, double top, double width, double height) {
  ReportElement e;
  e.kind = ReportElementKind::Picture;
  e.name = "Picture";
  e.left = left;
  e.top = top;
  e.width = width;
  e.height = height;
  return e;
}

ReportBand pageHeader(double titleTop, const std::string &title) {
  ReportElement date;
  date.kind = ReportElementKind::PrintDate;
  date.left = 171.4;
  date.top = 5.3;
  date.font = arial(7);
  return {BandKind::PageHeader,
          10.6,
          {centredTitle(titleTop, title), label(158.8, 5.3, "Print Date:", arial(7)), date}};
}

ReportBand columnHeader(double height, const std::vector<double> &lefts,
                        const std::vector<std::string> &titles, bool lastInBaseFont) {
  ReportBand band{BandKind::ColumnHeader, height, {}};
  for (std::size_t i = 0; i < titles.size(); ++i) {
    const bool base = lastInBaseFont && i + 1 == titles.size();
    band.elements.push_back(label(lefts[i], 4.2, titles[i], base ? baseFont() : arial(10)));
  }
  return band;
}

constexpr Field kFields[] = {Field::No,   Field::Time,   Field::Value,
                             Field::Unit, Field::VRange, Field::IRange};

ReportBand detail(const std::vector<double> &lefts, const std::vector<double> &tops,
                  const std::vector<std::string> &names, bool lastInBaseFont) {
  ReportBand band{BandKind::Detail, 6.6, {}};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool base = lastInBaseFont && i + 1 == names.size();
    band.elements.push_back(
        dataField(lefts[i], tops[i], names[i], kFields[i], base ? baseFont() : arial(10)));
  }
  return band;
}

// "The Page n Of m", m being the text of the label `totalName`.
ReportBand pageFooter(const std::string &totalName) {
  ReportElement number;
  number.kind = ReportElementKind::PageNumber;
  number.left = 24.3;
  number.top = 4.2;
  number.font = arial(8, TextColour::Blue);
  return {BandKind::PageFooter,
          10.6,
          {label(8.5, 4.2, "The Page", arial(10, TextColour::ToolTipText)), number,
           label(31.8, 4.2, "Of", arial(10)),
           label(37.0, 4.2, totalName, arial(9, TextColour::Blue), totalName)}};
}

const std::vector<std::string> kRangeTitles = {"No", "Time", "Value", "Unit", "V_Range", "I_Range"};
const std::vector<double> kRangeLefts = {8.5, 33.9, 64.3, 99.5, 132.3, 163.0};
const std::vector<double> kRangeFieldLefts = {8.5, 33.9, 65.6, 99.5, 132.3, 163.0};
const std::vector<double> kFieldTops(6, 2.1);

}  // namespace

const ReportBand *ReportLayout::band(BandKind kind) const {
  for (const ReportBand &b : bands)
    if (b.kind == kind) return &b;
  return nullptr;
}

ReportBand *ReportLayout::band(BandKind kind) {
  return const_cast<ReportBand *>(std::as_const(*this).band(kind));
}

const ReportElement *ReportLayout::element(const std::string &name) const {
  for (const ReportBand &b : bands)
    for (const ReportElement &e : b.elements)
      if (e.name == name) return &e;
  return nullptr;
}

ReportElement *ReportLayout::element(const std::string &name) {
  return const_cast<ReportElement *>(std::as_const(*this).element(name));
}

std::vector<std::string> ReportLayout::columnTitles() const {
  std::vector<std::string> titles;
  const ReportBand *header = band(BandKind::ColumnHeader);
  if (!header) return titles;
  std::vector<const ReportElement *> labels;
  for (const ReportElement &e : header->elements)
    if (e.kind == ReportElementKind::Label) labels.push_back(&e);
  std::stable_sort(labels.begin(), labels.end(),
                   [](auto *a, auto *b) { return a->left < b->left; });
  for (auto *e : labels) titles.push_back(e->text);
  return titles;
}

std::int32_t pageTotal(std::size_t rowCount) {
  if (rowCount <= static_cast<std::size_t>(kRowsPerPage)) return 1;
  return static_cast<std::int32_t>((rowCount + kRowsPerPage - 1) / kRowsPerPage);
}

ReportLayout dataReportLayout() {
  ReportLayout r;
  r.name = "Report1";
  r.boundToTable = true;
  r.bands.push_back(pageHeader(2.1, " TEST DATA REPORT"));
  r.bands.push_back(columnHeader(10.6, {8.5, 33.9, 64.3, 99.5, 123.8, 163.0},
                                 {"No", "Time", "Value", "Unit", "Function", "Remark"}, false));
  r.bands.push_back(detail({8.5, 33.9, 65.6, 99.5, 123.8, 164.0}, {2.1, 2.1, 2.1, 2.1, 1.6, 2.1},
                           {"No", "Time", "Value", "Unit", "V_Range", "I_Range"}, false));
  r.bands.push_back(pageFooter("Allpage"));
  return r;
}

ReportLayout storeReportLayout() {
  ReportLayout r;
  r.name = "Report2";
  r.bands.push_back(pageHeader(1.1, "LUSK STORE DATA REPORT"));
  r.bands.push_back(columnHeader(10.6, kRangeLefts, kRangeTitles, true));
  r.bands.push_back(detail(kRangeFieldLefts, kFieldTops,
                           {"SNo", "STime", "SValue", "SUnit", "SV_Range", "SI_Range"}, true));
  r.bands.push_back(pageFooter("Sallpage"));
  return r;
}

ReportLayout graphReportLayout() {
  ReportLayout r;
  r.name = "Report3";
  r.bands.push_back(pageHeader(3.2, "LUSK GRAPH REPORT"));
  r.bands.push_back(columnHeader(5.0, {132.3, 163.0}, {"V_Range", "I_Range"}, true));
  r.bands.push_back({BandKind::Detail, 156.6, {picture(2.1, 6.3, 181.2, 151.6)}});
  return r;
}

ReportLayout dataGraphReportLayout() {
  ReportLayout r;
  r.name = "Report4";
  r.bands.push_back(pageHeader(2.1, "LUSK TEST DATA+GRAPH  REPORT"));
  r.bands.push_back({BandKind::Title, 0.3, {}});
  r.bands.push_back(columnHeader(10.6, kRangeLefts, kRangeTitles, true));
  r.bands.push_back(detail(kRangeFieldLefts, kFieldTops,
                           {"No", "Time", "Value", "Unit", "V_Range", "I_Range"}, true));
  r.bands.push_back({BandKind::Summary, 91.3, {picture(7.4, 9.5, 143.1, 77.5)}});
  r.bands.push_back({BandKind::PageFooter, 9.8, {}});
  return r;
}

}  // namespace vexal
