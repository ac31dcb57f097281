// Peers: a top-level QWidget per loaded form, a child widget per control, a QTimer per timer.
#pragma once

#include <QWidget>
#include <memory>

#include "ui/ui.h"

namespace ui::qt {

class QtBackend;

std::unique_ptr<FormPeer> createFormPeers(Form& form, QtBackend& backend);

// The window behind a form's hWnd (its QWidget pointer); nullptr for no window.
inline QWidget* windowOf(Handle hWnd) { return reinterpret_cast<QWidget*>(hWnd); }

// A form's window to the front, back from minimised where the platform needs more for that.
void bringForward(QWidget* window);
// A form's window marked for the user's attention, until the user turns to it.
void requestAttention(QWidget* window);

}  // namespace ui::qt
