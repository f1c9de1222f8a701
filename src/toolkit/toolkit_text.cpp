// Text shaped and rendered by Qt's font engine, aliased so that every glyph
// pixel is ink or not; the canvas writes the ink into the bitmap.
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
  TTextInk Render(const TFont& font, const std::string& text) override {
    const QFont qfont = ToQFont(font);
    const QFontMetrics metrics(qfont);
    const QString s = ToQString(text);
    TTextInk ink;
    ink.advance = metrics.horizontalAdvance(s);
    ink.cellHeight = metrics.height();
    // Glyphs may reach past the cell (overhangs, accents): the scratch image
    // holds both, with a pixel to spare.
    const QRect glyphs = metrics.boundingRect(s).translated(0, metrics.ascent());
    const QRect box = glyphs.united(QRect(0, 0, ink.advance, ink.cellHeight)).adjusted(-1, -1, 1, 1);
    QImage scratch(box.size(), QImage::Format_ARGB32_Premultiplied);
    if (scratch.isNull()) return ink;
    scratch.fill(Qt::transparent);
    {
      QPainter painter(&scratch);
      painter.setFont(qfont);
      painter.setPen(Qt::black);
      painter.drawText(QPoint(-box.left(), metrics.ascent() - box.top()), s);
    }
    ink.left = box.left();
    ink.top = box.top();
    ink.width = box.width();
    ink.height = box.height();
    ink.mask.resize(static_cast<std::size_t>(ink.width) * static_cast<std::size_t>(ink.height));
    for (int y = 0; y < ink.height; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
      for (int x = 0; x < ink.width; ++x)
        ink.mask[static_cast<std::size_t>(y) * ink.width + x] = qAlpha(row[x]) >= 128 ? 1 : 0;
    }
    return ink;
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
