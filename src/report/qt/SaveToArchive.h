#pragma once
// "Save to Archive": the selected run of the Insulation Test window stored as a test of an
// asset. The user picks an asset (or makes a new one), whose rated voltage, class, winding
// and kind fill the window's particulars; the date (today for a run recorded now; for a run
// from a data file the date must be confirmed), the operator and the purpose. The archive
// is written on its own thread; when that fails the dialog stays open with everything
// typed, to save again.

#include <QDialog>
#include <optional>
#include <vector>

#include "archive/ArchiveTypes.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vexal {

class ArchiveWorker;
class TFrmInsulation;

class TSaveToArchive : public QDialog {
  Q_OBJECT
 public:
  // Stores `readings` (the run selected in `window`); `fromFile` when the run came from a
  // data file.
  TSaveToArchive(ArchiveWorker &worker, TFrmInsulation &window, TestReadings readings,
                 bool fromFile);

  QComboBox *AssetBox;  // "New asset" first, then the archive's assets
  QGroupBox *AssetGroup;
  QLineEdit *Tag, *AssetName, *AssetLocation, *RatedKv, *Operator, *Remarks;
  QComboBox *KindBox, *ClassBox, *WindingBox, *PurposeBox;
  QDateEdit *Date;
  QCheckBox *DateConfirmed;  // shown for a run from a data file
  QLabel *Status;
  QPushButton *SaveButton, *CancelButton;

  // The asset as the boxes describe it; nothing (with the reason in Status) when a box is
  // wrong.
  std::optional<Asset> typedAsset();
  // What was stored, once it was.
  const std::optional<StoreOutcome> &outcome() const { return outcome_; }

 signals:
  // The test is in the archive (stored now, or found there already).
  void stored(const StoreOutcome &outcome, const QString &assetTag);

 public slots:
  void SaveClick();

 private:
  void assetsRead(std::vector<AssetSummary> assets);
  void assetPicked();
  void fillParticulars();
  void updateSaveButton();
  void tell(const QString &text, bool bad);

  ArchiveWorker &worker_;
  TFrmInsulation &window_;
  TestReadings readings_;
  std::vector<Asset> assets_;
  std::optional<StoreOutcome> outcome_;
  bool saving_ = false;
};

}  // namespace vexal
