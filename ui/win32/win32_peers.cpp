// Forms and controls as native windows. Each HWND carries its peer in GWLP_USERDATA; a peer
// clears it before the window goes, so a late message never reaches a destroyed peer.
#include "ui/win32/win32_backend.h"
#include "ui/win32/win32_access.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace ui {

namespace {

constexpr int kFirstChildId = 100;  // clear of IDOK/IDCANCEL, which IsDialogMessage sends
constexpr int kMaximized = 2;       // WindowState beyond vbNormal and vbMinimized

class FormWindow;

template <class T>
T* peerOf(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The part every control with a window shares: creation, position, font, visibility.
class ChildPeer : public Peer {
 public:
  ChildPeer(FormWindow& form, Control& control, const wchar_t* windowClass, DWORD style, DWORD exStyle,
            const std::u16string& text, int id);
  ~ChildPeer() override;

  Control& control() const { return control_; }

  // Position and font for the form's current DPI.
  virtual void layout();
  // WM_COMMAND notification code from this control.
  virtual void command(WORD) {}
  // WM_CTLCOLOR*: the brush to paint with, or nullptr for the default.
  virtual HBRUSH color(HDC) { return nullptr; }
  virtual void draw(const DRAWITEMSTRUCT&) {}
  void changed(Prop what) override;

 protected:
  RECT designRect() const;

  FormWindow& form_;
  Control& control_;
  HWND hwnd_;
};

class FormWindow : public FormPeer {
 public:
  FormWindow(Win32Backend& backend, Form& form);
  ~FormWindow() override;

  Handle handle() const override { return reinterpret_cast<Handle>(hwnd_); }
  Handle iconHandle() const override { return reinterpret_cast<Handle>(backend_.smallIcon()); }
  void changed(Prop what) override;
  LRESULT message(UINT msg, WPARAM wParam, LPARAM lParam);

  Win32Backend& backend() const { return backend_; }
  HWND hwnd() const { return hwnd_; }
  UINT dpi() const { return dpi_; }
  int px(int twips) const { return MulDiv(twips, static_cast<int>(dpi_), 1440); }
  int twips(int px) const { return MulDiv(px, 1440, static_cast<int>(dpi_)); }
  // Gives a control its tooltip, or a new text for the one it has.
  void setToolTip(HWND control, const std::u16string& text);
  // The keyboard focus to `control` now if the window is active, else when it next is: the
  // window itself is never activated for it.
  void focus(HWND control) {
    if (GetActiveWindow() == hwnd_) SetFocus(control);
    else lastFocus_ = control;
  }
  // Repaints the form's background (and the controls on it) under a transparent control.
  void repaintUnder(const RECT& area) { RedrawWindow(hwnd_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN); }

 private:
  DWORD style() const { return form_.border == Border::None ? WS_POPUP : WS_OVERLAPPEDWINDOW; }
  DWORD exStyle() const { return WS_EX_CONTROLPARENT | WS_EX_APPWINDOW; }
  // The outer frame for the form's position and client size, or centred on the work area.
  RECT frameRect(bool center) const;
  void applyGeometry(bool center);
  // Called before a hidden form is shown: see placing_.
  void expectPlacement() {
    if (IsWindowVisible(hwnd_)) return;
    placing_ = true;
    SetTimer(hwnd_, kPlacementTimer, kPlacementMs, nullptr);
  }
  void paintBackground(HDC dc);
  void timeChanged();
  // Shows the window in front without activating it.
  void showInFront() { SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW); }
  // The id Enter presses (DM_GETDEFID): the focused button, else the form's default button.
  int defaultId() const;
  void press(Button* button);
  void forEachChild(void (ChildPeer::*what)());

  Win32Backend& backend_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HWND toolTip_ = nullptr;
  std::vector<HWND> tipped_;  // the controls the tooltip control knows
  HWND lastFocus_ = nullptr;
  UINT dpi_;
  bool ready_ = false;  // ignore the moves and sizes of creation: they are not the user's
  bool shownBefore_ = false;
  // Whether a move is the window manager's placement, not the user's (kPlaceMessage).
  bool placing_ = false;
};

// --- controls ---------------------------------------------------------------------------

ChildPeer::ChildPeer(FormWindow& form, Control& control, const wchar_t* windowClass, DWORD style, DWORD exStyle,
                     const std::u16string& text, int id)
    : form_(form), control_(control) {
  style |= WS_CHILD | (control.visible() ? WS_VISIBLE : 0) | (control.enabled() ? 0 : WS_DISABLED);
  hwnd_ = CreateWindowExW(exStyle, windowClass, wide(text), style, 0, 0, 0, 0, form.hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), form.backend().instance(), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (!control.toolTip.empty()) {
    form.setToolTip(hwnd_, control.toolTip);
    describe(hwnd_, control.toolTip);
  }
}

ChildPeer::~ChildPeer() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

RECT ChildPeer::designRect() const {
  const Rect& r = control_.rect;
  return {form_.px(r.left), form_.px(r.top), form_.px(r.left + r.width), form_.px(r.top + r.height)};
}

void ChildPeer::layout() {
  const RECT r = designRect();
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.backend().font(control_.font, form_.dpi())), TRUE);
}

