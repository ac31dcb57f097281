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

}  // namespace ui::qt
