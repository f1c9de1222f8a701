// Text output on bitmaps through Qt's font engine, aliased so that every glyph
// pixel takes exactly the font colour.
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "toolkit/toolkit_qt.h"

namespace {

QFont ToQFont(const TFont& font) {
  QFont f(ToQString(font.Name()));
  // A zero height keeps the face's default size.
  if (font.Height() != 0) f.setPixelSize(std::abs(font.Height()));
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

class QtTextRenderer : public TTextRenderer {
 public:
  int DrawText(TCanvas& canvas, int x, int y, const std::string& text) override {
    const QFont font = ToQFont(*canvas.Font);
    const QFontMetrics metrics(font);
    const QString s = ToQString(text);
    const int width = metrics.horizontalAdvance(s);
    TBitmap& bitmap = canvas.Bitmap();
    if (bitmap.Empty()) return width;
    const QRect cell(x, y, width, metrics.height());
    const QRect onBitmap = cell & QRect(0, 0, bitmap.Width(), bitmap.Height());
    if (onBitmap.isEmpty()) return width;
    QImage image = WrapBitmapPixels(bitmap);
    {
      QPainter painter(&image);
      // Stored words, so that a bitmap of a reduced depth keeps only colours it can hold.
      if (canvas.Brush->Style() == bsSolid)
        painter.fillRect(cell, QColor::fromRgb(bitmap.StoredPixel(canvas.Brush->Color())));
      painter.setFont(font);
      painter.setPen(QColor::fromRgb(bitmap.StoredPixel(canvas.Font->Color())));
      painter.drawText(QPoint(x, y + metrics.ascent()), s);
    }
    bitmap.MarkDirty(Rect(onBitmap.left(), onBitmap.top(), onBitmap.right() + 1, onBitmap.bottom() + 1));
    return width;
  }

  int TextWidth(const TFont& font, const std::string& text) override {
    return QFontMetrics(ToQFont(font)).horizontalAdvance(ToQString(text));
  }
};

QtTextRenderer gRenderer;

}  // namespace

void InstallTextRenderer() {
  SetTextRenderer(&gRenderer);
}
