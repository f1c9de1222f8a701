// The canvas counts in device pixels at any scale factor; tests/CMakeLists.txt
// runs this suite again at 1.25, 1.5 and 2.
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "brush/brush_window.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

class DevicePixelsTest : public WindowSetTest {
 protected:
  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  double Ratio() { return Form1->Image2->Widget()->devicePixelRatioF(); }
  // To the overlay, which takes the mouse, at the device pixel's centre.
  void Send(QEvent::Type type, int dx, int dy, Qt::MouseButtons held) {
    const QPointF at((dx + 0.5) / Ratio(), (dy + 0.5) / Ratio());
    QMouseEvent event(type, at, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, {});
    QCoreApplication::sendEvent(Form1->Image2->Widget(), &event);
  }
};

// The first of 400 rows whose first 600 pixels differ in colour, or -1.
int FirstRowDiffering(const std::function<std::uint32_t(int, int)>& pixel, const TBitmap& want) {
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 600; ++x)
      if ((pixel(x, y) ^ want.ScanLine(y)[x]) & 0xFFFFFFu) return y;
  return -1;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(DevicePixelsTest, PictureOpenedIsKeptShownAndSavedPixelForPixel) {
  TBitmap file;
  file.SetWidth(600);
  file.SetHeight(400);
  for (int y = 0; y < 400; ++y)  // 1-pixel stripes and steps: any scaling shows
    for (int x = 0; x < 600; ++x)
      file.Canvas()->SetPixel(x, y, WordToColor((x * 0x010307u + y * 0x070301u) ^ ((x ^ y) & 1) * 0xFFFFFFu));
  const std::string in = (Folder() / "in.bmp").string(), out = (Folder() / "out.bmp").string();
  file.SaveToFile(in);
  Form1->OpenPictureFile(in);  // into the canvas of the design size
  EXPECT_EQ(FirstRowDiffering([&](int x, int y) { return Canvas().ScanLine(y)[x]; }, file), -1);
  Form1->SetClientWidth(static_cast<int>(std::ceil(600 / Ratio())));
  Form1->SetClientHeight(static_cast<int>(std::ceil(400 / Ratio())));
  ASSERT_EQ(Canvas().Width() * 1000 + Canvas().Height(), 600400);
  Form1->OpenPictureFile(in);
  // The widget may end inside a device pixel, which the grab counts whole.
  const QImage shown = Form1->Image1->Widget()->grab().toImage();
  EXPECT_EQ(FirstRowDiffering([&](int x, int y) { return shown.pixel(x, y); }, file), -1);
  Testing::AnswerFileDialog(out);
  Form1->N4->Click();
  EXPECT_TRUE(Bytes(out) == Bytes(in));
}

TEST_F(DevicePixelsTest, PressStampsAndOutlinesAroundTheDevicePixel) {
  Form2->ScrollBar1->SetPosition(4);
  Form2->SpeedButton2->SetDown(true);
  for (const auto& [dx, dy] : {std::pair{20, 20}, {31, 42}, {53, 27}}) {
    Send(QEvent::MouseButtonPress, dx, dy, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, dx, dy, Qt::NoButton);
    Send(QEvent::MouseMove, dx, dy, Qt::NoButton);
    ExpectPicture(Canvas(), dx - 3, dy - 3, {"......", ".####.", ".####.", ".####.", ".####.", "......"});
    ExpectPicture(*Form1->Image2->Picture()->Bitmap(), dx - 3, dy - 3,
                  {"......", ".####.", ".#ss#.", ".#ss#.", ".####.", "......"});
  }
}

}  // namespace