void ChildPeer::changed(Prop what) {
  if (what == Prop::Visible) {
    // A hidden control keeps the keyboard focus unless it is handed on.
    if (!control_.visible() && GetFocus() == hwnd_) SetFocus(GetNextDlgTabItem(form_.hwnd(), hwnd_, FALSE));
    ShowWindow(hwnd_, control_.visible() ? SW_SHOWNA : SW_HIDE);
  } else if (what == Prop::Enabled) {
    EnableWindow(hwnd_, control_.enabled());
  } else if (what == Prop::ToolTip) {
    form_.setToolTip(hwnd_, control_.toolTip);
    describe(hwnd_, control_.toolTip);
  } else if (what == Prop::Focus) {
    form_.focus(hwnd_);
  }
}

class LabelPeer : public ChildPeer {
 public:
  LabelPeer(FormWindow& form, Label& label, int id)
      : ChildPeer(form, label, L"STATIC", SS_NOPREFIX | (label.align == Align::Center ? SS_CENTER : SS_LEFT), 0,
                  label.caption(), id),
        label_(label) {}

  void layout() override {
    ChildPeer::layout();
    scale_ = 1.0f;
    if (label_.autoSize) fit();
    else fitFont();
  }

  HBRUSH color(HDC dc) override {
    SetTextColor(dc, Win32Backend::resolve(label_.foreColor()));
    if (label_.transparent) {
      SetBkMode(dc, TRANSPARENT);
      return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    SetBkColor(dc, Win32Backend::resolve(label_.backColor()));
    return form_.backend().brush(label_.backColor());
  }

  void changed(Prop what) override {
    switch (what) {
      case Prop::Caption: {
        const RECT before = area();
        SetWindowTextW(hwnd_, wide(label_.caption()));
        if (label_.autoSize) fit();
        else fitFont();
        // A transparent label draws no background, so the old text stays until the form
        // paints its picture under it again.
        if (label_.transparent) {
          RECT both;
          const RECT after = area();
          UnionRect(&both, &before, &after);
          form_.repaintUnder(both);
        }
        break;
      }
      case Prop::ForeColor:
      case Prop::BackColor:
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
      case Prop::Visible:
        ChildPeer::changed(what);
        if (label_.transparent) form_.repaintUnder(area());
        break;
      default:
        ChildPeer::changed(what);
    }
  }

 private:
  RECT area() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(nullptr, form_.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  // Grows or shrinks to the caption, keeping the left edge or the centre of the design rect.
  void fit() {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, form_.backend().font(label_.font, form_.dpi()));
    RECT text{0, 0, 0, 0};
    const std::u16string& caption = label_.caption();
    DrawTextW(dc, wide(caption), static_cast<int>(caption.size()), &text, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    const RECT design = designRect();
    const int width = text.right - text.left;
    const int left = label_.align == Align::Center ? (design.left + design.right - width) / 2 : design.left;
    SetWindowPos(hwnd_, nullptr, left, design.top, width, text.bottom - text.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // A label of fixed size shows its whole caption in whatever font the system gives for the
  // one asked (another face where it is missing, other proportions at a high dpi): where the
  // caption would not fit, as the control wraps and clips it, the font is made smaller until
  // it does. It stays smaller, so that a clock's font does not change with every second.
  void fitFont() {
    const RECT design = designRect();
    const int width = design.right - design.left, height = design.bottom - design.top;
    const std::u16string& caption = label_.caption();
    HDC dc = GetDC(hwnd_);
    const float before = scale_;
    for (;; scale_ -= 0.05f) {
      Font font = label_.font;
      font.points *= scale_;
      HGDIOBJ old = SelectObject(dc, form_.backend().font(font, form_.dpi()));
      RECT text{0, 0, width, 0};
      DrawTextW(dc, wide(caption), static_cast<int>(caption.size()), &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
      SelectObject(dc, old);
      if ((text.right <= width && text.bottom <= height) || scale_ < 0.55f) break;
    }
    ReleaseDC(hwnd_, dc);
    if (scale_ == before) return;
    Font font = label_.font;
    font.points *= scale_;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.backend().font(font, form_.dpi())), TRUE);
  }

  Label& label_;
  float scale_ = 1.0f;  // of the label's font, for a caption that would not fit otherwise
};

class TextBoxPeer : public ChildPeer {
 public:
  TextBoxPeer(FormWindow& form, TextBox& box, int id)
      : ChildPeer(form, box, L"EDIT", styleFor(box), WS_EX_CLIENTEDGE, box.text(), id), box_(box) {
    if (!box.multiLine) SetWindowSubclass(hwnd_, keepFirstLine, 0, 0);
    if (box.locked) SetWindowSubclass(hwnd_, leaveKeysToWindow, 0, 0);
  }

  void layout() override {
    ChildPeer::layout();
    fitScrollBar();
  }

  void command(WORD code) override {
    if (code != EN_CHANGE || settingText_) return;
    const int n = GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd_, text.data(), n + 1);
    const std::u16string native = fromWide(text.data(), static_cast<std::size_t>(got));
    DWORD selectionEnd = 0;
    SendMessageW(hwnd_, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&selectionEnd));
    const std::size_t caret = box_.nativeEdited(native, selectionEnd);
    // The edit control's own paste stops at a line break, but WM_SETTEXT from outside does not.
    if (box_.text() != native) {
      settingText_ = true;
      SetWindowTextW(hwnd_, wide(box_.text()));
      settingText_ = false;
      SendMessageW(hwnd_, EM_SETSEL, caret, caret);
    }
  }

  HBRUSH color(HDC dc) override {
    SetTextColor(dc, Win32Backend::resolve(box_.foreColor()));
    SetBkColor(dc, Win32Backend::resolve(box_.backColor()));
    return form_.backend().brush(box_.backColor());
  }

  void changed(Prop what) override {
    switch (what) {
      case Prop::Caption:
        // The box tells EN_CHANGE for our own text too; the value is already the control's.
        settingText_ = true;
        SetWindowTextW(hwnd_, wide(box_.text()));
        settingText_ = false;
        fitScrollBar();
        break;
      case Prop::ForeColor:
      case Prop::BackColor:
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
      default:
        ChildPeer::changed(what);
    }
  }

 private:
  // Windows quirk: a single-line EDIT given a text of several lines by WM_SETTEXT (how
  // automation and accessibility tools set a whole value, and SetWindowText from outside)
  // drops the CR and LF and glues the lines into a new text, which EN_CHANGE then reports as
  // one line. The text is cut at its first line break before the control sees it.
  static LRESULT CALLBACK keepFirstLine(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_SETTEXT && lParam) {
      const auto* text = reinterpret_cast<const wchar_t*>(lParam);
      std::size_t n = 0;
      while (text[n] && !TextBox::isLineBreak(static_cast<char16_t>(text[n]))) ++n;
      if (text[n]) {
        const std::wstring line(text, n);
        return DefSubclassProc(w, msg, wParam, reinterpret_cast<LPARAM>(line.c_str()));
      }
    } else if (msg == WM_NCDESTROY) {
      RemoveWindowSubclass(w, keepFirstLine, 0);
    }
    return DefSubclassProc(w, msg, wParam, lParam);
  }

