// The open and save picture dialogs: Qt's own file dialog with a preview of
// the selected picture, Japanese sizes and dates, and file types told from
// names alone, so that browsing /proc, /dev or a pipe never reads a file.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QTreeView>
#include <QVBoxLayout>
#include <memory>

#include "core/surface.h"
#include "toolkit/toolkit_qt.h"

namespace {

// A preview reads the whole file on the user-interface thread: larger files
// (beyond a 4K picture at 32 bits and then some) show none.
constexpr qint64 kPreviewFileLimit = 64 << 20;
constexpr int kPreviewSide = 180;

QString FileDialogText(const char* text) {
  return QCoreApplication::translate("QFileDialog", text);
}

QLocale JapaneseLocale() {
  return QLocale(QLocale::Japanese, QLocale::Japan);
}

// Qt's provider asks the MIME database, which reads a file's first bytes when
// its name says too little: a read that never returns for /proc/kmsg or a
// pipe. Here a type and an icon come from the name and the file's kind only.
// Owned by its dialog, which only borrows a provider.
class NameOnlyIconProvider : public QObject, public QFileIconProvider {
 public:
  explicit NameOnlyIconProvider(QObject* owner) : QObject(owner) {}
  using QFileIconProvider::icon;

  QIcon icon(const QFileInfo& info) const override {
    if (info.isDir()) return icon(Folder);
    if (info.isFile()) {
      const QString name = MimeOf(info).iconName();
      const QIcon themed = QIcon::fromTheme(name);
      if (!themed.isNull()) return themed;
    }
    return icon(File);
  }

  // Qt's own words for the kinds of file, from the file dialog's Japanese
  // translations (the provider's own have none).
  QString type(const QFileInfo& info) const override {
    if (info.isRoot()) return FileDialogText("Drive");
    if (info.isFile()) {
      const QMimeType mime = MimeOf(info);
      return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
    if (info.isDir()) return FileDialogText("Folder");
    if (info.isSymLink()) return FileDialogText("Shortcut");
    return FileDialogText("Unknown");
  }

 private:
  static QMimeType MimeOf(const QFileInfo& info) {
    return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
  }
};

// The size and date columns in Japanese: Qt's file model writes them in the
// system's locale, whatever the program speaks.
class JapaneseDetails : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != 1 && index.column() != 3))
      return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    if (index.column() == 3)
      return JapaneseLocale().toString(files->lastModified(source), QLocale::ShortFormat);
    if (files->isDir(source)) return QString();
    return JapaneseLocale().formattedDataSize(files->size(source));
  }
};

// The picture of a file, or nothing: only a regular file of some size is
// loaded (the loader opens without blocking and refuses anything else, should
// the file be swapped meanwhile), and any failure simply shows no preview.
std::unique_ptr<TBitmap> ReadPreview(const QString& path) {
  const std::string name = ToStdString(path);
  struct stat st {};
  if (path.isEmpty() || ::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  // Files of /proc report no size: they are never read.
  if (st.st_size <= 0 || st.st_size > kPreviewFileLimit) return nullptr;
  try {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromFile(name);
    return bitmap;
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

// ---- PicturePreview ----

PicturePreview::PicturePreview(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("picturePreview"));
  picture_ = new QLabel(this);
  picture_->setFixedSize(kPreviewSide, kPreviewSide);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setFrameShape(QFrame::StyledPanel);
  facts_ = new QLabel(this);
  facts_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picture_);
  layout->addWidget(facts_);
  layout->addStretch();
}

void PicturePreview::ShowPicture(const QString& path) {
  picture_->clear();
  facts_->clear();
  const std::unique_ptr<TBitmap> bitmap = ReadPreview(path);
  if (!bitmap || bitmap->Empty()) return;
  const QImage image = WrapBitmapPixels(*bitmap);
  // Fitted to the box with its aspect kept: smoothed when made smaller, as
  // sharp pixels when a small picture is made larger.
  const QSize fitted = image.size().scaled(picture_->size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  const Qt::TransformationMode mode =
      fitted.width() < image.width() ? Qt::SmoothTransformation : Qt::FastTransformation;
  picture_->setPixmap(QPixmap::fromImage(image.scaled(fitted, Qt::IgnoreAspectRatio, mode)));
  facts_->setText(QStringLiteral("%1 × %2 ピクセル\n%3 ビット")
                      .arg(bitmap->Width())
                      .arg(bitmap->Height())
                      .arg(bitmap->PixelDepth()));
}

QString PicturePreview::FactsText() const {
  return facts_->text();
}

QSize PicturePreview::PictureSize() const {
  return picture_->pixmap().isNull() ? QSize() : picture_->pixmap().size();
}

// ---- The dialog ----

std::unique_ptr<QFileDialog> MakePictureDialog(QWidget* parent, bool save, const QString& nameFilter,
                                               const QString& lastName) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  // Qt's own dialog, so that the Japanese translation applies and the preview fits in.
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setIconProvider(new NameOnlyIconProvider(dialog.get()));  // before the model reads a folder
  dialog->setProxyModel(new JapaneseDetails(dialog.get()));
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save) dialog->setOption(QFileDialog::DontConfirmOverwrite);
  if (!nameFilter.isEmpty()) dialog->setNameFilter(nameFilter);

  auto* preview = new PicturePreview(dialog.get());
  if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout())) grid->addWidget(preview, 1, 3, 1, 1);
  // Room for the list beside the preview, and whole sizes, types and dates.
  dialog->resize(dialog->sizeHint().expandedTo(QSize(900, 500)));
  if (auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column <= 3; ++column)
      details->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  QObject::connect(dialog.get(), &QFileDialog::currentChanged, preview, &PicturePreview::ShowPicture);

  if (!lastName.isEmpty()) {
    const QFileInfo last(lastName);
    dialog->setDirectory(last.absolutePath());
    dialog->selectFile(last.fileName());
    preview->ShowPicture(last.absoluteFilePath());
  }
  return dialog;
}
