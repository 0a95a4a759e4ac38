// TFrmUninstall, the window of the uninstall mode: the only window of a run started with the
// argument "uninstall". It ends the run when it is closed.
#pragma once

#include <windows.h>

#include "app/layout.h"
#include "base/window.h"

namespace app {

inline constexpr const wchar_t* kUninstallTitle = L"卸载QIV软件 - 屏幕录像";
inline constexpr int kUninstallClientWidth = 407;
inline constexpr int kUninstallClientHeight = 100;

class TFrmUninstall : public base::Window {
 public:
  explicit TFrmUninstall(bool quitOnDestroy = false) : quitOnDestroy_(quitOnDestroy) {}
  // Creates the window hidden, centred on the screen, with its caption.
  bool Create();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool quitOnDestroy_;
  DockLayout layout_;
  Panel panel1_;
};

}  // namespace app
