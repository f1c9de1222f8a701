// The open and save picture dialogs as the user sees them: the preview, the
// Japanese columns, and browsing that never reads a file (a pipe in the
// folder must not hold the program).
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <string>

#include "support/picture_test_util.h"
#include "toolkit/toolkit_qt.h"
#include "toolkit/toolkit_testing.h"

// Failures show the text, not its UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace {

namespace fs = std::filesystem;

// The names in `folder` that were opened or read while the watch was on.
class ReadWatch {
 public:
  explicit ReadWatch(const fs::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~ReadWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Works() const { return fd_ >= 0; }
  std::set<std::string> NamesTouched() {
    std::set<std::string> names;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* p = buffer; p < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        if (event->len > 0) names.insert(event->name);  // unnamed: the folder itself, as it is listed
        p += sizeof(inotify_event) + event->len;
      }
    }
    return names;
  }

 private:
  int fd_;
};

class PictureDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    Testing::Reset();
    folder_ = fs::temp_directory_path() / ("daubix-dialog-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "sub");
    BitmapFromPicture({"rbrb", "b.#."})->SaveToFile(Path("picture.bmp"));
    std::ofstream(Path("noext")) << "Plain words, which a look inside would call text.\n";
    std::ofstream(Path("bad.bmp")) << "Not a picture at all, though its name says so.";
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  QString QPath(const std::string& name) const { return QString::fromStdString(Path(name)); }

  // The dialog showing the folder, once its model knows every entry's type.
  std::unique_ptr<QFileDialog> OpenDialog(const QString& nameFilter, const QString& lastName = {}) {
    auto dialog = MakePictureDialog(nullptr, false, nameFilter, lastName);
    dialog->setDirectory(QString::fromStdString(folder_.string()));
    dialog->show();
    view_ = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    EXPECT_NE(view_, nullptr);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !Cell("sub", 2).isEmpty() && !Cell("picture.bmp", 2).isEmpty(); }));
    return dialog;
  }
  // The detail view's cell of that file as shown: 0 name, 1 size, 2 type, 3 date.
  QModelIndex IndexOf(const std::string& name, int column) const {
    const QAbstractItemModel* model = view_->model();
    const QModelIndex root = view_->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
      if (model->index(row, 0, root).data().toString() == QString::fromStdString(name))
        return model->index(row, column, root);
    return {};
  }
  QString Cell(const std::string& name, int column) const { return IndexOf(name, column).data().toString(); }
  // Where the user's click or arrow key puts the selection.
  void MoveTo(const std::string& name) { view_->setCurrentIndex(IndexOf(name, 0)); }

  fs::path folder_;
  QTreeView* view_ = nullptr;
};

TEST_F(PictureDialogTest, BrowsingReadsNoFileAndSpeaksJapanese) {
  ReadWatch watch(folder_);
  if (!watch.Works()) GTEST_SKIP() << "no inotify here to see which files are read";
  const auto dialog = OpenDialog({});  // every file listed, the pipe too
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Cell("noext", 2).isEmpty(); }));
  // Types come from names: the text file is not looked into.
  const QMimeDatabase mime;
  EXPECT_EQ(Cell("picture.bmp", 2), mime.mimeTypeForName(QStringLiteral("image/bmp")).comment());
  EXPECT_EQ(Cell("noext", 2), mime.mimeTypeForName(QStringLiteral("application/octet-stream")).comment());
  EXPECT_EQ(Cell("sub", 2), QStringLiteral("フォルダ"));
  EXPECT_EQ(watch.NamesTouched(), std::set<std::string>{});

  // Sizes and dates as a Japanese locale writes them.
  const qint64 bytes = static_cast<qint64>(fs::file_size(Path("picture.bmp")));
  EXPECT_EQ(Cell("picture.bmp", 1), QLocale(QLocale::Japanese).formattedDataSize(bytes));
  EXPECT_TRUE(Cell("picture.bmp", 1).contains(QStringLiteral("バイト")))
      << Cell("picture.bmp", 1).toStdString();
  EXPECT_EQ(Cell("sub", 1), QString());
  const QRegularExpression japaneseDate(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{1,2}:\\d{2}$"));
  EXPECT_TRUE(japaneseDate.match(Cell("picture.bmp", 3)).hasMatch()) << Cell("picture.bmp", 3).toStdString();
  EXPECT_TRUE(Testing::ShownErrors().empty());
}

TEST_F(PictureDialogTest, PreviewFollowsTheSelection) {
  const auto dialog = OpenDialog(QStringLiteral("ビットマップ (*.bmp)"), QPath("picture.bmp"));
  auto* preview = dialog->findChild<PicturePreview*>(QStringLiteral("picturePreview"));
  ASSERT_NE(preview, nullptr);
  // The last chosen picture at once, fitted to the box with its aspect kept.
  const QString facts = QStringLiteral("4 × 2 ピクセル\n%1 ビット");
  TBitmap saved;
  saved.LoadFromFile(Path("picture.bmp"));
  EXPECT_EQ(preview->FactsText(), facts.arg(saved.PixelDepth()));
  EXPECT_EQ(preview->PictureSize(), QSize(180, 90));

  MoveTo("bad.bmp");
  EXPECT_EQ(preview->FactsText(), QString());
  EXPECT_EQ(preview->PictureSize(), QSize());
  MoveTo("picture.bmp");
  EXPECT_EQ(preview->FactsText(), facts.arg(saved.PixelDepth()));

  // Nothing that is not a readable picture shows, and nothing complains; the
  // pipe and /proc's endless files are never read.
  for (const QString& path :
       {QPath("bad.bmp"), QPath("noext"), QPath("pipe"), QPath("sub"), QPath("gone.bmp"),
        QStringLiteral("/proc/self/status"), QStringLiteral("/dev/zero"), QString()}) {
    preview->ShowPicture(QPath("picture.bmp"));
    preview->ShowPicture(path);
    EXPECT_EQ(preview->FactsText(), QString()) << path.toStdString();
    EXPECT_EQ(preview->PictureSize(), QSize()) << path.toStdString();
  }
  EXPECT_TRUE(Testing::ShownErrors().empty());
}

}  // namespace
