#include "common/qt/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace vexal {

namespace {

QMessageBox::Icon toQt(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Information:
      return QMessageBox::Information;
    case BoxIcon::Question:
      return QMessageBox::Question;
    case BoxIcon::Error:
      return QMessageBox::Critical;
    case BoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

BoxAnswer QtDialogs::messageBox(const MessageBoxRequest &request) {
  const bool yesNo = request.buttons == BoxButtons::YesNo;
  QMessageBox box(toQt(request.icon), request.title, request.text,
                  yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent_);
  box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
  if (!request.detailedText.isEmpty()) box.setDetailedText(request.detailedText);
  const int answer = box.exec();
  if (!yesNo) return BoxAnswer::Ok;
  return answer == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

QFileDialog *QtDialogs::makeFileDialog(const FileDialogRequest &request, QWidget *parent) {
  auto *dialog = new QFileDialog(parent);
  const bool save = request.mode == FileDialogMode::Save;
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save || request.acceptMissingFile ? QFileDialog::AnyFile
                                                        : QFileDialog::ExistingFile);
  dialog->setNameFilters(request.nameFilters);
  if (!request.nameFilters.isEmpty()) dialog->selectNameFilter(request.nameFilters.first());
  dialog->setDefaultSuffix(request.defaultSuffix);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  if (!request.fileName.isEmpty()) dialog->selectFile(request.fileName);
  return dialog;
}

std::optional<QString> QtDialogs::fileDialog(const FileDialogRequest &request) {
  QPointer<QFileDialog> dialog = makeFileDialog(request, parent_);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  std::optional<QString> path;
  if (dialog && accepted && !dialog->selectedFiles().isEmpty())
    path = dialog->selectedFiles().first();
  delete dialog;
  return path;
}

}  // namespace vexal
