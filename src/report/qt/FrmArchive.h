#pragma once
// The "Archive" window: the archive's assets with a search box, the chosen asset's history
// of tests with the "halved" mark, its trend, an overlay of the chosen tests' curves, a test
// opened read-only in an Insulation Test window of its own, and the asset history report.
// Not modal. Every archive call runs on the archive's thread; the window says when it is
// waiting and what failed, and keeps whatever was typed.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "archive/ArchiveTypes.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace vexal {

class ArchiveWorker;
class AssetTrendChart;
class CurveOverlayChart;
class ReportPreviewer;
class TFrmInsulation;

class TFrmArchive : public QWidget {
  Q_OBJECT
 public:
  using PreviewerMaker = std::function<std::unique_ptr<ReportPreviewer>()>;

  // `previewers` makes the preview of each report (the history report and those of the
  // tests opened); `where` names the archive in the title.
  TFrmArchive(ArchiveWorker &worker, PreviewerMaker previewers, const QString &where,
              QWidget *parent = nullptr);
  ~TFrmArchive() override;

  QLineEdit *Search;
  QTableWidget *AssetList, *History;
  QLabel *AssetInfo, *Status;
  AssetTrendChart *Trend;
  CurveOverlayChart *Overlay;
  QPushButton *OpenTestButton, *ReportButton, *RefreshButton, *CloseButton;

  // What is shown now.
  const std::vector<AssetSummary> &assets() const { return assets_; }
  const std::optional<Asset> &asset() const { return asset_; }
  const std::vector<TestSummary> &tests() const { return tests_; }
  // The tests whose curves the overlay shows (their "Curve" box ticked).
  std::vector<std::string> overlaidTests() const;
  // Calls to the archive not yet answered.
  bool waiting() const { return waiting_ > 0; }
  // Windows of stored tests opened so far and still open.
  std::vector<TFrmInsulation *> openedTests() const;

 signals:
  // An answer of the archive has been shown (tests wait for it).
  void shown();

 public slots:
  // Shows the window in front and reads the assets again.
  void showArchive();
  // The asset list for the search text, keeping the asset chosen when it is still listed.
  void refreshAssets();
  // Chooses the asset of `tag` and reads its history.
  void chooseAsset(const QString &tag);
  // "Open Test": the chosen test, read-only, with its report.
  void OpenTestClick();
  // "History Report...": the asset history report in the preview.
  void ReportClick();

 private:
  template <class Job, class Done>
  void ask(Job job, Done done);
  void fillAssets();
  void fillHistory();
  void loadOverlay();
  void assetChosen();
  void openTest(const StoredTest &test);
  void tellFailure(const QString &reason);

  ArchiveWorker &worker_;
  PreviewerMaker previewers_;
  QTimer *searchSoon_;
  std::vector<AssetSummary> assets_;
  std::optional<Asset> asset_;
  std::vector<TestSummary> tests_;
  QString chosenTag_;
  int waiting_ = 0;
  unsigned historyAsked_ = 0;  // answers for an asset no longer chosen are dropped
  unsigned overlayAsked_ = 0;
};

}  // namespace vexal