  // A locked multi-line box would keep Enter, Escape and Tab for itself: they go to the
  // window instead (its default and cancel buttons, the next control).
  static LRESULT CALLBACK leaveKeysToWindow(HWND w, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_GETDLGCODE) return DefSubclassProc(w, msg, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, leaveKeysToWindow, 0);
    return DefSubclassProc(w, msg, wParam, lParam);
  }

  // The scroll bar shows only for a text longer than the box: an edit control keeps it
  // there, greyed, for one that fits. Measured without it, at the box's whole width.
  void fitScrollBar() {
    if (!box_.verticalScrollBar) return;
    ShowScrollBar(hwnd_, SB_VERT, FALSE);
    RECT room{};
    SendMessageW(hwnd_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    const auto lines = SendMessageW(hwnd_, EM_GETLINECOUNT, 0, 0);
    if (lines * metrics.tmHeight > room.bottom - room.top) ShowScrollBar(hwnd_, SB_VERT, TRUE);
  }

  static DWORD styleFor(const TextBox& box) {
    const DWORD locked = box.locked ? ES_READONLY : 0;
    if (!box.multiLine && !box.verticalScrollBar) return WS_TABSTOP | ES_AUTOHSCROLL | locked;
    return WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | (box.locked ? 0 : ES_WANTRETURN) | (box.verticalScrollBar ? WS_VSCROLL : 0) |
           locked;
  }

  TextBox& box_;
  bool settingText_ = false;
};

