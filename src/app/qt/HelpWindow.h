#pragma once
// The program's own help viewer: one window that shows an HTML help file, with a contents
// list built from the page's headings, back and forward through the links followed, and a
// find bar that searches the page. It is not modal: showing a file returns at once. A file
// that is missing or cannot be read is reported inside the window, as a viewer would.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexal {

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget *owner = nullptr);

  // Loads `path` afresh, shows its first page and brings the window to the front.
  void showFile(const QString &path);

  // The file last asked for, and whether it could be shown (false: the window holds the
  // report of why not).
  QString file() const { return file_; }
  bool fileShown() const { return fileShown_; }

  // Finds the next (or previous) place of `text` in the page, from the current place, going
  // round the page's end once; selects it. False, and "Not found" in the bar, when the page
  // does not hold it.
  bool findInPage(const QString &text, bool backwards = false);

  QToolBar *tools;
  QAction *backAction;
  QAction *forwardAction;
  QAction *contentsAction;
  QTreeWidget *contents;
  QTextBrowser *page;
  QLineEdit *findBox;
  QAction *findNextAction;
  QAction *findPreviousAction;
  QLabel *findStatus;

 private:
  void showProblem(const QString &text);
  void fillContents();
  void goToHeading(QTreeWidgetItem *item);
  int anchorPosition(const QString &name) const;
  void followPage(int position = -1);

  QString file_;
  bool fileShown_ = false;
  bool goingToHeading_ = false;  // the contents chose the place: they need not follow it
};

// A help viewer that shows files in one HelpWindow owned by `owner`, created at the first
// request and re-used for every later one.
std::function<void(const QString &path)> helpWindowViewer(QWidget *owner);

}  // namespace vexal
