#include "ui/qt/qt_look.h"

#include <QFile>
#include <QImage>

namespace ui::qt {

QColor toQColor(Color c, const QPalette& palette) {
  if (!isSystemColor(c)) return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);  // 0x00BBGGRR
  switch (systemColorIndex(c)) {
    case 5: return palette.color(QPalette::Base);
    case 8: return palette.color(QPalette::Text);
    case 18: return palette.color(QPalette::ButtonText);
    // The scroll-bar grey sits a step darker than the button face, as on Windows (C8 vs F0).
    case 0: return palette.color(QPalette::Button).darker(120);
    default: return palette.color(QPalette::Button);
  }
}

QString cssColor(Color c, const QPalette& palette) { return toQColor(c, palette).name(QColor::HexRgb); }

void installFontSubstitutes() {
  // Debian ships neither Windows font. Liberation Sans has Arial's metrics, the closest
  // match to MS Sans Serif; DejaVu Sans Condensed is near Tahoma's narrow width. A system
  // that has the real fonts keeps them: substitutes apply only to missing families.
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                             {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont toQFont(const Font& f) {
  QFont font(toQString(f.name));
  font.setPointSizeF(f.points);
  font.setBold(f.bold);
  return font;
}

QString toQString(const std::u16string& s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

std::u16string fromQString(const QString& s) { return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())); }

QPixmap picture(Image image) {
  switch (image) {
    case Image::MainBackdrop: return QPixmap(QStringLiteral(":/tollora/MainBackdrop.jpg"));
    case Image::DialogBackdrop: return QPixmap(QStringLiteral(":/tollora/DialogBackdrop.jpg"));
    default: return {};
  }
}

QIcon clockIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addFile(QStringLiteral(":/tollora/tollora-%1.png").arg(size), QSize(size, size));
  return icon;
}

namespace {

quint32 le(const QByteArray& d, qsizetype at, int bytes) {
  quint32 v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<quint8>(d[at + i]);
  return v;
}

}  // namespace

CursorImage readWindowsCursor(const QByteArray& d) {
  // ICONDIR (type 2: cursor), then the first ICONDIRENTRY: its hot spot and where the DIB is.
  if (d.size() < 22 || le(d, 2, 2) != 2 || le(d, 4, 2) < 1) return {};
  CursorImage out;
  out.hotX = static_cast<int>(le(d, 10, 2));
  out.hotY = static_cast<int>(le(d, 12, 2));
  const qsizetype dib = le(d, 18, 4);
  if (dib < 0 || dib + 40 > d.size()) return {};
  const int width = static_cast<int>(le(d, dib + 4, 4));
  const int height = static_cast<int>(le(d, dib + 8, 4)) / 2;  // the XOR image and the AND mask
  const int bpp = static_cast<int>(le(d, dib + 14, 2));
  if (le(d, dib + 16, 4) != 0 || width <= 0 || width > 256 || height <= 0 || height > 256 || (bpp != 1 && bpp != 4 && bpp != 8))
    return {};
  const qsizetype colours = le(d, dib + 32, 4) ? le(d, dib + 32, 4) : (1 << bpp);
  const qsizetype palette = dib + le(d, dib, 4);
  const qsizetype xorStride = (width * bpp + 31) / 32 * 4;
  const qsizetype andStride = (width + 31) / 32 * 4;
  const qsizetype xorBits = palette + colours * 4;
  const qsizetype andBits = xorBits + xorStride * height;
  if (colours > 256 || andBits + andStride * height > d.size()) return {};

  out.image = QImage(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    const int row = height - 1 - y;  // bottom-up
    for (int x = 0; x < width; ++x) {
      const bool masked = (static_cast<quint8>(d[andBits + row * andStride + x / 8]) >> (7 - x % 8)) & 1;
      const qsizetype bit = static_cast<qsizetype>(x) * bpp;
      const int index = (static_cast<quint8>(d[xorBits + row * xorStride + bit / 8]) >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1);
      // A masked pixel is transparent (or screen-inverting, which a cursor image cannot show).
      const qsizetype entry = palette + (index < colours ? index : 0) * 4;
      out.image.setPixel(x, y, masked ? 0u : qRgb(static_cast<quint8>(d[entry + 2]), static_cast<quint8>(d[entry + 1]), static_cast<quint8>(d[entry])));
    }
  }
  return out;
}

QCursor cursorFor(Cursor c) {
  if (c != Cursor::Hand) return QCursor(Qt::ArrowCursor);
  // Qt cannot read .cur files, so the program's own hand is decoded once from the resource.
  static const CursorImage hand = [] {
    QFile file(QStringLiteral(":/tollora/HandCursor.cur"));
    return file.open(QIODevice::ReadOnly) ? readWindowsCursor(file.readAll()) : CursorImage{};
  }();
  if (hand.image.isNull()) return QCursor(Qt::PointingHandCursor);
  return QCursor(QPixmap::fromImage(hand.image), hand.hotX, hand.hotY);
}

}  // namespace ui::qt
