#pragma once
// The print-style dialog: which report to print (data, graph, or data and graph) and the
// picture the graph reports show. Created hidden at start-up and shown modally; the chosen
// style and picture stay as the user left them between openings.

#include <QDialog>
#include <QString>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace vexal {

class Dialogs;
class ReportFlows;
struct FileDialogRequest;
enum class ReportStyle;

class TFrmprint : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 290;
  static constexpr int kClientHeight = 233;
  static constexpr QPoint kDesignPosition{239, 177};

  // Picture choices are asked through `dialogs`.
  // OK runs the chosen report through `reports` (when given).
  explicit TFrmprint(Dialogs &dialogs, QWidget *parent = nullptr, ReportFlows *reports = nullptr);

  // The picture-file dialog of the two "..." buttons.
  static FileDialogRequest pictureDialog();

  QGroupBox *GroupBox1;
  QRadioButton *RadioButton1;  // "Data Report"
  QRadioButton *RadioButton2;  // "Graph Report"
  QPushButton *Button1;
  QRadioButton *RadioButton3;  // "Data+Graph Report"
  QPushButton *Button2;
  QPushButton *BitBtn1;  // OK
  QPushButton *BitBtn2;  // Cancel

  // The picture file of the graph reports; empty until the user chooses one.
  QString GraphPicturePath;
  // Runs the chosen report on OK; none: OK only closes the dialog.
  ReportFlows *reports = nullptr;
  ReportStyle selectedStyle() const;
  const QString &graphPicturePath() const { return GraphPicturePath; }

 public slots:
  void FormCreate();
  void Button1Click();
  void Button2Click();
  void BitBtn1Click();

 private:
  void choosePicture();

  Dialogs &dialogs_;
};

}  // namespace vexal
