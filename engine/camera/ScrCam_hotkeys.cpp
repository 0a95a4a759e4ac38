// The screen camera's global hotkeys: Esc and Shift+Esc (and the main window's configured
// key) stop a recording, Ctrl+Enter confirms the window picker or ends a recording, Pause
// toggles the pause. Every registration is held by a hidden window of the camera whose
// procedure is HotKeyWndProc; the ids are global atoms of the keys' texts, so the default
// keys have the same id in every registration.
//
// Global keys are taken from every program while registered: the constructor's window holds
// the defaults only while a recording or a selection runs (or the host's recording, between
// RegisterHotKeys and UnregisterHotKeys), so an Esc pressed anywhere else while nothing records
// reaches its own program. Each RegisterHotKeys makes a window for the configured key (the
// defaults fail there: the first window holds them); a window that ends up holding nothing is
// let go at once.
#include <algorithm>

#include "base/barrier.h"
#include "base/dispatch.h"
#include "engine/camera/ScrCam.h"
#include "engine/camera/ScrCam_hotkeys.h"
#include "engine/overlays/scSelObjWnd.h"

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

void TScreenCamera::RegisterDefaults(HotKeyWnd& wnd, UINT modifiers, UINT key, const std::wstring& stopKeyText) {
  hotKeyIds_[kSlotStop1] = AddAtom(L"SHIFT + ESCAPE");
  wnd.Register(hotKeyIds_[kSlotStop1], MOD_SHIFT, VK_ESCAPE);
  if (Trimmed(stopKeyText).empty()) {
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

namespace {

struct DefaultKey {
  const wchar_t* text;
  UINT modifiers, key;
};
// In slot order.
constexpr DefaultKey kDefaultKeys[4] = {
    {L"SHIFT + ESCAPE", MOD_SHIFT, VK_ESCAPE},
    {L"ESCAPE", 0, VK_ESCAPE},
    {L"CONTROL + RETURN", MOD_CONTROL, VK_RETURN},
    {L"PAUSE", 0, VK_PAUSE},
};

}  // namespace

// The window and the slots' ids are made now; the keys are registered only when needed.
void TScreenCamera::CreateFirstHotKeyWindow() {
  auto wnd = std::make_unique<HotKeyWnd>(*this);
  if (!wnd->Create()) return;
  for (int slot = 0; slot < 4; ++slot) {
    defaultKeyIds_[slot] = AddAtom(kDefaultKeys[slot].text);
    hotKeyIds_[slot] = defaultKeyIds_[slot];
  }
  hotKeyWindows_.push_back(std::move(wnd));
}

void TScreenCamera::UpdateDefaultHotKeys() {
  if (hotKeyWindows_.empty()) return;
  HotKeyWnd& first = *hotKeyWindows_.front();
  // Hotkeys belong to the thread of their window: from any other thread the update is posted.
  if (::GetWindowThreadProcessId(first.hwnd(), nullptr) != ::GetCurrentThreadId()) {
    std::weak_ptr<TScreenCamera*> alive = weakSelf_;
    base::PostToMain([alive] {
      if (auto self = alive.lock()) (*self)->UpdateDefaultHotKeys();
    });
    return;
  }
  const bool needed = Recording || selecting_ || hostKeys_;
  if (needed == defaultKeysHeld_) return;
  defaultKeysHeld_ = needed;
  if (!needed) {
    first.UnregisterAll();
    return;
  }
  // A combination another program holds is not reported (it simply does not reach us).
  for (int slot = 0; slot < 4; ++slot)
    first.Register(defaultKeyIds_[slot], kDefaultKeys[slot].modifiers, kDefaultKeys[slot].key);
}

void TScreenCamera::ReleaseHotKeys() {
  hotKeyWindows_.clear();
  defaultKeysHeld_ = false;
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
    hostKeys_ = true;
    UpdateDefaultHotKeys();
    auto wnd = std::make_unique<HotKeyWnd>(*this);
    if (wnd->Create()) {
      RegisterDefaults(*wnd, modifiers, key, stopKeyText);
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
    // The newest window's keys only while the host's stop key is registered; the
    // constructor's window is never let go.
    if (host_ && host_->StopHotKeyRegistered() && hotKeyWindows_.size() >= 2) {
      HotKeyWnd& newest = *hotKeyWindows_.back();
      for (int slot = 0; slot < 4; ++slot) newest.Unregister(hotKeyIds_[slot]);
      if (newest.Empty()) hotKeyWindows_.pop_back();
    }
    hostKeys_ = false;
    UpdateDefaultHotKeys();
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