class ButtonPeer : public ChildPeer {
 public:
  ButtonPeer(FormWindow& form, Button& button, int id)
      : ChildPeer(form, button, L"BUTTON",
                  WS_TABSTOP | (button.graphical                         ? BS_OWNERDRAW
                                : button.form().defaultButton == &button ? BS_DEFPUSHBUTTON
                                                                         : BS_PUSHBUTTON),
                  0, button.caption(), id),
        button_(button) {}

  // The click may unload the form: nothing of this peer is touched afterwards.
  void command(WORD code) override {
    if (code == BN_CLICKED) button_.raiseClick();
  }

  // The graphical style: flat in the button's colour with a thin raised edge, sunk while
  // pressed, as the classic owner-drawn look.
  void draw(const DRAWITEMSTRUCT& item) override {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    FillRect(dc, &r, form_.backend().brush(button_.backColor()));
    DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (pressed) OffsetRect(&r, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(item.itemState & ODS_DISABLED ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, form_.backend().font(button_.font, form_.dpi()));
    const std::u16string& caption = button_.caption();
    DrawTextW(dc, wide(caption), static_cast<int>(caption.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
      RECT focus = item.rcItem;
      InflateRect(&focus, -4, -4);
      DrawFocusRect(dc, &focus);
    }
  }

  void changed(Prop what) override {
    if (what == Prop::Caption)
      SetWindowTextW(hwnd_, wide(button_.caption()));
    else if (what == Prop::BackColor)
      InvalidateRect(hwnd_, nullptr, TRUE);
    else
      ChildPeer::changed(what);
  }

 private:
  Button& button_;
};

class ProgressPeer : public ChildPeer {
 public:
  ProgressPeer(FormWindow& form, ProgressBar& bar, int id)
      : ChildPeer(form, bar, PROGRESS_CLASSW, PBS_SMOOTH, 0, {}, id), bar_(bar) {
    // A themed bar ignores its colours. An empty theme name is not honoured everywhere; a
    // blank is.
    SetWindowTheme(hwnd_, L" ", L" ");
    SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(std::lround(bar.min)), std::lround(bar.max));
    changed(Prop::BarColors);
    changed(Prop::Value);
  }

  void changed(Prop what) override {
    if (what == Prop::BarColors) {
      SendMessageW(hwnd_, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(Win32Backend::resolve(bar_.backColor())));
      SendMessageW(hwnd_, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(Win32Backend::resolve(bar_.barColor())));
    } else if (what == Prop::Value) {
      SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(std::lround(bar_.value())), 0);
    } else {
      ChildPeer::changed(what);
    }
  }

