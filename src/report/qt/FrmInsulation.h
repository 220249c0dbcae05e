#pragma once
// The "Insulation Test" window: the insulation runs of the reading table, the selected run's
// resistance-time curve and results, the test's particulars as the user types them, and the
// insulation test report of the run. Not modal; it follows the table while it is open. The
// particulars are test data of the run they were typed for: each run keeps its own while the
// table holds it, and none survive Delete Data or opening a file in its place.

#include <QString>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/InsulationAssessment.h"
#include "analysis/InsulationRuns.h"
#include "record/ReadingTable.h"
#include "report/InsulationReport.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace vexal {

class ReportPreviewer;
class RunCurveChart;

class TFrmInsulation : public QWidget, private TableObserver {
  Q_OBJECT
 public:
  // `previewer` shows the report (the preview window in the program).
  TFrmInsulation(ReadingTable &table, std::unique_ptr<ReportPreviewer> previewer,
                 QWidget *parent = nullptr);
  ~TFrmInsulation() override;

  // The runs as the table holds them now, the latest selected when none was.
  void refresh();
  const std::vector<InsulationRun> &runs() const { return runs_; }
  // The run selected in the list (an index into runs()); selectRun() as the user's choice.
  std::optional<std::size_t> selectedRun() const;
  void selectRun(std::size_t index);
  // The particulars of the selected run as typed; a number box whose value is left out (no
  // number, or out of its range) counts as empty.
  TestParticulars particulars() const;
  // Fills the boxes for the selected run.
  void setParticulars(const TestParticulars &p);
  // The results shown for the selected run.
  const std::vector<ResultLine> &shownResults() const { return results_; }

  QTableWidget *RunList;
  RunCurveChart *Curve;
  QCheckBox *LogTime;
  QLabel *NoRuns;
  QLineEdit *Equipment, *Location, *OperatorName;
  QLineEdit *WindingTemperature, *AmbientTemperature, *Humidity, *RatedVoltage;
  QComboBox *EquipmentKindBox, *InsulationClassBox, *WindingKindBox;
  QPushButton *ReportButton, *CloseButton;
  QPushButton *SaveToArchiveButton, *ArchiveButton;

  // The table the runs are found in.
  const ReadingTable &table() const { return table_; }
  // Shows a stored test: its particulars as stored, nothing to edit, nothing to save again.
  void showStoredTest(const TestParticulars &particulars, const QString &title);
  bool readOnly() const { return readOnly_; }

 signals:
  // "Save to Archive..." with the selected run; "Archive...".
  void saveToArchiveRequested();
  void archiveRequested();

 public slots:
  // Shows the window in front, with the table's runs as they are now.
  void showRuns();
  // "Report...": the insulation test report of the selected run in the preview.
  void ReportClick();

 private:
  void rowsAppended(std::size_t first, std::size_t count) override;
  void tableReset() override;

  // The boxes' contents as typed (texts of the seven line edits, the three choices).
  struct TypedParticulars {
    std::array<QString, 7> texts;
    int equipmentKind = 0, insulationClass = 0, windingKind = 0;
  };
  // A run as long as the table holds it: its first row and its start.
  using RunKey = std::pair<std::size_t, std::int32_t>;

  QWidget *createParticulars();
  QWidget *createResults();
  void fillRunList();
  void pickRun(std::size_t index);  // selects without it counting as the user's choice
  void showSelectedRun();
  void showResults();
  void showParticulars(const TypedParticulars &p);
  TypedParticulars typedParticulars() const;
  void particularsEdited();

  ReadingTable &table_;
  std::unique_ptr<ReportPreviewer> previewer_;
  std::vector<InsulationRun> runs_;
  std::vector<ResultLine> results_;
  QGridLayout *resultGrid_;
  QTimer *refreshSoon_;
  bool placed_ = false;
  bool readOnly_ = false;
  std::map<RunKey, TypedParticulars> typed_;
  std::optional<RunKey> shownRun_;  // the run whose particulars the boxes hold
  std::uint64_t generation_ = 0;    // the table's, when the runs were found
  bool loading_ = false;            // the boxes are being filled, not typed in
  bool selecting_ = false;          // the window, not the user, is selecting a run
  bool userChose_ = false;          // the user picked the selected run
};

}  // namespace vexal
