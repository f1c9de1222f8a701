// The canvas counts in device pixels at any scale factor; tests/CMakeLists.txt
// runs this suite again at 1.25, 1.5 and 2.
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "brush/brush_window.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

class DevicePixelsTest : public WindowSetTest {
 protected:
  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  // The client that holds exactly w x h device pixels, for these sizes.
  void SizeCanvas(int w, int h) {
    const double ratio = Form1->Image1->Widget()->devicePixelRatioF();
    Form1->SetClientWidth(static_cast<int>(std::ceil(w / ratio)));
    Form1->SetClientHeight(static_cast<int>(std::ceil(h / ratio)));
    ASSERT_EQ(Canvas().Width() * 10000 + Canvas().Height(), w * 10000 + h);
  }
  // Sent to the overlay, which takes the mouse, at the device pixel's centre.
  void Send(QEvent::Type type, int dx, int dy, Qt::MouseButton button) {
    const double ratio = Form1->Image2->Widget()->devicePixelRatioF();
    const QPointF at((dx + 0.5) / ratio, (dy + 0.5) / ratio);
    QMouseEvent event(type, at, at, button, type == QEvent::MouseButtonPress ? button : Qt::NoButton, {});
    QCoreApplication::sendEvent(Form1->Image2->Widget(), &event);
  }
};

void PaintPattern(TBitmap& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.ScanLine(y)[x] = ((x * 0x010307u + y * 0x070301u) ^ ((x ^ y) & 1) * 0xFFFFFFu) | 0xFF000000u;
}

int FirstRowDiffering(const TBitmap& a, const TBitmap& b, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((a.ScanLine(y)[x] ^ b.ScanLine(y)[x]) & 0xFFFFFFu) return y;
  return -1;
}

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(DevicePixelsTest, OpenedPictureKeepsEveryPixelAndSavesTheSameBytes) {
  TBitmap file;
  file.SetWidth(600);
  file.SetHeight(400);
  PaintPattern(file);
  const std::filesystem::path in = Folder() / "in.bmp", out = Folder() / "out.bmp";
  file.SaveToFile(in.string());
  Form1->OpenPictureFile(in.string());  // into the canvas of the design size
  EXPECT_EQ(FirstRowDiffering(Canvas(), file, 600, 400), -1);
  SizeCanvas(600, 400);
  Form1->OpenPictureFile(in.string());
  Testing::AnswerFileDialog(out.string());
  Form1->N4->Click();
  EXPECT_TRUE(Bytes(out) == Bytes(in));
}

TEST_F(DevicePixelsTest, PressStampsAndOutlinesAroundTheDevicePixel) {
  Form2->ScrollBar1->SetPosition(10);
  Form2->SpeedButton2->SetDown(true);
  Form2->CheckBox1->SetChecked(true);
  Form2->CheckBox2->SetChecked(false);
  for (const auto& [dx, dy] : {std::pair{20, 20}, {21, 22}, {33, 41}}) {
    SCOPED_TRACE(std::to_string(dx) + "," + std::to_string(dy));
    Form1->Modified = false;  // New asks nothing
    Form1->N2->Click();
    Send(QEvent::MouseButtonPress, dx, dy, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, dx, dy, Qt::LeftButton);
    ExpectPicture(
        Canvas(), dx - 6, dy - 6,
        {"............", ".##########.", ".##########.", ".##########.", ".##########.", ".##########.",
         ".##########.", ".##########.", ".##########.", ".##########.", ".##########.", "............"});
    Send(QEvent::MouseMove, dx, dy, Qt::NoButton);
    ExpectPicture(
        *Form1->Image2->Picture()->Bitmap(), dx - 6, dy - 6,
        {"............", ".##########.", ".#ssssssss#.", ".#s......s#.", ".#s......s#.", ".#s......s#.",
         ".#s......s#.", ".#s......s#.", ".#s......s#.", ".#ssssssss#.", ".##########.", "............"});
  }
}

TEST_F(DevicePixelsTest, CanvasIsShownPixelForPixel) {
  SizeCanvas(600, 400);
  PaintPattern(Canvas());
  // The widget may end inside a device pixel, which the grab counts whole.
  const QImage shown = Form1->Image1->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(shown.width(), 600);
  ASSERT_GE(shown.height(), 400);
  int firstBadRow = -1;
  for (int y = 0; y < 400 && firstBadRow < 0; ++y)
    for (int x = 0; x < 600 && firstBadRow < 0; ++x)
      if ((shown.pixel(x, y) ^ Canvas().ScanLine(y)[x]) & 0xFFFFFFu) firstBadRow = y;
  EXPECT_EQ(firstBadRow, -1);
}

}  // namespace