 private:
  ProgressBar& bar_;
};

// A timer's countdown lives on its form's window under its own id: a precise waitable timer,
// high-resolution where the system has one, waited on by the message loop, and the id's
// SetTimer a little behind it for the times the message loop is not ours (the modal loops of
// message boxes and window dragging). Whichever runs out first ends the countdown; the other,
// left behind, finds it over and is dropped.
class Countdown : public TimerPeer {
 public:
  Countdown(FormWindow& form, Timer& timer, UINT_PTR id) : form_(form), timer_(timer), id_(id) {}
  ~Countdown() override {
    KillTimer(form_.hwnd(), id_);
    if (precise_) form_.backend().closePreciseTimer(precise_);
  }

  void start(std::int64_t ms) override {
    running_ = true;
    // A waitable timer set again needs no cancelling first: each call into the system counts
    // (where the system is a server process, every one is a round trip to it).
    if (!precise_) precise_ = form_.backend().createPreciseTimer([this] { ranOut(); });
    if (precise_) {
      LARGE_INTEGER due;
      due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // negative: relative, in 100 ns units
      SetWaitableTimer(precise_, &due, 0, nullptr, nullptr, FALSE);
    }
    const std::int64_t backstop = precise_ ? 20 : 0;
    SetTimer(form_.hwnd(), id_, static_cast<UINT>(std::min<std::int64_t>(ms + backstop, USER_TIMER_MAXIMUM)), nullptr);
  }

  // Nothing is left to wake the process.
  void stop() override {
    if (!running_) return;
    running_ = false;
    KillTimer(form_.hwnd(), id_);
    if (precise_) CancelWaitableTimer(precise_);
  }

  // The handler may unload the form: nothing of this peer is touched after elapsed().
  void ranOut() {
    if (!running_) {
      KillTimer(form_.hwnd(), id_);  // the backstop behind a countdown already over
      return;
    }
    running_ = false;
    timer_.elapsed();
  }

 private:
  FormWindow& form_;
  Timer& timer_;
  UINT_PTR id_;
  HANDLE precise_ = nullptr;
  bool running_ = false;
};

// --- forms ------------------------------------------------------------------------------

FormWindow::FormWindow(Win32Backend& backend, Form& form) : backend_(backend), form_(form), dpi_(GetDpiForSystem()) {
  // Created at its final size and place, so it never shows itself being resized or moved.
  const RECT frame = frameRect(form.centerOnScreen);
  hwnd_ = CreateWindowExW(exStyle(), MAKEINTATOM(backend.formClass()), wide(form.caption), style(), frame.left, frame.top,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, backend.instance(), this);
  // Per-monitor aware: the monitor the window starts on decides its scale, not the system.
  const UINT dpi = GetDpiForWindow(hwnd_);
  if (dpi != dpi_) {
    dpi_ = dpi;
    applyGeometry(form.centerOnScreen);
  } else if (form.centerOnScreen) {
    form.nativeMoved(twips(frame.left), twips(frame.top));
  }
  ready_ = true;
}

