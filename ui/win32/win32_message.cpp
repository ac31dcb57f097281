// The report of a failed action, as a modeless window of the program's own. A MessageBox is
// modal: it would disable the main window, and with it "Stop/Reset", until it is closed. This
// one reads like a message box (the warning icon, the text, "OK", Enter and Esc close it) but
// leaves every other window usable, and there is only ever one: a new report replaces the
// text of the open one and brings it to the front.
#include "ui/win32/win32_backend.h"

#include <algorithm>
#include <string>

namespace ui {

namespace {

constexpr int kIconId = 100;
constexpr int kTextId = 101;
// The window the report is about, which it is placed beside. Not its owner: a window manager
// (under Wine) centres an owned window over its owner, right over "Stop/Reset".
constexpr const wchar_t* kAnchor = L"TolloraMessageAnchor";
// Where place() put the one report window, and whether a move is the window manager's
// placement, not the user's (kPlaceMessage).
POINT placedAt{};
bool placing = false;

int scaled(HWND window, int px96) { return MulDiv(px96, static_cast<int>(GetDpiForWindow(window)), 96); }

// The message font of the system, as message boxes use it, for the window's DPI.
HFONT messageFont(HWND window) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, GetDpiForWindow(window)))
    return nullptr;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

void place(HWND dialog, int width, int height);

// Sizes the window to its text, as a message box is.
void layout(HWND dialog) {
  HWND text = GetDlgItem(dialog, kTextId);
  const int margin = scaled(dialog, 12), iconSize = GetSystemMetrics(SM_CXICON);
  const int buttonWidth = scaled(dialog, 88), buttonHeight = scaled(dialog, 26);

  const int length = GetWindowTextLengthW(text);
  std::wstring words(static_cast<std::size_t>(length) + 1, L'\0');
  GetWindowTextW(text, words.data(), length + 1);
  RECT area{0, 0, scaled(dialog, 420), 0};
  HDC dc = GetDC(text);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
  DrawTextW(dc, words.c_str(), length, &area, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(text, dc);

  const int textLeft = margin + iconSize + margin;
  const int textHeight = std::max<int>(area.bottom, iconSize);
  const int width = std::max<int>(textLeft + area.right + margin, buttonWidth + 2 * margin);
  const int height = margin + textHeight + margin + buttonHeight + margin;
  SetWindowPos(GetDlgItem(dialog, kIconId), nullptr, margin, margin, iconSize, iconSize, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(text, nullptr, textLeft, margin, area.right, textHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(GetDlgItem(dialog, IDOK), nullptr, width - margin - buttonWidth, height - margin - buttonHeight, buttonWidth,
               buttonHeight, SWP_NOZORDER | SWP_NOACTIVATE);

  RECT frame{0, 0, width, height};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)), GetDpiForWindow(dialog));
  place(dialog, frame.right - frame.left, frame.bottom - frame.top);
}

// Beside the window it reports on, not over it: below, above, right or left, whichever fits
// on that window's monitor, so "Stop/Reset" stays in reach; centred on the monitor when none
// does.
void place(HWND dialog, int width, int height) {
  HWND owner = static_cast<HWND>(GetPropW(dialog, kAnchor));
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT work = monitor.rcWork;
  int x = (work.left + work.right - width) / 2, y = (work.top + work.bottom - height) / 2;
  RECT o;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &o)) {
    const int gap = scaled(dialog, 8);
    const int midX = (o.left + o.right - width) / 2, midY = (o.top + o.bottom - height) / 2;
    const POINT candidates[] = {{midX, o.bottom + gap}, {midX, o.top - gap - height}, {o.right + gap, midY}, {o.left - gap - width, midY}};
    for (const POINT& c : candidates) {
      const int cx = std::clamp<int>(c.x, work.left, std::max<int>(work.left, work.right - width));
      const int cy = std::clamp<int>(c.y, work.top, std::max<int>(work.top, work.bottom - height));
      const RECT at{cx, cy, cx + width, cy + height};
      RECT overlap;
      if (at.right <= work.right && at.bottom <= work.bottom && !IntersectRect(&overlap, &at, &o)) {
        x = cx;
        y = cy;
        break;
      }
    }
  }
  placedAt = {x, y};
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK messageProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      // Where the backend keeps this window's handle: cleared when the window goes.
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
      HFONT font = messageFont(dialog);
      SetPropW(dialog, L"TolloraMessageFont", font);
      HWND icon = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, 0, 0, 0, 0, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIconId)), instance, nullptr);
      SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
      HWND text = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
      HWND ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0,
                                dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
      for (HWND child : {text, ok}) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SetFocus(ok);
      return FALSE;  // the focus is set
    }
    case WM_MOVE: {
      RECT r;
      if (placing && GetWindowRect(dialog, &r) && (r.left != placedAt.x || r.top != placedAt.y))
        PostMessageW(dialog, kPlaceMessage, 0, 0);
      return FALSE;
    }
    case kPlaceMessage:
      SetWindowPos(dialog, nullptr, placedAt.x, placedAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    case WM_TIMER:
      if (wParam != kPlacementTimer) return FALSE;
      KillTimer(dialog, kPlacementTimer);
      placing = false;
      return TRUE;
    case WM_ENTERSIZEMOVE:  // the user's own drag
      placing = false;
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      if (HANDLE font = RemovePropW(dialog, L"TolloraMessageFont")) DeleteObject(font);
      RemovePropW(dialog, kAnchor);
      if (auto* slot = reinterpret_cast<HWND*>(GetWindowLongPtrW(dialog, DWLP_USER)); slot && *slot == dialog) *slot = nullptr;
      return TRUE;
    default:
      return FALSE;
  }
}

// An empty dialog: the controls are made in WM_INITDIALOG, the size follows the text.
HWND createMessageWindow(HINSTANCE instance, HWND* slot) {
  struct alignas(4) Template {
    DLGTEMPLATE head;
    WORD menu = 0, windowClass = 0, title = 0;
  } dialog{};
  dialog.head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG;
  dialog.head.dwExtendedStyle = WS_EX_DLGMODALFRAME;
  return CreateDialogIndirectParamW(instance, &dialog.head, nullptr, messageProc, reinterpret_cast<LPARAM>(slot));
}

}  // namespace

void Win32Backend::reportError(const std::u16string& title, const std::u16string& message) {
  if (!message_) message_ = createMessageWindow(instance_, &message_);
  if (!message_) return;
  // Beside the active window of ours, else the first form's.
  HWND anchor = GetActiveWindow();
  if ((!anchor || anchor == message_) && !app().forms().empty()) anchor = reinterpret_cast<HWND>(app().forms().front()->hWnd());
  SetPropW(message_, kAnchor, anchor);
  SetWindowTextW(message_, wide(title));
  SetDlgItemTextW(message_, kTextId, wide(message));
  layout(message_);
  MessageBeep(MB_ICONWARNING);
  if (!IsWindowVisible(message_)) {
    placing = true;
    SetTimer(message_, kPlacementTimer, kPlacementMs, nullptr);
  }
  ShowWindow(message_, SW_SHOWNORMAL);
  SetForegroundWindow(message_);
}

}  // namespace ui
