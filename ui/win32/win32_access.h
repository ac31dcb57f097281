// How screen readers on Windows read the program, through the system's own accessibility
// objects for native controls (oleacc): a control is named by its text, an edit box by the
// static text just before it in creation order.
//
// The clock label's SetWindowText raises EVENT_OBJECT_NAMECHANGE every second, as every text
// change of a window does. That is left alone: screen readers speak a name change only for the
// object with the focus, and a static text never takes it, so the ticking is not spoken. The
// alarm is, once, through announce().
#pragma once

#include "ui/win32/win32_backend.h"

namespace ui {

// A text box the program names gets a hidden static label with that name right before it, the
// standard way to name an edit that has no visible label. Call just before creating the box.
void addNameLabel(HWND form, const Control& control, HINSTANCE instance);

// The tooltip as the control's accessible description, through Dynamic Annotation. Windows'
// own objects read it from there; Wine's do not (its annotation service is a stub).
void describe(HWND control, const std::u16string& description);

// Raises EVENT_SYSTEM_ALERT for a text, so a screen reader speaks it once whatever window is
// in front. The event names an object, whose name the screen reader reads: the main window's
// label that shows the text when there is one, else a zero-sized static text kept for this.
void announce(const std::u16string& text, HINSTANCE instance);

}  // namespace ui
