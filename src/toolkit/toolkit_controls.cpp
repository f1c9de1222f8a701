// Scroll bar, speed buttons, check boxes and labels.
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>

#include "toolkit/toolkit_qt.h"

namespace {

QScrollBar* BarOf(const TControl* c) {
  return static_cast<QScrollBar*>(c->Widget());
}
QCheckBox* CheckBoxOf(const TControl* c) {
  return static_cast<QCheckBox*>(c->Widget());
}
QLabel* LabelOf(const TControl* c) {
  return static_cast<QLabel*>(c->Widget());
}

// Puts one button down and releases the others of its group on the same form.
void PutDownInGroup(TSpeedButton* button) {
  auto* widget = static_cast<SpeedButtonWidget*>(button->Widget());
  widget->setChecked(true);
  if (!widget->parentWidget()) return;
  const auto siblings = widget->parentWidget()->findChildren<SpeedButtonWidget*>(Qt::FindDirectChildrenOnly);
  for (SpeedButtonWidget* other : siblings)
    if (other != widget && other->Button()->GroupIndex() == button->GroupIndex()) other->setChecked(false);
}

}  // namespace

// ---- TScrollBar ----

TScrollBar::TScrollBar(TForm* owner)
    : TControl(owner, new QScrollBar(Qt::Horizontal, owner->ClientWidget())) {
  QScrollBar* bar = BarOf(this);
  bar->resize(121, 17);
  bar->setRange(0, 100);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  bar->setTracking(true);  // a drag reports every position it passes
  // valueChanged comes only for a real change, from code or from the user.
  QObject::connect(bar, &QScrollBar::valueChanged, bar, [this](int) {
    RunHandler([this] {
      if (OnChange) OnChange(this);
    });
  });
}

int TScrollBar::Min() const {
  return BarOf(this)->minimum();
}
int TScrollBar::Max() const {
  return BarOf(this)->maximum();
}
void TScrollBar::SetMin(int v) {
  BarOf(this)->setMinimum(v);
}
void TScrollBar::SetMax(int v) {
  BarOf(this)->setMaximum(v);
}
int TScrollBar::Position() const {
  return BarOf(this)->value();
}
void TScrollBar::SetPosition(int p) {
  BarOf(this)->setValue(p);  // clamps to the range
}
void TScrollBar::SetPageSize(int) {
  // Qt ties the thumb's length to the large change, so a page size has no
  // separate effect here; every position Min..Max stays reachable.
}
void TScrollBar::SetSmallChange(int v) {
  BarOf(this)->setSingleStep(v);
}
void TScrollBar::SetLargeChange(int v) {
  BarOf(this)->setPageStep(v);
}

// ---- TSpeedButton ----

SpeedButtonWidget::SpeedButtonWidget(TSpeedButton* button, QWidget* parent)
    : QToolButton(parent), button_(button) {}

void SpeedButtonWidget::nextCheckState() {
  if (button_->GroupIndex() > 0) PutDownInGroup(button_);
}

TSpeedButton::TSpeedButton(TForm* owner)
    : TControl(owner, new SpeedButtonWidget(this, owner->ClientWidget())) {
  auto* button = static_cast<SpeedButtonWidget*>(Widget());
  button->resize(23, 22);
  button->setCheckable(true);
  QObject::connect(button, &QToolButton::clicked, button, [this] {
    RunHandler([this] {
      if (OnClick) OnClick(this);
    });
  });
}

std::string TSpeedButton::Caption() const {
  return ToStdString(static_cast<QToolButton*>(Widget())->text());
}
void TSpeedButton::SetCaption(const std::string& c) {
  static_cast<QToolButton*>(Widget())->setText(ToQString(c));
}

void TSpeedButton::SetGroupIndex(int g) {
  groupIndex_ = std::max(g, 0);
  if (groupIndex_ == 0) static_cast<QToolButton*>(Widget())->setChecked(false);
}

bool TSpeedButton::Down() const {
  return static_cast<QToolButton*>(Widget())->isChecked();
}

void TSpeedButton::SetDown(bool d) {
  // Only grouped buttons latch; a group without "all up" keeps one button down.
  if (groupIndex_ == 0 || d == Down() || !d) return;
  PutDownInGroup(this);
}

void TSpeedButton::SetFlat(bool f) {
  static_cast<QToolButton*>(Widget())->setAutoRaise(f);
}

// ---- TCheckBox ----

TCheckBox::TCheckBox(TForm* owner) : TControl(owner, new QCheckBox(owner->ClientWidget())) {
  QCheckBox* box = CheckBoxOf(this);
  box->resize(97, 17);
  // clicked comes from the user only, after the state has toggled.
  QObject::connect(box, &QCheckBox::clicked, box, [this] {
    RunHandler([this] {
      if (OnClick) OnClick(this);
    });
  });
}

std::string TCheckBox::Caption() const {
  return ToStdString(CheckBoxOf(this)->text());
}
void TCheckBox::SetCaption(const std::string& c) {
  CheckBoxOf(this)->setText(ToQString(c));
}
bool TCheckBox::Checked() const {
  return CheckBoxOf(this)->isChecked();
}
void TCheckBox::SetChecked(bool c) {
  CheckBoxOf(this)->setChecked(c);
}

void TCheckBox::SetTabOrder(int order) {
  QWidget* box = CheckBoxOf(this);
  box->setProperty("daubixTabOrder", order);
  QWidget* parent = box->parentWidget();
  if (!parent) return;
  // Chain every control of the form that has a tab order, lowest first.
  QList<QWidget*> ordered;
  for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w->property("daubixTabOrder").isValid()) ordered.append(w);
  std::stable_sort(ordered.begin(), ordered.end(), [](QWidget* a, QWidget* b) {
    return a->property("daubixTabOrder").toInt() < b->property("daubixTabOrder").toInt();
  });
  for (qsizetype i = 1; i < ordered.size(); ++i) QWidget::setTabOrder(ordered[i - 1], ordered[i]);
}

// ---- TLabel ----

TLabel::TLabel(TForm* owner) : TControl(owner, new QLabel(owner->ClientWidget())) {
  QLabel* label = LabelOf(this);
  label->resize(label->sizeHint());
  PlaceText();
}

std::string TLabel::Caption() const {
  return ToStdString(LabelOf(this)->text());
}

void TLabel::SetCaption(const std::string& c) {
  QLabel* label = LabelOf(this);
  label->setTextFormat(Qt::PlainText);
  label->setText(ToQString(c));
  // Grows to show the whole text; a label given a larger size keeps it.
  const QSize hint = label->sizeHint();
  label->resize(std::max(label->width(), hint.width()), std::max(label->height(), hint.height()));
  PlaceText();
}

void TLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  PlaceText();
}

void TLabel::Resized() {
  PlaceText();
}

// Text hangs from the top, unless the label is lower than a line of its font:
// then the line is centred on it, so that the empty space above the letters
// goes before the descenders of g, p and y do.
void TLabel::PlaceText() {
  QLabel* label = LabelOf(this);
  if (!label) return;
  Qt::Alignment h = Qt::AlignLeft;
  if (alignment_ == taRightJustify) h = Qt::AlignRight;
  if (alignment_ == taCenter) h = Qt::AlignHCenter;
  const bool low = label->height() < label->fontMetrics().height();
  label->setAlignment(h | (low ? Qt::AlignVCenter : Qt::AlignTop));
}

void TLabel::SetFontColor(TColor c) {
  QLabel* label = LabelOf(this);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ToQColor(c));
  label->setPalette(palette);
}
