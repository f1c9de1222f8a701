// Menus: every item is a QAction; an item with children also has a QMenu,
// and its click arrives as that menu is about to open.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "toolkit/toolkit_qt.h"

// The item owns its action and menu; the menu bar or parent menu only shows them.
TMenuItem::TMenuItem(TForm* owner) : owner_(owner), action_(new QAction) {
  QObject::connect(action_, &QAction::triggered, action_, [this] {
    // Qt toggles a checkable action on a click; the mark is the program's to set.
    action_->setChecked(checked_);
    Click();
  });
}

TMenuItem::~TMenuItem() {
  delete action_;  // first: the menu lets go of an action that goes away
  delete menu_;
}

void TMenuItem::SetCaption(const std::string& c) {
  caption_ = c;
  action_->setText(ToQString(c));
  if (menu_) menu_->setTitle(ToQString(c));
}

void TMenuItem::SetVisible(bool v) {
  visible_ = v;
  action_->setVisible(v);
}

void TMenuItem::SetEnabled(bool e) {
  enabled_ = e;
  action_->setEnabled(e);
}

void TMenuItem::SetChecked(bool c) {
  checked_ = c;
  // Checkable only while checked, so an unchecked item shows no box.
  action_->setCheckable(c);
  action_->setChecked(c);
}

void TMenuItem::SetShortCuts(const std::vector<std::string>& keys) {
  QList<QKeySequence> sequences;
  for (const std::string& key : keys)
    sequences.append(QKeySequence::fromString(ToQString(key), QKeySequence::PortableText));
  action_->setShortcuts(sequences);
}

void TMenuItem::Add(TMenuItem* child) {
  EnsureMenu();
  children_.push_back(child);
  menu_->addAction(child->action_);
}

void TMenuItem::Click() {
  RunHandler([this] {
    if (OnClick) OnClick(this);
  });
}

void TMenuItem::EnsureMenu() {
  if (menu_) return;
  menu_ = new QMenu(ToQString(caption_));
  action_->setMenu(menu_);
  QObject::connect(menu_, &QMenu::aboutToShow, menu_, [this] { Click(); });
}

TMainMenu::TMainMenu(TForm* owner) : owner_(owner) {}

void TMainMenu::Add(TMenuItem* item) {
  items_.push_back(item);
  if (!owner_) return;
  owner_->impl_->EnsureMenuBar()->addAction(item->Action());
  if (owner_->impl_->menuShown) {
    // The bar's height may change with its first entries.
    owner_->impl_->window->PlaceChildren();
    owner_->ClientResized();
  }
}
