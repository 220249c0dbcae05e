#include "common/qt/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>

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
  if (request.suffixFromFilter) {
    auto follow = [dialog](const QString &filter) {
      dialog->setDefaultSuffix(filterExtension(filter));
    };
    follow(dialog->selectedNameFilter());
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, follow);
  }
  return dialog;
}

std::optional<FileChoice> QtDialogs::chooseFile(const FileDialogRequest &request) {
  QPointer<QFileDialog> dialog = makeFileDialog(request, parent_);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  std::optional<FileChoice> choice;
  if (dialog && accepted && !dialog->selectedFiles().isEmpty())
    choice = FileChoice{dialog->selectedFiles().first(), dialog->selectedNameFilter()};
  delete dialog;
  return choice;
}

QString filterExtension(const QString &nameFilter) {
  const auto match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(nameFilter);
  return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace vexal