FormWindow::~FormWindow() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

RECT FormWindow::frameRect(bool center) const {
  RECT r{0, 0, px(form_.ScaleWidth()), px(form_.ScaleHeight())};
  AdjustWindowRectExForDpi(&r, style(), FALSE, exStyle(), dpi_);
  const int width = r.right - r.left, height = r.bottom - r.top;
  int x = px(form_.Left()), y = px(form_.Top());
  if (center) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    HMONITOR on = hwnd_ ? MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY) : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    GetMonitorInfoW(on, &monitor);
    const RECT& work = monitor.rcWork;
    x = work.left + (work.right - work.left - width) / 2;
    y = work.top + (work.bottom - work.top - height) / 2;
  }
  return {x, y, x + width, y + height};
}

void FormWindow::applyGeometry(bool center) {
  const RECT frame = frameRect(center);
  if (center) form_.nativeMoved(twips(frame.left), twips(frame.top));
  // Already there: no call. Where the windows are X windows every SetWindowPos reaches the
  // window manager as a configure request, which some answer by raising the window.
  RECT now{};
  if (IsWindowVisible(hwnd_) && !IsIconic(hwnd_) && GetWindowRect(hwnd_, &now) && EqualRect(&now, &frame)) return;
  SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::setToolTip(HWND control, const std::u16string& text) {
  if (!toolTip_) {
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               backend_.instance(), nullptr);
  }
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(wide(text));  // copied by the tooltip
  const bool known = std::find(tipped_.begin(), tipped_.end(), control) != tipped_.end();
  SendMessageW(toolTip_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (!known) tipped_.push_back(control);
}

void FormWindow::forEachChild(void (ChildPeer::*what)()) {
  for (Control* c : form_.controls())
    if (c->kind() != Kind::Timer && c->peer()) (static_cast<ChildPeer*>(c->peer())->*what)();
}

void FormWindow::changed(Prop what) {
  switch (what) {
    case Prop::Shown:
      // A new window opens active, as the user's start or click opened it. Shown again (from
      // the notification area, or coming up by itself when the alarm rings) it comes in front
      // but leaves the focus where the user works; the program asks for the foreground
      // (setForegroundWindow) where the user asked for the window.
      if (!form_.visible()) {
        ShowWindow(hwnd_, SW_HIDE);
        break;
      }
      expectPlacement();
      if (shownBefore_) showInFront();
      else ShowWindow(hwnd_, SW_SHOW);
      shownBefore_ = true;
      break;
    case Prop::State:
      if (form_.WindowState() == vbNormal) {
        // Restoring a form minimised or hidden in the notification area shows it, likewise
        // without taking the focus.
        expectPlacement();
        ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
        if (IsWindowVisible(hwnd_)) showInFront();
      } else {
        ShowWindow(hwnd_, form_.WindowState() == vbMinimized ? SW_MINIMIZE : SW_MAXIMIZE);
      }
      break;
    case Prop::Geometry:
      applyGeometry(false);
      break;
    case Prop::Repaint:
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      break;
    default:
      break;
  }
}

int FormWindow::defaultId() const {
  HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus))
    if (auto* child = peerOf<ChildPeer>(focus); child && child->control().kind() == Kind::Button) return GetDlgCtrlID(focus);
  Button* button = form_.defaultButton;
  if (!button || !button->peer() || !button->visible() || !button->enabled()) return 0;
  for (HWND w = GetWindow(hwnd_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (peerOf<ChildPeer>(w) == button->peer()) return GetDlgCtrlID(w);
  return 0;
}

void FormWindow::press(Button* button) {
  // May unload the form: nothing of this peer is touched afterwards.
  if (button && button->peer() && button->visible() && button->enabled()) button->raiseClick();
}

void FormWindow::paintBackground(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int saved = SaveDC(dc);
  if (HBITMAP picture = form_.picture != Image::None ? backend_.picture(form_.picture) : nullptr) {
    BITMAP info;
    GetObjectW(picture, sizeof(info), &info);
    // The picture is made for 96 dpi; scaled, it keeps its size in twips like the controls.
    const int width = MulDiv(info.bmWidth, static_cast<int>(dpi_), 96);
    const int height = MulDiv(info.bmHeight, static_cast<int>(dpi_), 96);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    if (width == info.bmWidth) {
      BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    } else {
      SetStretchBltMode(dc, HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      StretchBlt(dc, 0, 0, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    ExcludeClipRect(dc, 0, 0, width, height);
  }
  FillRect(dc, &client, backend_.brush(form_.backColor));
  RestoreDC(dc, saved);
}

void FormWindow::timeChanged() {
  // Every top-level window hears of the change; the oldest form speaks for the program.
  if (app().mainForm() == &form_) app().timeChanged();
}

LRESULT FormWindow::message(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Every call into the form below may unload it and destroy this peer: return right after.
  switch (msg) {
    case WM_COMMAND:
      // Enter and Escape (IsDialogMessage): the form's default and cancel buttons.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        press(LOWORD(wParam) == IDOK ? form_.defaultButton : form_.cancelButton);
        return 0;
      }
      if (auto* child = lParam ? peerOf<ChildPeer>(reinterpret_cast<HWND>(lParam)) : nullptr) child->command(HIWORD(wParam));
      return 0;
    case DM_GETDEFID:
      if (const int id = defaultId()) return MAKELRESULT(id, DC_HASDEFID);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      if (auto* child = peerOf<ChildPeer>(reinterpret_cast<HWND>(lParam)))
        if (HBRUSH brush = child->color(reinterpret_cast<HDC>(wParam))) return reinterpret_cast<LRESULT>(brush);
      break;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (auto* child = peerOf<ChildPeer>(item.hwndItem)) child->draw(item);
      return TRUE;
    }
    case WM_ERASEBKGND:
      paintBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        auto* child = peerOf<ChildPeer>(reinterpret_cast<HWND>(wParam));
        if (child && child->control().cursor == Cursor::Hand && backend_.handCursor()) {
          SetCursor(backend_.handCursor());
          return TRUE;
        }
      }
      break;
    case WM_TIMER: {
      if (wParam == kPlacementTimer) {
        KillTimer(hwnd_, kPlacementTimer);
        placing_ = false;
        return 0;
      }
      // Ids are control indexes plus one; a tick queued before its timer went is dropped.
      const auto& controls = form_.controls();
      if (wParam >= 1 && wParam <= controls.size()) {
        Control* c = controls[wParam - 1];
        if (c->kind() == Kind::Timer && c->peer()) static_cast<Countdown*>(c->peer())->ranOut();
      }
      return 0;
    }
    case WM_MOVE:
      if (ready_ && !IsIconic(hwnd_)) {
        RECT r;
        GetWindowRect(hwnd_, &r);
        if (r.left == px(form_.Left()) && r.top == px(form_.Top())) return 0;
        if (placing_ && !IsZoomed(hwnd_))
          PostMessageW(hwnd_, kPlaceMessage, 0, 0);  // not from inside the move being reported
        else
          form_.nativeMoved(twips(r.left), twips(r.top));
      }
      return 0;
    case kPlaceMessage:
      applyGeometry(false);
      return 0;
    case WM_ENTERSIZEMOVE:  // the user's own drag
      placing_ = false;
      break;
    case WM_SIZE: {
      if (!ready_) return 0;
      if (wParam == SIZE_MINIMIZED) {
        form_.nativeStateChanged(vbMinimized);
        return 0;
      }
      if (wParam != SIZE_RESTORED && wParam != SIZE_MAXIMIZED) return 0;
      // Only a size the twips do not already give is news: converting back and forth must
      // not drift ScaleWidth by a rounding.
      const int width = LOWORD(lParam), height = HIWORD(lParam);
      const bool resized = width != px(form_.ScaleWidth()) || height != px(form_.ScaleHeight());
      const int widthTwips = twips(width), heightTwips = twips(height);
      const HWND self = hwnd_;
      Form& form = form_;
      form.nativeStateChanged(wParam == SIZE_MAXIMIZED ? kMaximized : vbNormal);
      // Still loaded? The Form_Resize just run may have unloaded it.
      if (resized && peerOf<FormWindow>(self) == this) form.nativeResized(widthTwips, heightTwips);
      return 0;
    }
    case WM_CLOSE:
      form_.nativeCloseRequested();
      return 0;
    case WM_NEXTDLGCTL: {
      // Tab in a multi-line edit asks the edit's dialog for the next control. A form is no
      // dialog and DefWindowProc ignores the request, which would keep the keyboard in the box.
      HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS: {
      HWND target = lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) ? lastFocus_ : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
      if (target) SetFocus(target);
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      forEachChild(&ChildPeer::layout);
      InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    }
    case WM_TIMECHANGE:
      timeChanged();
      return 0;
    case WM_SETTINGCHANGE:
      // Not a system parameter (wParam 0): the regional settings ("intl"), the time zone, the
      // environment. A zone's change may come without WM_TIMECHANGE; the alarm aims again.
      if (wParam == 0) timeChanged();
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC) timeChanged();
      return TRUE;
    case kTrayCallbackMessage:
      if (const auto click = trayClick(lParam)) form_.nativeTrayClick(*click);
      return 0;
    default:
      if (msg == backend_.taskbarCreatedMessage()) {
        // Explorer started, again or for the first time since the program did: the icon goes
        // (back) in, and the program hears that there is a notification area.
        if (const auto there = backend_.readdTrayIcon(hwnd_)) form_.nativeTrayChanged(*there);
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK formWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = peerOf<FormWindow>(window);
  // The peer stores its HWND only once CreateWindowExW returns; until then, and after the
  // peer is gone, the window is just a window.
  if (!form || !form->hwnd()) return DefWindowProcW(window, msg, wParam, lParam);
  return form->message(msg, wParam, lParam);
}

std::unique_ptr<FormPeer> Win32Backend::createPeers(Form& form) {
  auto window = std::make_unique<FormWindow>(*this, form);
  const auto& controls = form.controls();
  // Creation order is the Z order, which is the order Tab walks: the tab index decides.
  std::vector<std::size_t> order(controls.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int ta = controls[a]->tabIndex, tb = controls[b]->tabIndex;
    return (ta < 0 ? INT_MAX : ta) < (tb < 0 ? INT_MAX : tb);
  });
  for (std::size_t i : order) {
    Control& c = *controls[i];
    const int id = kFirstChildId + static_cast<int>(i);
    std::unique_ptr<Peer> peer;
    switch (c.kind()) {
      case Kind::Label:
        peer = std::make_unique<LabelPeer>(*window, static_cast<Label&>(c), id);
        break;
      case Kind::TextBox:
        addNameLabel(window->hwnd(), c, instance());
        peer = std::make_unique<TextBoxPeer>(*window, static_cast<TextBox&>(c), id);
        break;
      case Kind::Button:
        peer = std::make_unique<ButtonPeer>(*window, static_cast<Button&>(c), id);
        break;
      case Kind::ProgressBar:
        peer = std::make_unique<ProgressPeer>(*window, static_cast<ProgressBar&>(c), id);
        break;
      case Kind::Timer:
        peer = std::make_unique<Countdown>(*window, static_cast<Timer&>(c), static_cast<UINT_PTR>(i + 1));
        break;
    }
    if (auto* child = dynamic_cast<ChildPeer*>(peer.get())) child->layout();
    c.attachPeer(std::move(peer));
  }
  return window;
}

}  // namespace ui
