// How the window layer's colours, fonts, pictures and cursors look in Qt.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include "ui/ui.h"

namespace ui::qt {

// A COLORREF or a system colour reference, in the terms of the given palette.
QColor toQColor(Color c, const QPalette& palette);
// "#rrggbb", for style sheets.
QString cssColor(Color c, const QPalette& palette);

// Registers stand-ins for the Windows fonts the forms name; call once after QApplication.
void installFontSubstitutes();
QFont toQFont(const Font& f);

// Qt lays out in device-independent pixels, 96 to the inch at the usual setting.
constexpr int kTwipsPerPixel = 15;

QString toQString(const std::u16string& s);
std::u16string fromQString(const QString& s);

QPixmap picture(Image image);  // null for Image::None
QIcon clockIcon();
QCursor cursorFor(Cursor c);

}  // namespace ui::qt
