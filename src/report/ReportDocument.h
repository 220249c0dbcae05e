#pragma once
// A report opened for preview, printing or export: a layout, the rows it walks and the print
// date, laid out one page at a time. Page p of a bound report holds rows (p-1)*37 to
// p*37-1, so any page is laid out on its own, without the pages before it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "record/ReadingTable.h"
#include "report/ReportLayout.h"

namespace vexal {

// An element on a laid-out page; positions in millimetres from the page's top-left corner.
struct PlacedElement {
  ReportElementKind kind = ReportElementKind::Label;
  BandKind band = BandKind::Detail;
  double x = 0, y = 0;
  double width = 0, height = 0;  // pictures; for centred texts the band's width
  bool centred = false;          // centred across [x, x + width]
  std::string text;              // the text shown (UTF-8); empty for pictures
  FontSpec font;
};

struct PlacedBand {
  BandKind kind = BandKind::Detail;
  double top = 0, height = 0;
};

struct LaidOutPage {
  int number = 1;
  std::vector<PlacedBand> bands;
  std::vector<PlacedElement> elements;
};

// Details that are not the rows of a table: how many, and the texts of one detail's data
// fields in the band's element order.
struct DetailSource {
  std::size_t count = 0;
  std::function<std::vector<std::string>(std::size_t detail)> texts;
};

class ReportDocument {
 public:
  // `rows` is the table the report walks; nothing for a report bound to no table.
  ReportDocument(ReportLayout layout, std::optional<TableSnapshot> rows, std::string printDate);
  // A report whose details come from `details` (at least one detail band is printed).
  ReportDocument(ReportLayout layout, DetailSource details, std::string printDate);

  const ReportLayout &layout() const { return layout_; }
  const std::string &printDate() const { return printDate_; }
  int pageCount() const { return pages_; }
  // Detail bands printed in all: one per row, or one with empty fields when there are none.
  std::size_t detailCount() const;
  // The details on page `number` (1-based): [first, first + count).
  std::pair<std::size_t, std::size_t> detailsOnPage(int number) const;
  // The data-field texts of one detail band, in the band's element order.
  std::vector<std::string> detailTexts(std::size_t detail) const;

  LaidOutPage page(int number) const;

 private:
  void placeBand(LaidOutPage &page, const ReportBand &band, double &y,
                 std::optional<std::size_t> detail) const;
  bool summaryFitsOnLastPage() const;

  int pagesFor(std::size_t details) const;

  ReportLayout layout_;
  std::optional<TableSnapshot> rows_;
  std::optional<DetailSource> details_;
  std::string printDate_;
  int pages_ = 1;
  bool summaryOwnPage_ = false;  // no room after the last detail: a page of its own
};

// A designed report: its layout and the notification raised each time it is laid out, in
// which label texts may be changed.
class Report {
 public:
  explicit Report(ReportLayout layout) : layout_(std::move(layout)) {}

  ReportLayout &layout() { return layout_; }
  // Sets the text of the label named `name`; false when there is none.
  bool setLabelText(const std::string &name, const std::string &text);

  std::function<void(Report &)> BeforePrint;

  // Raises BeforePrint, then opens the report over `rows` (nothing when bound to no table).
  ReportDocument open(std::optional<TableSnapshot> rows, std::string printDate);

 private:
  ReportLayout layout_;
};

// A field's display text: numbers in decimal, the time of day as the grid shows it, texts
// from code page 936 to UTF-8; nothing for a field without value.
std::string displayText(const TableRowView &row, Field field);
// The data-field texts of one row in the detail band of `layout`, in the band's element
// order (what a report prints, and exports as a CSV line, for that row).
std::vector<std::string> detailTexts(const ReportLayout &layout, const TableRowView &row);

}  // namespace vexal
