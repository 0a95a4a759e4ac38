// The screen camera's global hotkeys: Esc and Shift+Esc (and the main window's configured
// key) stop a recording, Ctrl+Enter confirms the window picker or ends a recording, Pause
// toggles the pause. Every registration is held by a hidden window of the camera whose
// procedure is HotKeyWndProc; the ids are global atoms of the keys' texts, so the default
// keys have the same id in every registration.
//
// The constructor's window holds the defaults for the camera's life. Each RegisterHotKeys
// makes a window for the configured key (the defaults fail there: the first window holds
// them); a window that ends up holding nothing is let go at once.
#include <algorithm>

#include "base/barrier.h"
#include "base/dispatch.h"
#include "engine/ScrCam.h"
#include "engine/ScrCam_hotkeys.h"
#include "engine/scSelObjWnd.h"

namespace ScrCam {

namespace {

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

}  // namespace

ATOM TScreenCamera::AddAtom(const std::wstring& text) {
  const ATOM atom = ::GlobalAddAtomW(text.c_str());
  if (atom) atoms_.push_back(atom);
  return atom;
}

void TScreenCamera::RegisterDefaults(HotKeyWnd& wnd, UINT modifiers, UINT key, const std::wstring& stopKeyText,
                                     bool constructor) {
  hotKeyIds_[kSlotStop1] = AddAtom(L"SHIFT + ESCAPE");
  wnd.Register(hotKeyIds_[kSlotStop1], MOD_SHIFT, VK_ESCAPE);
  if (constructor || Trimmed(stopKeyText).empty()) {
    hotKeyIds_[kSlotStop2] = AddAtom(L"ESCAPE");
    wnd.Register(hotKeyIds_[kSlotStop2], 0, VK_ESCAPE);
  } else {
    hotKeyIds_[kSlotStop1] = AddAtom(stopKeyText);
    wnd.Register(hotKeyIds_[kSlotStop1], modifiers, key);
  }
  hotKeyIds_[kSlotConfirm] = AddAtom(L"CONTROL + RETURN");
  wnd.Register(hotKeyIds_[kSlotConfirm], MOD_CONTROL, VK_RETURN);
  hotKeyIds_[kSlotPause] = AddAtom(L"PAUSE");
  wnd.Register(hotKeyIds_[kSlotPause], 0, VK_PAUSE);
}

void TScreenCamera::CreateFirstHotKeyWindow() {
  auto wnd = std::make_unique<HotKeyWnd>(*this);
  if (!wnd->Create()) return;
  RegisterDefaults(*wnd, 0, VK_ESCAPE, L"", true);
  hotKeyWindows_.push_back(std::move(wnd));
}

void TScreenCamera::ReleaseHotKeys() {
  hotKeyWindows_.clear();
  for (ATOM atom : atoms_) ::GlobalDeleteAtom(atom);
  atoms_.clear();
}

HWND TScreenCamera::HotKeyWindow() const {
  return hotKeyWindows_.empty() ? nullptr : hotKeyWindows_.back()->hwnd();
}

bool TScreenCamera::RegisterHotKeys(UINT modifiers, UINT key, const std::wstring& stopKeyText) {
  return base::Guard(
      "RegisterHotKeys",
      [&] {
    auto wnd = std::make_unique<HotKeyWnd>(*this);
    if (wnd->Create()) {
      RegisterDefaults(*wnd, modifiers, key, stopKeyText, false);
      if (!wnd->Empty()) hotKeyWindows_.push_back(std::move(wnd));
    }
    const bool escape = Trimmed(stopKeyText).empty();
    const UINT stopModifiers = escape ? 0 : modifiers, stopKey = escape ? VK_ESCAPE : key;
    return std::any_of(hotKeyWindows_.begin(), hotKeyWindows_.end(),
                       [&](const auto& w) { return w->Holds(stopModifiers, stopKey); });
      },
      false);
}

void TScreenCamera::UnregisterHotKeys() {
  base::GuardVoid("UnregisterHotKeys", [&] {
    if (!base::IsMainThread()) {
      std::weak_ptr<TScreenCamera*> alive = weakSelf_;
      base::PostToMain([alive] {
        if (auto self = alive.lock()) (*self)->UnregisterHotKeys();
      });
      return;
    }
    if (!host_ || !host_->StopHotKeyRegistered()) return;
    // The constructor's window keeps the defaults for the camera's life.
    if (hotKeyWindows_.size() < 2) return;
    HotKeyWnd& newest = *hotKeyWindows_.back();
    for (int slot = 0; slot < 4; ++slot) newest.Unregister(hotKeyIds_[slot]);
    if (newest.Empty()) hotKeyWindows_.pop_back();
  });
}

LRESULT TScreenCamera::HotKeyWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_HOTKEY) return ::DefWindowProcW(wnd, msg, wp, lp);
  base::GuardVoid("HotKeyWndProc", [&] {
    const auto id = static_cast<ATOM>(wp);
    if (id == hotKeyIds_[kSlotStop1] || id == hotKeyIds_[kSlotStop2]) {
      if (host_ && host_->RecordWithSound())
        StopRecording();
      else if (host_)
        host_->StopRecordingAndRestore();
    }
    if (id == hotKeyIds_[kSlotConfirm]) {
      scSelObjWnd::TSelObjWindow* picker = scSelObjWnd::SelObjWindow;
      if (picker && picker->hwnd() && ::IsWindowVisible(picker->hwnd())) {
        picker->StopTracking();
        const Area area = CaptureArea();
        picker->SetModalResult(area.width != 0 && area.height != 0 ? IDOK : IDCANCEL);
      }
      // A user stop: a recording ended by this key is saved like one ended by a stop key.
      if (Recording) StopRecording();
    }
    if (id == hotKeyIds_[kSlotPause]) {
      if (Paused)
        ResumeRecording();
      else
        PauseRecording();
    }
  });
  return 0;
}

}  // namespace ScrCam
