// The main window's menus, built from one table: captions, nesting, which items show, check
// or carry a shortcut, and the handler each item runs.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "app/qt/FrmTest.h"

namespace vexal {

namespace {

enum class Entry { Menu, Item, Separator };
enum Flags : unsigned {
  kShown = 0,
  kHidden = 1,     // nothing shows it at run time
  kCheckable = 2,  // a check item
  kChecked = 4,    // checked from the start
  kLimit = 8,      // one of the exclusive record-limit items
  kF1 = 16,        // F1 triggers it
};

struct MenuDesign {
  int depth;  // 0: on the menu bar
  Entry entry;
  const char *caption;
  QMenu *TFrmTest::*menu;
  QAction *TFrmTest::*item;
  unsigned flags;
  void (TFrmTest::*handler)();
};

using F = TFrmTest;
constexpr Entry M = Entry::Menu, I = Entry::Item, S = Entry::Separator;

// Only "Record" and "Archive" are shown on the menu bar; the others exist for their items'
// shortcuts and commands.
const MenuDesign kMenus[] = {
    {0, M, "File", &F::FileSet1, nullptr, kHidden, nullptr},
    {1, I, "  New", nullptr, &F::New, kShown, &F::NewClick},
    {1, I, "  Open", nullptr, &F::Open, kShown, &F::OpenClick},
    {1, I, "  Save As...", nullptr, &F::Save_as, kShown, &F::Save_asClick},
    {1, S, nullptr, nullptr, &F::N1, kShown, nullptr},
    {1, I, "  Print", nullptr, &F::print, kHidden, &F::printClick},
    {1, S, nullptr, nullptr, &F::N2, kShown, nullptr},
    {1, I, "   Exit", nullptr, &F::miExit, kShown, &F::miExitClick},
    {0, M, "ComSet", &F::Comset, nullptr, kHidden, nullptr},
    {1, M, " COM", &F::COM, nullptr, kShown, nullptr},
    {2, I, "COM1", nullptr, &F::COM1, kCheckable, &F::COM1Click},
    {2, I, "COM2", nullptr, &F::COM2, kCheckable, &F::COM2Click},
    {2, I, "COM3", nullptr, &F::COM3, kCheckable, &F::COM3Click},
    {2, I, "COM4", nullptr, &F::COM4, kCheckable, &F::COM4Click},
    {1, S, nullptr, nullptr, &F::N4, kShown, nullptr},
    {1, I, " USB", nullptr, &F::USB, kCheckable, &F::USBClick},
    {0, M, "Graph", &F::Grap, nullptr, kHidden, nullptr},
    {1, I, " Save Whole", nullptr, &F::Savepicture, kShown, &F::SavepictureClick},
    {1, M, " GoTo", &F::Move, nullptr, kShown, nullptr},
    {2, I, "First", nullptr, &F::FirstP, kShown, &F::BtFirstClick},
    {2, I, "Next", nullptr, &F::NextP, kShown, &F::BtNextClick},
    {2, I, "Last", nullptr, &F::LastP, kShown, &F::BTlastClick},
    {2, I, "Privous", nullptr, &F::PrivousP, kShown, &F::BTPreviousClick},
    {1, I, " Fill", nullptr, &F::FillP, kCheckable | kChecked, &F::FillPClick},
    {1, I, " Clear", nullptr, &F::ClearP, kShown, &F::BtNewClick},
    {0, M, "Record", &F::Rec, nullptr, kShown, nullptr},
    {1, I, " Save", nullptr, &F::SaveR, kHidden, nullptr},
    {1, M, " RecordSet", &F::RecSet, nullptr, kShown, nullptr},
    {2, I, "1000", nullptr, &F::set1k, kLimit, &F::set1kClick},
    {2, I, "5000", nullptr, &F::set5k, kLimit, &F::set5kClick},
    {2, I, "10000", nullptr, &F::set10k, kLimit, &F::set10kClick},
    {2, I, "50000", nullptr, &F::set50k, kLimit, &F::set50kClick},
    {2, I, "100000", nullptr, &F::set100k, kLimit, &F::set100kClick},
    {2, I, "Limitless", nullptr, &F::setlimit, kLimit, &F::setlimitClick},
    {1, I, " Clear All", nullptr, &F::ClearR, kHidden, &F::ClearRClick},
    {1, I, " Search", nullptr, &F::SearchR, kHidden, nullptr},
    {0, I, "Archive", nullptr, &F::ArchiveItem, kShown, &F::ArchiveClick},
    {0, M, "About", &F::About1, nullptr, kHidden, nullptr},
    {1, I, "  Help     ", nullptr, &F::HELP1, kF1, &F::HELP1Click},
    {1, S, nullptr, nullptr, &F::N3, kShown, nullptr},
    {1, I, "  About...", nullptr, &F::About2, kHidden, &F::About2Click},
    {0, I, "Help", nullptr, &F::Help2, kHidden, nullptr},
};

}  // namespace

void TFrmTest::createMenus() {
  MainMenu1 = menuBar();
  MainMenu1->setNativeMenuBar(false);
  RecordLimits = new QActionGroup(this);
  RecordLimits->setExclusive(true);

  // The menu that each depth's entries go into; depth 0 goes onto the bar.
  std::vector<QMenu *> open;
  for (const MenuDesign &d : kMenus) {
    open.resize(d.depth);
    const QString caption = QString::fromLatin1(d.caption);
    QMenu *parent = d.depth > 0 ? open.back() : nullptr;
    QAction *action = nullptr;
    if (d.entry == Entry::Menu) {
      QMenu *menu = parent ? parent->addMenu(caption) : MainMenu1->addMenu(caption);
      this->*d.menu = menu;
      open.push_back(menu);
      action = menu->menuAction();
    } else {
      action = d.entry == Entry::Separator ? parent->addSeparator()
               : parent                    ? parent->addAction(caption)
                                           : MainMenu1->addAction(caption);
      this->*d.item = action;
    }
    action->setCheckable(d.flags & (kCheckable | kLimit));
    action->setChecked(d.flags & kChecked);
    if (d.flags & kLimit) RecordLimits->addAction(action);
    if (d.flags & kF1) action->setShortcut(QKeySequence(Qt::Key_F1));
    if (d.flags & kHidden) action->setVisible(false);
  }
  for (QMenu *menu : {FileSet1, Comset, Grap, Rec, About1}) giveShortcutsToWindow(menu);
}

// The shortcut of an item in a hidden menu would never fire, since no shown widget carries
// the item; the window carries it as well, so the shortcut works anywhere in the window.
void TFrmTest::giveShortcutsToWindow(QMenu *menu) {
  for (QAction *item : menu->actions()) {
    if (item->menu())
      giveShortcutsToWindow(item->menu());
    else if (!item->shortcut().isEmpty())
      addAction(item);
  }
}

void TFrmTest::connectMenuHandlers() {
  for (const MenuDesign &d : kMenus)
    if (d.handler) connect(this->*d.item, &QAction::triggered, this, guarded(d.handler));
}

}  // namespace vexal
