#include "ui/qt/qt_look.h"


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

QCursor cursorFor(Cursor c) {
  if (c != Cursor::Hand) return QCursor(Qt::ArrowCursor);
  // The program's own hand, drawn with the Windows cursor; its fingertip is the hot spot.
  static const QPixmap hand(QStringLiteral(":/tollora/hand-cursor.png"));
  if (hand.isNull()) return QCursor(Qt::PointingHandCursor);
  return QCursor(hand, 12, 1);
}

}  // namespace ui::qt
