#include "report/ReportDocument.h"

#include "common/Cp936.h"
#include "record/TimeOfDay.h"

namespace vexal {

std::string displayText(const TableRowView &row, Field field) {
  switch (field) {
    case Field::No:
      return row.no ? std::to_string(*row.no) : std::string();
    case Field::Time:
      return row.timeMs ? formatLongTime(*row.timeMs) : std::string();
    case Field::Value:
      return row.value ? cp936ToUtf8(*row.value) : std::string();
    case Field::Unit:
      return row.unit ? cp936ToUtf8(*row.unit) : std::string();
    case Field::VRange:
      return row.vRange ? cp936ToUtf8(*row.vRange) : std::string();
    case Field::IRange:
      return row.iRange ? cp936ToUtf8(*row.iRange) : std::string();
  }
  return {};
}

ReportDocument::ReportDocument(ReportLayout layout, std::optional<TableSnapshot> rows,
                               std::string printDate)
    : layout_(std::move(layout)), rows_(std::move(rows)), printDate_(std::move(printDate)) {
  if (!layout_.boundToTable) rows_.reset();
  pages_ = rows_ ? pagesFor(rows_->rowCount()) : 1;
  summaryOwnPage_ = !summaryFitsOnLastPage();
  if (summaryOwnPage_) ++pages_;
}

ReportDocument::ReportDocument(ReportLayout layout, DetailSource details, std::string printDate)
    : layout_(std::move(layout)), details_(std::move(details)), printDate_(std::move(printDate)) {
  pages_ = pagesFor(details_->count);
  summaryOwnPage_ = !summaryFitsOnLastPage();
  if (summaryOwnPage_) ++pages_;
}

int ReportDocument::pagesFor(std::size_t details) const {
  const auto first = static_cast<std::size_t>(layout_.rowsOnFirstPage());
  const auto other = static_cast<std::size_t>(layout_.rowsPerPage);
  if (details <= first) return 1;
  return static_cast<int>(1 + (details - first + other - 1) / other);
}

std::size_t ReportDocument::detailCount() const {
  const std::size_t count = details_ ? details_->count : rows_ ? rows_->rowCount() : 0;
  return count > 0 ? count : 1;
}

std::pair<std::size_t, std::size_t> ReportDocument::detailsOnPage(int number) const {
  const std::size_t all = detailCount();
  const auto onFirst = static_cast<std::size_t>(layout_.rowsOnFirstPage());
  const auto perPage = static_cast<std::size_t>(layout_.rowsPerPage);
  if (number < 1) return {all, 0};
  const std::size_t first =
      number == 1 ? 0 : onFirst + static_cast<std::size_t>(number - 2) * perPage;
  if (first >= all) return {all, 0};
  return {first, std::min(number == 1 ? onFirst : perPage, all - first)};
}

std::vector<std::string> detailTexts(const ReportLayout &layout, const TableRowView &row) {
  std::vector<std::string> texts;
  const ReportBand *band = layout.band(BandKind::Detail);
  if (!band) return texts;
  for (const ReportElement &e : band->elements)
    if (e.kind == ReportElementKind::DataField)
      texts.push_back(e.field ? displayText(row, *e.field) : std::string());
  return texts;
}

std::vector<std::string> ReportDocument::detailTexts(std::size_t detail) const {
  if (details_) {
    if (detail < details_->count && details_->texts) return details_->texts(detail);
    return {};
  }
  const bool hasRow = rows_ && detail < rows_->rowCount();
  // A detail without a row prints its fields empty, as a row without values does.
  return vexal::detailTexts(layout_, hasRow ? rows_->view(detail) : TableRowView{});
}

// The summary follows the last detail on its page when there is room above the footer.
bool ReportDocument::summaryFitsOnLastPage() const {
  const ReportBand *summary = layout_.band(BandKind::Summary);
  if (!summary) return true;
  double used = 0;
  for (BandKind k : {BandKind::PageHeader, BandKind::ColumnHeader, BandKind::PageFooter})
    if (const ReportBand *b = layout_.band(k)) used += b->height;
  if (pages_ == 1)
    if (const ReportBand *t = layout_.band(BandKind::Title)) used += t->height;
  const ReportBand *detail = layout_.band(BandKind::Detail);
  const std::size_t last = detailsOnPage(pages_).second;
  if (detail) used += detail->height * static_cast<double>(last);
  return used + summary->height <= layout_.page.printableHeight() + 1e-9;
}

void ReportDocument::placeBand(LaidOutPage &page, const ReportBand &band, double &y,
                               std::optional<std::size_t> detail) const {
  const double left = layout_.page.margin;
  page.bands.push_back({band.kind, y, band.height});
  std::vector<std::string> fields;
  if (detail) fields = detailTexts(*detail);
  std::size_t fieldIndex = 0;
  for (const ReportElement &e : band.elements) {
    PlacedElement p;
    p.kind = e.kind;
    p.band = band.kind;
    p.x = left + e.left;
    p.y = y + e.top;
    p.width = e.width;
    p.height = e.height;
    p.font = e.font;
    if (e.centred) {
      p.centred = true;
      p.x = left;
      p.width = layout_.page.bandWidth();
    }
    switch (e.kind) {
      case ReportElementKind::Label:
        p.text = e.text;
        break;
      case ReportElementKind::DataField:
        p.text = fieldIndex < fields.size() ? fields[fieldIndex] : std::string();
        ++fieldIndex;
        break;
      case ReportElementKind::PrintDate:
        p.text = printDate_;
        break;
      case ReportElementKind::PageNumber:
        p.text = std::to_string(page.number);
        break;
      case ReportElementKind::Picture:
        break;
    }
    page.elements.push_back(std::move(p));
  }
  y += band.height;
}

LaidOutPage ReportDocument::page(int number) const {
  LaidOutPage page;
  page.number = number;
  if (number < 1 || number > pages_) return page;
  double y = layout_.page.margin;
  auto place = [&](BandKind kind, std::optional<std::size_t> detail = std::nullopt) {
    if (const ReportBand *b = layout_.band(kind)) placeBand(page, *b, y, detail);
  };
  place(BandKind::PageHeader);
  if (number == 1) place(BandKind::Title);
  place(BandKind::ColumnHeader);
  const auto [first, count] = detailsOnPage(number);
  for (std::size_t d = first; d < first + count; ++d) place(BandKind::Detail, d);
  if (number == pages_) place(BandKind::Summary);
  if (const ReportBand *footer = layout_.band(BandKind::PageFooter)) {
    y = layout_.page.height - layout_.page.margin - footer->height;
    placeBand(page, *footer, y, std::nullopt);
  }
  return page;
}

bool Report::setLabelText(const std::string &name, const std::string &text) {
  ReportElement *e = layout_.element(name);
  if (!e || e->kind != ReportElementKind::Label) return false;
  e->text = text;
  return true;
}

ReportDocument Report::open(std::optional<TableSnapshot> rows, std::string printDate) {
  if (BeforePrint) BeforePrint(*this);
  return ReportDocument(layout_, std::move(rows), std::move(printDate));
}

}  // namespace vexal
