#include "ui/win32/win32_access.h"

#include <initguid.h>
#include <oleacc.h>

namespace ui {

namespace {

// Clear of the controls' ids (from 100) and of IDOK/IDCANCEL.
constexpr int kAnnouncerId = 99;

// The visible static text of `window` that shows `text`, if any.
HWND labelShowing(HWND window, const std::u16string& text) {
  for (HWND w = GetWindow(window, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    wchar_t name[16];
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) || !GetClassNameW(w, name, 16) || _wcsicmp(name, L"Static") != 0) continue;
    const int n = GetWindowTextLengthW(w);
    std::wstring caption(static_cast<std::size_t>(n) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(GetWindowTextW(w, caption.data(), n + 1)));
    if (fromWide(caption.data(), caption.size()) == text) return w;
  }
  return nullptr;
}

}  // namespace

void addNameLabel(HWND form, const Control& control, HINSTANCE instance) {
  if (control.kind() != Kind::TextBox || control.accessibleName.empty()) return;
  // Not visible, so it is neither drawn nor read on its own; it only names the box after it.
  CreateWindowExW(0, L"STATIC", wide(control.accessibleName), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, form, nullptr, instance,
                  nullptr);
}

void describe(HWND control, const std::u16string& description) {
  IAccPropServices* services = nullptr;
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                              reinterpret_cast<void**>(&services))))
    return;
  std::u16string text = description;  // the call takes a writable string
  services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                           reinterpret_cast<LPWSTR>(text.data()));
  services->Release();
}

void announce(const std::u16string& text, HINSTANCE instance) {
  const Form* form = app().mainForm();
  if (!form) return;
  HWND main = reinterpret_cast<HWND>(form->hWnd());
  // Pointing at what is on show leaves no second copy of the text for a reader to find later.
  if (HWND label = labelShowing(main, text)) {
    NotifyWinEvent(EVENT_SYSTEM_ALERT, label, OBJID_CLIENT, CHILDID_SELF);
    return;
  }
  HWND speaker = GetDlgItem(main, kAnnouncerId);
  if (speaker) {
    SetWindowTextW(speaker, wide(text));
  } else {
    speaker = CreateWindowExW(0, L"STATIC", wide(text), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0, main,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAnnouncerId)), instance, nullptr);
  }
  if (speaker) NotifyWinEvent(EVENT_SYSTEM_ALERT, speaker, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace ui
