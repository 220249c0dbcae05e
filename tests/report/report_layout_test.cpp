// The four report layouts, the page total and how pages are laid out, checked on the model.
#include <gtest/gtest.h>

#include "record/TimeOfDay.h"
#include "report/PrintReports.h"

namespace vexal {
namespace {

ReadingTable tableOf(int rows) {
  ReadingTable t;
  for (int i = 1; i <= rows; ++i) {
    TableRow r;
    r.no = i;
    r.timeMs = 36'000'000 + i * 1000;
    r.value = std::to_string(i);
    r.unit = "M\xA6\xB8";
    r.vRange = "IR:500V 20G\xA6\xB8";
    r.iRange = "Continuous";
    t.appendRow(r);
  }
  return t;
}

const PlacedElement *find(const LaidOutPage &page, BandKind band, const std::string &text) {
  for (const PlacedElement &e : page.elements)
    if (e.band == band && e.text == text) return &e;
  return nullptr;
}

std::string footerText(const LaidOutPage &page) {
  std::string out;
  for (const PlacedElement &e : page.elements)
    if (e.band == BandKind::PageFooter) out += (out.empty() ? "" : " ") + e.text;
  return out;
}

int detailBands(const LaidOutPage &page) {
  int n = 0;
  for (const PlacedBand &b : page.bands) n += b.kind == BandKind::Detail;
  return n;
}

TEST(PageTotal, FollowsThirtySevenRowsAPage) {
  EXPECT_EQ(pageTotal(0), 1);
  EXPECT_EQ(pageTotal(1), 1);
  EXPECT_EQ(pageTotal(37), 1);
  EXPECT_EQ(pageTotal(38), 2);
  EXPECT_EQ(pageTotal(74), 2);
  EXPECT_EQ(pageTotal(75), 3);
  EXPECT_EQ(pageTotal(100'000), 2703);
}

TEST(ReportLayouts, PageSetupIsA4WithTenMillimetreMargins) {
  for (const ReportLayout &l :
       {dataReportLayout(), storeReportLayout(), graphReportLayout(), dataGraphReportLayout()}) {
    EXPECT_EQ(l.page.width, 210.0);
    EXPECT_EQ(l.page.height, 297.0);
    EXPECT_EQ(l.page.margin, 10.0);
    EXPECT_EQ(l.page.bandWidth(), 190.0);
    EXPECT_EQ(l.page.columns, 1);
  }
}

TEST(ReportLayouts, DataReportPlacesItsElementsAsDesigned) {
  const ReportLayout l = dataReportLayout();
  EXPECT_TRUE(l.boundToTable);
  const ReportBand *header = l.band(BandKind::PageHeader);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->height, 10.6);
  const ReportElement &title = header->elements.at(0);
  EXPECT_EQ(title.text, " TEST DATA REPORT");
  EXPECT_TRUE(title.centred);
  EXPECT_EQ(title.top, 2.1);
  EXPECT_EQ(title.font.points, 14);
  EXPECT_TRUE(title.font.bold && title.font.underline);
  EXPECT_EQ(title.font.colour, TextColour::Blue);
  EXPECT_EQ(header->elements.at(1).text, "Print Date:");
  EXPECT_EQ(header->elements.at(1).left, 158.8);
  EXPECT_EQ(header->elements.at(2).kind, ReportElementKind::PrintDate);
  EXPECT_EQ(header->elements.at(2).left, 171.4);
  EXPECT_EQ(header->elements.at(2).font.points, 7);

  EXPECT_EQ(l.columnTitles(),
            (std::vector<std::string>{"No", "Time", "Value", "Unit", "Function", "Remark"}));
  const ReportBand *columns = l.band(BandKind::ColumnHeader);
  const double headLefts[] = {8.5, 33.9, 64.3, 99.5, 123.8, 163.0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(columns->elements.at(i).left, headLefts[i]);
    EXPECT_EQ(columns->elements.at(i).top, 4.2);
  }

  const ReportBand *detail = l.band(BandKind::Detail);
  EXPECT_EQ(detail->height, 6.6);
  const double lefts[] = {8.5, 33.9, 65.6, 99.5, 123.8, 164.0};
  const double tops[] = {2.1, 2.1, 2.1, 2.1, 1.6, 2.1};
  const Field fields[] = {Field::No,   Field::Time,   Field::Value,
                          Field::Unit, Field::VRange, Field::IRange};
  for (int i = 0; i < 6; ++i) {
    const ReportElement &e = detail->elements.at(i);
    EXPECT_EQ(e.kind, ReportElementKind::DataField);
    EXPECT_EQ(e.left, lefts[i]);
    EXPECT_EQ(e.top, tops[i]);
    EXPECT_EQ(*e.field, fields[i]);
  }

  const ReportBand *footer = l.band(BandKind::PageFooter);
  EXPECT_EQ(footer->height, 10.6);
  EXPECT_EQ(footer->elements.at(0).text, "The Page");
  EXPECT_EQ(footer->elements.at(0).font.colour, TextColour::ToolTipText);
  EXPECT_EQ(footer->elements.at(1).kind, ReportElementKind::PageNumber);
  EXPECT_EQ(footer->elements.at(1).left, 24.3);
  EXPECT_EQ(footer->elements.at(1).font.points, 8);
  EXPECT_EQ(footer->elements.at(2).left, 31.8);
  const ReportElement *all = l.element("Allpage");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->left, 37.0);
  EXPECT_EQ(all->font.points, 9);
  EXPECT_EQ(all->text, "Allpage");
}

TEST(ReportLayouts, StoreReportDiffersOnlyWhereDesigned) {
  const ReportLayout l = storeReportLayout();
  EXPECT_FALSE(l.boundToTable);
  EXPECT_EQ(l.band(BandKind::PageHeader)->elements.at(0).text, "LUSK STORE DATA REPORT");
  EXPECT_EQ(l.band(BandKind::PageHeader)->elements.at(0).top, 1.1);
  EXPECT_EQ(l.columnTitles(),
            (std::vector<std::string>{"No", "Time", "Value", "Unit", "V_Range", "I_Range"}));
  const ReportBand *columns = l.band(BandKind::ColumnHeader);
  EXPECT_EQ(columns->elements.at(4).left, 132.3);
  EXPECT_TRUE(columns->elements.at(5).font.base);
  EXPECT_FALSE(columns->elements.at(4).font.base);
  const ReportBand *detail = l.band(BandKind::Detail);
  EXPECT_EQ(detail->elements.at(0).fieldName, "SNo");
  EXPECT_EQ(detail->elements.at(5).fieldName, "SI_Range");
  EXPECT_EQ(detail->elements.at(4).top, 2.1);
  EXPECT_EQ(detail->elements.at(5).left, 163.0);
  EXPECT_TRUE(l.element("Sallpage"));
  EXPECT_FALSE(l.element("Allpage"));
}

TEST(ReportLayouts, GraphReportsCarryTheirPictures) {
  const ReportLayout g = graphReportLayout();
  EXPECT_EQ(g.band(BandKind::PageHeader)->elements.at(0).text, "LUSK GRAPH REPORT");
  EXPECT_EQ(g.band(BandKind::PageHeader)->elements.at(0).top, 3.2);
  EXPECT_EQ(g.band(BandKind::ColumnHeader)->height, 5.0);
  EXPECT_EQ(g.columnTitles(), (std::vector<std::string>{"V_Range", "I_Range"}));
  EXPECT_FALSE(g.band(BandKind::PageFooter));
  const ReportElement &p = g.band(BandKind::Detail)->elements.at(0);
  EXPECT_EQ(p.kind, ReportElementKind::Picture);
  EXPECT_EQ(g.band(BandKind::Detail)->height, 156.6);
  EXPECT_EQ(p.left, 2.1);
  EXPECT_EQ(p.top, 6.3);
  EXPECT_EQ(p.width, 181.2);
  EXPECT_EQ(p.height, 151.6);

  const ReportLayout dg = dataGraphReportLayout();
  EXPECT_EQ(dg.band(BandKind::PageHeader)->elements.at(0).text, "LUSK TEST DATA+GRAPH  REPORT");
  EXPECT_EQ(dg.band(BandKind::Title)->height, 0.3);
  const ReportBand *summary = dg.band(BandKind::Summary);
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->height, 91.3);
  EXPECT_EQ(summary->elements.at(0).left, 7.4);
  EXPECT_EQ(summary->elements.at(0).top, 9.5);
  EXPECT_EQ(summary->elements.at(0).width, 143.1);
  EXPECT_EQ(summary->elements.at(0).height, 77.5);
  EXPECT_EQ(dg.band(BandKind::PageFooter)->height, 9.8);
  EXPECT_TRUE(dg.band(BandKind::PageFooter)->elements.empty());
}

TEST(ReportDocument, PagesHoldThirtySevenRowsEach) {
  PrintReports reports;
  for (auto [rows, pages] : {std::pair{37, 1}, {38, 2}, {74, 2}, {75, 3}}) {
    ReadingTable t = tableOf(rows);
    ReportDocument doc = reports.openDataReport(t, "09/12/2026");
    EXPECT_EQ(doc.pageCount(), pages) << rows;
    EXPECT_EQ(reports.DataReportPageCount, pages) << rows;
    EXPECT_EQ(detailBands(doc.page(pages)), rows - (pages - 1) * 37) << rows;
    EXPECT_EQ(footerText(doc.page(pages)),
              "The Page " + std::to_string(pages) + " Of " + std::to_string(pages));
  }
}

TEST(ReportDocument, AnyPageIsLaidOutOnItsOwn) {
  PrintReports reports;
  ReadingTable t = tableOf(100);
  ReportDocument doc = reports.openDataReport(t, "d");
  const LaidOutPage p2 = doc.page(2);
  // Rows 38..74 on page 2; the first detail shows row 38.
  EXPECT_EQ(detailBands(p2), 37);
  EXPECT_TRUE(find(p2, BandKind::Detail, "38"));
  EXPECT_TRUE(find(p2, BandKind::Detail, "74"));
  EXPECT_FALSE(find(p2, BandKind::Detail, "37"));
  EXPECT_FALSE(find(p2, BandKind::Detail, "75"));
  EXPECT_EQ(footerText(p2), "The Page 2 Of 3");
  EXPECT_EQ(footerText(doc.page(3)), "The Page 3 Of 3");
  EXPECT_TRUE(doc.page(4).elements.empty());
}

TEST(ReportDocument, BandsLieOnThePageInOrder) {
  PrintReports reports;
  ReadingTable t = tableOf(37);
  const LaidOutPage p = reports.openDataReport(t, "d").page(1);
  ASSERT_EQ(p.bands.size(), 2u + 37u + 1u);
  EXPECT_EQ(p.bands[0].kind, BandKind::PageHeader);
  EXPECT_DOUBLE_EQ(p.bands[0].top, 10.0);
  EXPECT_EQ(p.bands[1].kind, BandKind::ColumnHeader);
  EXPECT_DOUBLE_EQ(p.bands[1].top, 20.6);
  EXPECT_DOUBLE_EQ(p.bands[2].top, 31.2);
  EXPECT_DOUBLE_EQ(p.bands[38].top, 31.2 + 36 * 6.6);
  // The footer sits at the bottom margin, below the last row.
  EXPECT_EQ(p.bands[39].kind, BandKind::PageFooter);
  EXPECT_DOUBLE_EQ(p.bands[39].top, 297.0 - 10.0 - 10.6);
  EXPECT_GT(p.bands[39].top, p.bands[38].top + 6.6 - 1e-9);
  // Element positions are the band's offsets from the margin.
  const PlacedElement *date = find(p, BandKind::PageHeader, "d");
  ASSERT_TRUE(date);
  EXPECT_DOUBLE_EQ(date->x, 10.0 + 171.4);
  EXPECT_DOUBLE_EQ(date->y, 10.0 + 5.3);
  const PlacedElement *no1 = find(p, BandKind::Detail, "1");
  ASSERT_TRUE(no1);
  EXPECT_DOUBLE_EQ(no1->x, 18.5);
  EXPECT_DOUBLE_EQ(no1->y, 31.2 + 2.1);
}

TEST(ReportDocument, DetailTextsAreTheGridsDisplayTexts) {
  ReadingTable t;
  TableRow r;
  r.no = -7;
  r.timeMs = 45'296'000;  // 12:34:56
  r.value = "1.25";
  r.unit = "M\xA6\xB8";
  r.iRange = "COMP:NG";
  t.appendRow(r);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  EXPECT_EQ(doc.detailTexts(0), (std::vector<std::string>{"-7", formatLongTime(45'296'000), "1.25",
                                                          "M\u03A9", "", "COMP:NG"}));
}

TEST(ReportDocument, EmptyTablePrintsOnePageWithEmptyFields) {
  PrintReports reports;
  ReadingTable t;
  const ReportDocument doc = reports.openDataReport(t, "d");
  EXPECT_EQ(doc.pageCount(), 1);
  EXPECT_EQ(reports.DataReportPageCount, 1);
  const LaidOutPage p = doc.page(1);
  EXPECT_EQ(detailBands(p), 1);
  for (const PlacedElement &e : p.elements)
    if (e.band == BandKind::Detail) {
      EXPECT_EQ(e.text, "");
    }
  EXPECT_EQ(footerText(p), "The Page 1 Of 1");
}

TEST(ReportDocument, UnboundReportsPrintOnePageWithEmptyFields) {
  PrintReports reports;
  reports.StoreReportPageCount = 9;
  const ReportDocument store = reports.openStoreReport("d");
  EXPECT_EQ(reports.StoreReportPageCount, 1);
  EXPECT_EQ(store.pageCount(), 1);
  EXPECT_EQ(footerText(store.page(1)), "The Page 1 Of 1");
  EXPECT_EQ(store.detailTexts(0), std::vector<std::string>(6));

  const ReportDocument dg = reports.openDataGraphReport("d");
  const LaidOutPage p = dg.page(1);
  EXPECT_EQ(dg.pageCount(), 1);
  std::vector<BandKind> kinds;
  for (const PlacedBand &b : p.bands) kinds.push_back(b.kind);
  EXPECT_EQ(kinds,
            (std::vector<BandKind>{BandKind::PageHeader, BandKind::Title, BandKind::ColumnHeader,
                                   BandKind::Detail, BandKind::Summary, BandKind::PageFooter}));
  // The picture follows the single detail: header, title, columns and detail above it.
  for (const PlacedElement &e : p.elements)
    if (e.kind == ReportElementKind::Picture) {
      EXPECT_DOUBLE_EQ(e.y, 10 + 10.6 + 0.3 + 10.6 + 6.6 + 9.5);
    }

  const ReportDocument g = reports.openGraphReport("d");
  EXPECT_EQ(g.pageCount(), 1);
}

TEST(ReportDocument, FooterTotalIsTheOneSetWhenOpened) {
  PrintReports reports;
  ReadingTable t = tableOf(38);
  const ReportDocument doc = reports.openDataReport(t, "d");
  for (int i = 0; i < 100; ++i) t.appendRow(TableRow{});
  reports.DataReportPageCount = 42;  // a later opening does not change this document
  EXPECT_EQ(doc.pageCount(), 2);
  EXPECT_EQ(footerText(doc.page(2)), "The Page 2 Of 2");
  EXPECT_EQ(detailBands(doc.page(2)), 1);
}

TEST(ReportDocument, BeforePrintIsRaisedEachTimeTheReportIsOpened) {
  PrintReports reports;
  int raised = 0;
  reports.Report1.BeforePrint = [&](Report &r) {
    ++raised;
    r.setLabelText("Allpage", "x" + std::to_string(raised));
  };
  ReadingTable t;
  EXPECT_EQ(footerText(reports.openDataReport(t, "d").page(1)), "The Page 1 Of x1");
  EXPECT_EQ(footerText(reports.openDataReport(t, "d").page(1)), "The Page 1 Of x2");
  EXPECT_FALSE(reports.Report1.setLabelText("NoSuchLabel", "y"));
}

TEST(ReportDocument, SurvivesTheTableBeingEmptiedWhileOpen) {
  PrintReports reports;
  ReadingTable t = tableOf(80);
  const ReportDocument doc = reports.openDataReport(t, "d");
  t.clear();
  EXPECT_EQ(doc.pageCount(), 3);
  EXPECT_TRUE(find(doc.page(3), BandKind::Detail, "80"));
  EXPECT_EQ(doc.detailTexts(79).at(0), "80");
}

}  // namespace
}  // namespace vexal
