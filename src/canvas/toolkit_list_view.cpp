// The large-icon list view over QListWidget, and its image list.
#include <QEvent>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>

#include "canvas/toolkit_qt.h"

namespace {

QListWidget* ListOf(const TListView* view) {
  return static_cast<QListWidget*>(view->Widget());
}

// Presses in the list's viewport, reported before the list acts on them.
class ViewportMouseFilter : public QObject {
 public:
  ViewportMouseFilter(TListView* view, QListWidget* list) : QObject(list), view_(view), list_(list) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (!press && event->type() != QEvent::MouseButtonDblClick) return QObject::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    TMouseButton button = mbLeft;
    if (mouse->button() == Qt::RightButton)
      button = mbRight;
    else if (mouse->button() == Qt::MiddleButton)
      button = mbMiddle;
    else if (mouse->button() != Qt::LeftButton)
      return false;
    TShiftState shift = ShiftStateOf(mouse->buttons(), mouse->modifiers());
    if (!press) shift |= ssDouble;
    const QPoint p = list_->viewport()->mapTo(list_, mouse->position().toPoint());
    RunHandler([&] {
      if (view_->OnMouseDown) view_->OnMouseDown(view_, button, shift, p.x(), p.y());
    });
    // A left press on empty space drops the selection (the list would keep it).
    if (press && button == mbLeft && !list_->itemAt(mouse->position().toPoint())) list_->clearSelection();
    return false;
  }

 private:
  TListView* view_;
  QListWidget* list_;
};

void ReportSelection(TListView* view, const QItemSelection& change, bool selected) {
  for (const QModelIndex& i : change.indexes()) {
    if (i.row() < 0 || i.row() >= view->Items()->Count()) continue;
    TListItem* item = view->Items()->Item(i.row());
    RunHandler([&] {
      if (view->OnSelectItem) view->OnSelectItem(view, item, selected);
    });
  }
}

QIcon IconOf(const TImageList* images, int index) {
  if (!images || index < 0 || index >= images->Count()) return QIcon();
  return QIcon(QPixmap::fromImage(WrapBitmapPixels(images->Image(index)).copy()));
}

}  // namespace

// ---- TImageList ----

TImageList::TImageList(TForm*, int width, int height) : width_(width), height_(height) {}

int TImageList::Add(TBitmap* image, TBitmap*) {
  auto copy = std::make_unique<TBitmap>();
  if (image && !image->Empty()) {
    std::vector<std::uint32_t> pixels(
        image->Bits(), image->Bits() + static_cast<std::size_t>(image->Width()) * image->Height());
    copy->Assign(image->Width(), image->Height(), image->Format(), std::move(pixels), {});
  }
  images_.push_back(std::move(copy));
  return Count() - 1;
}

// ---- TListItem ----

namespace {
QListWidgetItem* QtItemOf(TListView* view, int index) {
  return view ? ListOf(view)->item(index) : nullptr;
}
}  // namespace

std::string TListItem::Caption() const {
  const QListWidgetItem* item = QtItemOf(view_, index_);
  return item ? ToStdString(item->text()) : std::string();
}

void TListItem::SetCaption(const std::string& c) {
  if (QListWidgetItem* item = QtItemOf(view_, index_)) item->setText(ToQString(c));
}

void TListItem::SetImageIndex(int i) {
  imageIndex_ = i;
  if (QListWidgetItem* item = QtItemOf(view_, index_)) item->setIcon(IconOf(view_->images_, i));
}

bool TListItem::Selected() const {
  const QListWidgetItem* item = QtItemOf(view_, index_);
  return item && item->isSelected();
}

void TListItem::SetSelected(bool s) {
  QListWidgetItem* item = QtItemOf(view_, index_);
  if (!item) return;
  QListWidget* list = ListOf(view_);
  const QModelIndex index = list->model()->index(index_, 0);
  list->selectionModel()->select(index,
                                 s ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Deselect);
  if (s) list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

// ---- TListItems ----

TListItem* TListItems::Add() {
  auto item = std::make_unique<TListItem>();
  item->view_ = view_;
  item->index_ = Count();
  if (view_) {
    auto* qtItem = new QListWidgetItem(ListOf(view_));
    qtItem->setFlags(qtItem->flags() | Qt::ItemIsEditable);
  }
  items_.push_back(std::move(item));
  return items_.back().get();
}

// ---- TListView ----

TListView::TListView(TForm* owner) : TControl(owner, new QListWidget(owner->ClientWidget())) {
  items_.view_ = this;
  QListWidget* list = ListOf(this);
  list->resize(250, 150);
  list->setViewMode(QListView::IconMode);
  list->setMovement(QListView::Static);
  list->setResizeMode(QListView::Adjust);
  list->setWrapping(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setIconSize(QSize(50, 50));
  list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  list->viewport()->installEventFilter(new ViewportMouseFilter(this, list));
  QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, list,
                   [this](const QItemSelection& selected, const QItemSelection& deselected) {
                     // The item losing the selection is reported first.
                     ReportSelection(this, deselected, false);
                     ReportSelection(this, selected, true);
                   });
}

TListView::~TListView() {
  // The list's signals must not reach items that are going away.
  if (Widget()) QObject::disconnect(ListOf(this)->selectionModel(), nullptr, Widget(), nullptr);
}

void TListView::SetLargeImages(TImageList* images) {
  images_ = images;
  if (images) ListOf(this)->setIconSize(QSize(images->Width(), images->Height()));
  for (const auto& item : items_.items_) item->SetImageIndex(item->ImageIndex());
}

TListItem* TListView::Selected() const {
  const QList<QListWidgetItem*> selected = ListOf(this)->selectedItems();
  if (selected.isEmpty()) return nullptr;
  const int row = ListOf(this)->row(selected.first());
  return row >= 0 && row < items_.Count() ? items_.Item(row) : nullptr;
}
