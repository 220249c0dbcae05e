#include "app/qt/HelpWindow.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

namespace vexal {

namespace {

constexpr int kBlockPosition = Qt::UserRole;
constexpr qint64 kLargestHelpFile = 64 * 1024 * 1024;

// Why the file cannot be shown, or an empty text when it can.
QString problemWith(const QString &path) {
  const QFileInfo info(path);
  if (!info.exists()) return HelpWindow::tr("The help file %1 cannot be found.").arg(path);
  if (!info.isFile() || !info.isReadable())
    return HelpWindow::tr("The help file %1 cannot be read.").arg(path);
  if (info.size() > kLargestHelpFile)
    return HelpWindow::tr("The help file %1 is too large to be shown.").arg(path);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return HelpWindow::tr("The help file %1 cannot be read: %2").arg(path, file.errorString());
  // HTML or plain text never holds a NUL byte; a binary help file of another system does.
  if (file.read(64 * 1024).contains('\0'))
    return HelpWindow::tr("The help file %1 is not in a format this viewer can show.").arg(path);
  return {};
}

}  // namespace

HelpWindow::HelpWindow(QWidget *owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(tr("Vexal Help"));
  resize(1000, 720);

  page = new QTextBrowser;
  page->setObjectName(QStringLiteral("HelpPage"));
  page->setOpenExternalLinks(true);

  tools = new QToolBar;
  backAction = tools->addAction(tr("Back"), page, &QTextBrowser::backward);
  backAction->setShortcut(QKeySequence::Back);
  backAction->setEnabled(false);
  forwardAction = tools->addAction(tr("Forward"), page, &QTextBrowser::forward);
  forwardAction->setShortcut(QKeySequence::Forward);
  forwardAction->setEnabled(false);
  contentsAction = tools->addAction(tr("Contents"));
  contentsAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
  connect(contentsAction, &QAction::triggered, this, [this] {
    page->moveCursor(QTextCursor::Start);
    page->ensureCursorVisible();
  });
  connect(page, &QTextBrowser::backwardAvailable, backAction, &QAction::setEnabled);
  connect(page, &QTextBrowser::forwardAvailable, forwardAction, &QAction::setEnabled);

  tools->addSeparator();
  tools->addWidget(new QLabel(tr(" Find: ")));
  findBox = new QLineEdit;
  findBox->setObjectName(QStringLiteral("HelpFind"));
  findBox->setClearButtonEnabled(true);
  findBox->setMaximumWidth(240);
  tools->addWidget(findBox);
  findPreviousAction =
      tools->addAction(tr("Previous"), this, [this] { findInPage(findBox->text(), true); });
  findPreviousAction->setShortcut(QKeySequence::FindPrevious);
  findNextAction = tools->addAction(tr("Next"), this, [this] { findInPage(findBox->text()); });
  findNextAction->setShortcut(QKeySequence::FindNext);
  findStatus = new QLabel;
  tools->addWidget(findStatus);
  connect(findBox, &QLineEdit::returnPressed, this, [this] { findInPage(findBox->text()); });
  connect(findBox, &QLineEdit::textEdited, this, [this](const QString &text) {
    // Search as one types, from the start of the current match.
    QTextCursor cursor = page->textCursor();
    cursor.setPosition(cursor.selectionStart());
    page->setTextCursor(cursor);
    if (text.isEmpty())
      findStatus->clear();
    else
      findInPage(text);
  });
  auto *focusFind = new QAction(this);
  focusFind->setShortcut(QKeySequence::Find);
  connect(focusFind, &QAction::triggered, this, [this] {
    findBox->setFocus();
    findBox->selectAll();
  });
  addAction(focusFind);

  contents = new QTreeWidget;
  contents->setObjectName(QStringLiteral("HelpContents"));
  contents->setHeaderLabel(tr("Topics"));
  // Long topic names are shown whole: the column takes their width and the list scrolls
  // sideways rather than cutting them (each also shows whole as its tool tip).
  contents->header()->setStretchLastSection(false);
  contents->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  contents->setTextElideMode(Qt::ElideNone);
  connect(contents, &QTreeWidget::itemActivated, this, &HelpWindow::goToHeading);
  connect(contents, &QTreeWidget::itemClicked, this, &HelpWindow::goToHeading);
  // The contents follow the page: scrolling, links, Back and Forward.
  connect(page->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { followPage(); });
  connect(page, &QTextBrowser::sourceChanged, this,
          [this](const QUrl &url) { followPage(anchorPosition(url.fragment())); });

  auto *split = new QSplitter;
  split->addWidget(contents);
  split->addWidget(page);
  split->setStretchFactor(1, 1);
  split->setSizes({300, 700});

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tools);
  layout->addWidget(split, 1);
}

