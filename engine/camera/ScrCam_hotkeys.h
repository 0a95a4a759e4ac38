// The hidden window that holds some of the screen camera's hotkey registrations and hands
// their messages to the camera's HotKeyWndProc. Main thread only.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/window.h"
#include "engine/camera/ScrCam.h"

namespace ScrCam {

class TScreenCamera::HotKeyWnd : public base::Window {
 public:
  explicit HotKeyWnd(TScreenCamera& camera) : camera_(camera) {}
  ~HotKeyWnd() override { UnregisterAll(); }

  bool Create() {
    base::WindowClass cls;
    cls.name = L"ReclumeCameraHotKeys";
    base::WindowSpec spec;
    spec.style = 0;
    spec.parent = HWND_MESSAGE;
    spec.x = spec.y = spec.width = spec.height = 0;
    return base::Window::Create(cls, spec);
  }
  bool Register(int id, UINT modifiers, UINT key) {
    if (!hwnd() || !::RegisterHotKey(hwnd(), id, modifiers, key)) return false;
    held_.push_back({id, modifiers, key});
    return true;
  }
  bool Holds(UINT modifiers, UINT key) const {
    return std::any_of(held_.begin(), held_.end(),
                       [&](const Held& h) { return h.modifiers == modifiers && h.key == key; });
  }
  bool Empty() const { return held_.empty(); }
  void Unregister(int id) {
    for (auto it = held_.begin(); it != held_.end();) {
      if (it->id == id) {
        ::UnregisterHotKey(hwnd(), id);
        it = held_.erase(it);
      } else {
        ++it;
      }
    }
  }
  void UnregisterAll() {
    for (const Held& h : held_) ::UnregisterHotKey(hwnd(), h.id);
    held_.clear();
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override { return camera_.HotKeyWndProc(hwnd(), msg, wp, lp); }

 private:
  struct Held {
    int id;
    UINT modifiers, key;
  };
  TScreenCamera& camera_;
  std::vector<Held> held_;
};

}  // namespace ScrCam
