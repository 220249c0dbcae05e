#pragma once
// Message boxes and file dialogs of the main window, behind one small interface: the
// program uses the toolkit's dialogs; tests answer them from a script, without a person.

#include <QString>
#include <QStringList>
#include <optional>

class QFileDialog;
class QWidget;

namespace vexal {

enum class BoxIcon { None, Information, Question, Error };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

struct MessageBoxRequest {
  MessageBoxRequest() = default;
  // Most boxes have no details: a constructor rather than aggregate braces, so that leaving
  // them out is not a missing initializer.
  MessageBoxRequest(QString title, QString text, BoxIcon icon = BoxIcon::None,
                    BoxButtons buttons = BoxButtons::Ok, QString detailedText = {})
      : title(std::move(title)),
        text(std::move(text)),
        icon(icon),
        buttons(buttons),
        detailedText(std::move(detailedText)) {}

  QString title;
  QString text;
  BoxIcon icon = BoxIcon::None;
  BoxButtons buttons = BoxButtons::Ok;
  QString detailedText;  // shown under "Show Details..."; empty for none
  bool operator==(const MessageBoxRequest &) const = default;
};

enum class FileDialogMode { Save, Open };

struct FileDialogRequest {
  FileDialogMode mode = FileDialogMode::Open;
  QStringList nameFilters;  // the first one is selected
  QString defaultSuffix;    // added to a name typed without an extension; empty for none
  QString fileName;         // preselected name; empty for none
  bool confirmOverwrite = false;
  bool acceptMissingFile = false;  // an open dialog that takes names of absent files
  // A name typed without an extension gets the extension of the filter chosen at the time
  // (instead of defaultSuffix).
  bool suffixFromFilter = false;
};

// What the user chose in a file dialog: the path and the name filter selected with it.
struct FileChoice {
  QString path;
  QString nameFilter;
};

// The first extension a name filter offers, without its dot: "csv" of
// "Comma-separated text (*.csv)"; empty when it offers none.
QString filterExtension(const QString &nameFilter);

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual BoxAnswer messageBox(const MessageBoxRequest &request) = 0;
  // The chosen path and filter, or nothing when the user cancels.
  virtual std::optional<FileChoice> chooseFile(const FileDialogRequest &request) = 0;
  // The chosen path alone.
  std::optional<QString> fileDialog(const FileDialogRequest &request) {
    auto choice = chooseFile(request);
    if (!choice) return std::nullopt;
    return std::move(choice->path);
  }
};

// The toolkit's modal dialogs, parented to a window.
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget *parent = nullptr) : parent_(parent) {}
  void setParent(QWidget *parent) { parent_ = parent; }

  BoxAnswer messageBox(const MessageBoxRequest &request) override;
  std::optional<FileChoice> chooseFile(const FileDialogRequest &request) override;

  // The dialog that chooseFile() shows, set up from the request (not shown yet).
  static QFileDialog *makeFileDialog(const FileDialogRequest &request, QWidget *parent);

 private:
  QWidget *parent_;
};

}  // namespace vexal
