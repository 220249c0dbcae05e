#pragma once
// The four report layouts: page setup, bands and the elements on them, in millimetres from
// the band's left and top edges and fonts in points. Plain data, drawn by the renderer and
// written by the exports.

#include <optional>
#include <string>
#include <vector>

#include "record/ReadingTable.h"

namespace vexal {

// A4 portrait, 10 mm margins on every side, one column.
struct PageSetup {
  double width = 210.0;
  double height = 297.0;
  double margin = 10.0;
  int columns = 1;
  double bandWidth() const { return width - 2 * margin; }
  double printableHeight() const { return height - 2 * margin; }
};

enum class BandKind { PageHeader, Title, ColumnHeader, Detail, Summary, PageFooter };
enum class ReportElementKind { Label, DataField, PrintDate, PageNumber, Picture };
enum class TextColour { Black, Blue, ToolTipText };

struct FontSpec {
  std::string face = "Arial";
  double points = 10.0;
  bool bold = false;
  bool underline = false;
  TextColour colour = TextColour::Black;
  bool base = false;  // the report's own font rather than one set on the element
  bool operator==(const FontSpec &) const = default;
};

struct ReportElement {
  ReportElementKind kind = ReportElementKind::Label;
  std::string name;  // the element's own name where the program refers to it ("Allpage")
  double left = 0, top = 0;
  double width = 0, height = 0;  // pictures only; texts are sized to their content
  bool centred = false;          // centred across the band; `left` is then unused
  std::string text;              // a label's text (UTF-8)
  std::string fieldName;         // a data field's name
  std::optional<Field> field;    // the table field a data field shows
  FontSpec font;
};

struct ReportBand {
  BandKind kind = BandKind::Detail;
  double height = 0;
  std::vector<ReportElement> elements;
};

inline constexpr int kRowsPerPage = 37;

struct ReportLayout {
  std::string name;  // "Report1" ...
  PageSetup page;
  bool boundToTable = false;
  std::vector<ReportBand> bands;
  // Detail bands a page holds; the first page holds `firstPageRows` where its title band
  // leaves less room (0: as many as the others).
  int rowsPerPage = kRowsPerPage;
  int firstPageRows = 0;
  int rowsOnFirstPage() const { return firstPageRows > 0 ? firstPageRows : rowsPerPage; }

  const ReportBand *band(BandKind kind) const;
  ReportBand *band(BandKind kind);
  // The first element of that name on any band, or null.
  ReportElement *element(const std::string &name);
  const ReportElement *element(const std::string &name) const;
  // The labels of the column header, left to right: the column titles.
  std::vector<std::string> columnTitles() const;
};

// 1 for up to 37 rows, else the rows divided by 37 rounded up.
std::int32_t pageTotal(std::size_t rowCount);

ReportLayout dataReportLayout();       // Report1, bound to the reading table
ReportLayout storeReportLayout();      // Report2, bound to no table
ReportLayout graphReportLayout();      // Report3, bound to no table
ReportLayout dataGraphReportLayout();  // Report4, bound to no table

}  // namespace vexal