void HelpWindow::showFile(const QString &path) {
  file_ = path;
  const QString problem = problemWith(path);
  if (problem.isEmpty()) {
    fileShown_ = true;
    // Load afresh on every request, as the file may have changed since.
    const QUrl url = QUrl::fromLocalFile(path);
    if (page->source().adjusted(QUrl::RemoveFragment) == url)
      page->reload();
    else
      page->setSource(url, QTextDocument::HtmlResource);
    page->clearHistory();
    page->moveCursor(QTextCursor::Start);
    const QString title = page->documentTitle();
    setWindowTitle(title.isEmpty() ? tr("Vexal Help") : title);
    fillContents();
  } else {
    showProblem(problem);
  }
  findStatus->clear();
  show();
  raise();
  activateWindow();
}

void HelpWindow::showProblem(const QString &text) {
  fileShown_ = false;
  page->clearHistory();
  page->setHtml(QStringLiteral("<h2>%1</h2><p>%2</p>")
                    .arg(tr("Help cannot be shown").toHtmlEscaped(), text.toHtmlEscaped()));
  setWindowTitle(tr("Vexal Help"));
  contents->clear();
}

// One entry per heading below the page title; third-level headings under the second-level
// heading before them.
void HelpWindow::fillContents() {
  contents->clear();
  QTreeWidgetItem *section = nullptr;
  for (QTextBlock block = page->document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level < 2 || level > 3) continue;
    auto *item =
        level == 3 && section ? new QTreeWidgetItem(section) : new QTreeWidgetItem(contents);
    item->setText(0, block.text().simplified());
    item->setToolTip(0, item->text(0));
    item->setData(0, kBlockPosition, block.position());
    if (level == 2) section = item;
  }
  contents->expandAll();
}

void HelpWindow::goToHeading(QTreeWidgetItem *item) {
  if (!item) return;
  QTextCursor cursor(page->document());
  cursor.setPosition(item->data(0, kBlockPosition).toInt());
  // Bring the heading to the top of the view: go to the end first, then back to it. The
  // chosen topic stays chosen even where the view cannot bring it to the top.
  goingToHeading_ = true;
  page->moveCursor(QTextCursor::End);
  page->setTextCursor(cursor);
  page->ensureCursorVisible();
  goingToHeading_ = false;
}

// The text position of the anchor `name`, or -1 when the page has none of that name.
int HelpWindow::anchorPosition(const QString &name) const {
  if (name.isEmpty()) return -1;
  for (QTextBlock block = page->document()->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().anchorNames().contains(name)) return it.fragment().position();
  return -1;
}

// Marks the topic that holds `position` (by default the text at the top of the view, or at
// its bottom once the page is scrolled to its end): the last heading at or before it.
void HelpWindow::followPage(int position) {
  if (goingToHeading_) return;
  if (position < 0) {
    // At the end of the page the last topics cannot reach the top: the last one in view is
    // the one being read.
    const QScrollBar *bar = page->verticalScrollBar();
    const bool atEnd = bar->maximum() > 0 && bar->value() == bar->maximum();
    const QPoint at = atEnd ? QPoint(0, page->viewport()->height() - 1) : QPoint(0, 0);
    position = page->cursorForPosition(at).position();
  }
  QTreeWidgetItem *current = nullptr;
  for (QTreeWidgetItemIterator it(contents); *it; ++it) {
    if ((*it)->data(0, kBlockPosition).toInt() > position) break;
    current = *it;
  }
  // Above the first heading (the page's introduction) the first topic is next.
  if (!current) current = contents->topLevelItem(0);
  if (current == contents->currentItem()) return;
  const QSignalBlocker quiet(contents);
  contents->setCurrentItem(current);
  if (current) contents->scrollToItem(current);
}

bool HelpWindow::findInPage(const QString &text, bool backwards) {
  if (text.isEmpty()) {
    findStatus->clear();
    return false;
  }
  const QTextDocument::FindFlags flags =
      backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  // Find goes on from where the reader is: the cursor while it is in view, else the text at
  // the top of the view (after scrolling, a link or a topic).
  if (!page->viewport()->rect().intersects(page->cursorRect()))
    page->setTextCursor(page->cursorForPosition(QPoint(0, 0)));
  bool found = page->find(text, flags);
  if (!found) {
    // Go round the end of the page once.
    const QTextCursor before = page->textCursor();
    page->moveCursor(backwards ? QTextCursor::End : QTextCursor::Start);
    found = page->find(text, flags);
    if (!found) page->setTextCursor(before);
  }
  findStatus->setText(found ? QString() : tr("  Not found"));
  return found;
}

std::function<void(const QString &path)> helpWindowViewer(QWidget *owner) {
  return [owner, window = QPointer<HelpWindow>()](const QString &path) mutable {
    if (!window) window = new HelpWindow(owner);
    window->showFile(path);
  };
}

}  // namespace vexal
