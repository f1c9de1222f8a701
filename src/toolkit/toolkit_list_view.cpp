// The large-icon list view over QListWidget, and its image list.
#include <QAction>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>

#include "toolkit/toolkit_qt.h"

namespace {

QListWidget* ListOf(const TListView* view) {
  return static_cast<QListWidget*>(view->Widget());
}

// The list acts on a press first (selection, and so OnSelectItem), then the
// press is reported, as the platform's list control does.
class ListWidget : public QListWidget {
 public:
  ListWidget(TListView* view, QWidget* parent) : QListWidget(parent), view_(view) {}

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    QListWidget::mousePressEvent(event);
    // A press on empty space drops the selection.
    if (!itemAt(event->position().toPoint())) clearSelection();
    ReportPress(event, 0);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    QListWidget::mouseDoubleClickEvent(event);  // Qt sends this in place of the second press
    ReportPress(event, ssDouble);
  }

 private:
  void ReportPress(QMouseEvent* event, TShiftState extra) {
    TMouseButton button = mbLeft;
    if (event->button() == Qt::RightButton)
      button = mbRight;
    else if (event->button() == Qt::MiddleButton)
      button = mbMiddle;
    else if (event->button() != Qt::LeftButton)
      return;
    const TShiftState shift = ShiftStateOf(event->buttons(), event->modifiers()) | extra;
    const QPoint p = viewport()->mapTo(this, event->position().toPoint());  // relative to the control
    RunHandler([&] {
      if (view_->OnMouseDown) view_->OnMouseDown(view_, button, shift, p.x(), p.y());
    });
  }
  TListView* view_;
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

TListView::TListView(TForm* owner) : TControl(owner, new ListWidget(this, owner->ClientWidget())) {
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
  // F2 edits the selected caption whenever the list's window is active, as
  // list views on the desktop do; Qt's own F2 edits the current item, which
  // stays after a click on empty space has cleared the selection.
  auto* rename = new QAction(list);
  rename->setShortcut(QKeySequence(Qt::Key_F2));
  rename->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(rename, &QAction::triggered, list, [list] {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (!selected.isEmpty()) list->editItem(selected.first());
  });
  list->addAction(rename);
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
