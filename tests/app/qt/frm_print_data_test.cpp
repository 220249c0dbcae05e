// The main window's report commands with the real preview window: "Print Data" while the
// cable goes on recording, the stored-data window's report button, and the print-style
// dialog's warning. Runs offscreen; each preview is closed by the test once it is seen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <optional>

#include "app/qt/FrmTest.h"
#include "record/qt/ReadingGrid.h"
#include "report/qt/FrmPrint.h"
#include "report/qt/ReportFlows.h"
#include "report/qt/ReportPreview.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ModalWindows.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

constexpr const char *kExampleFrame = kWorkedExampleFrame;
constexpr const char *kOtherValueFrame = "FFC0000000000000000006EBA7078057D7DFD0EF0D0A";

class FrmPrintDataTest : public ::testing::Test {
 protected:
  FrmPrintDataTest() : frm(TFrmTest::Services{&clock, &dialogs}) {
    TableRow r;
    r.value = "1";
    for (int i = 1; i <= 40; ++i) {
      r.no = i;
      frm.session().cds1.appendRow(r);
    }
    QApplication::processEvents();
  }

  void feedFrame(const std::string &hex) {
    for (const auto &report : cableReportsFor(hex))
      frm.ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
  }

  // Runs `whileOpen` on the preview once it is the active modal window, then closes it; the
  // test fails at once when another window is modal instead.
  void onPreview(std::function<void(TReportPreview &)> whileOpen) {
    previewCheck.emplace(std::move(whileOpen),
                         [](TReportPreview &preview) { preview.CloseButton->click(); });
  }
  bool sawPreview() const { return previewCheck && previewCheck->seen(); }

  FixedClock clock{1000};
  ScriptedDialogs dialogs;
  TFrmTest frm;
  std::optional<test_windows::ModalWindowCheck<TReportPreview>> previewCheck;
};

TEST_F(FrmPrintDataTest, PrintDataPreviewsTheRowsHeldWhenPressed) {
  frm.show();
  onPreview([this](TReportPreview &preview) {
    EXPECT_EQ(preview.document().pageCount(), 2);
    EXPECT_EQ(preview.PageTotal->text(), "of 2");
    // The meter goes on: readings are recorded, the grid waits, the report does not change.
    feedFrame(kExampleFrame);
    feedFrame(kOtherValueFrame);
    EXPECT_EQ(frm.session().cds1.rowCount(), 42u);
    EXPECT_EQ(frm.DBGrid1->rowCount(), 40);
    EXPECT_EQ(preview.document().pageCount(), 2);
    EXPECT_EQ(preview.document().detailTexts(39).at(0), "40");
    preview.Last->click();
    EXPECT_EQ(preview.pages()->currentPage(), 2);
    const QByteArray shots = qgetenv("VEXAL_SHOT_DIR");
    if (!shots.isEmpty()) preview.grab().save(QString::fromUtf8(shots) + "/print-data.png");
  });
  frm.MajPrint->click();
  EXPECT_TRUE(sawPreview());
  EXPECT_EQ(frm.session().cds1.rowCount(), 42u);
  EXPECT_EQ(frm.DBGrid1->rowCount(), 42);  // the grid caught up when the preview closed
  EXPECT_EQ(frm.reportFlows().reports.DataReportPageCount, 2);
}

TEST_F(FrmPrintDataTest, StoredDataReportButtonPreviewsTheStoreReport) {
  onPreview([](TReportPreview &preview) {
    EXPECT_EQ(preview.document().layout().name, "Report2");
    EXPECT_EQ(preview.PageTotal->text(), "of 1");
    EXPECT_EQ(preview.windowTitle(), "Print Preview - LUSK STORE DATA REPORT");
  });
  frm.SpeedButton7->click();
  EXPECT_TRUE(sawPreview());
  EXPECT_EQ(frm.reportFlows().reports.StoreReportPageCount, 1);
}

TEST_F(FrmPrintDataTest, PrintStyleDialogWarnsWithoutAPicture) {
  TFrmprint dialog(frm.dialogs(), &frm, &frm.reportFlows());
  QObject::connect(&frm, &TFrmTest::printStyleRequested, &dialog, &QDialog::exec);
  QTimer::singleShot(0, [&] {
    dialog.RadioButton2->setChecked(true);
    dialog.BitBtn1->click();
  });
  frm.printClick();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, " Warning:Please select graph to print! ");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FrmPrintDataTest, PrintStyleDataReportPreviewsTheTable) {
  TFrmprint dialog(frm.dialogs(), &frm, &frm.reportFlows());
  QObject::connect(&frm, &TFrmTest::printStyleRequested, &dialog, &QDialog::exec);
  QTimer::singleShot(0, [&] {
    onPreview([](TReportPreview &preview) {
      EXPECT_EQ(preview.document().layout().name, "Report1");
      EXPECT_EQ(preview.document().pageCount(), 2);
    });
    dialog.BitBtn1->click();
  });
  frm.printClick();
  EXPECT_TRUE(sawPreview());
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace vexal
