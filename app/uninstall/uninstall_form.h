// TFrmUninstall, the window of the uninstall mode: the only window of a run started with the
// argument "uninstall". Its start button removes the installation and, when everything is
// gone, ends the run through the self-deleting batch; its close button removes nothing.
#pragma once

#include <windows.h>

#include <string>

#include "app/forms/layout.h"
#include "base/flat_button.h"
#include "base/unique.h"
#include "base/window.h"

namespace app {

inline constexpr const wchar_t* kUninstallTitle = L"卸载QIV软件 - 屏幕录像";
inline constexpr int kUninstallClientWidth = 407;
inline constexpr int kUninstallClientHeight = 100;

// What the user is told when the program file exe is running in another process.
std::wstring RunningProgramMessage(const std::wstring& exe);

class TFrmUninstall : public base::Window {
 public:
  explicit TFrmUninstall(bool quitOnDestroy = false) : quitOnDestroy_(quitOnDestroy) {}
  // Creates the window hidden, 50 pixels left of and 30 pixels above the screen's centre.
  bool Create();

  // The uninstall run. While the program file runs in another process nothing is removed and
  // the user is told why. With endProcess false (tests) the batch is not started and the
  // process stays; the result tells whether everything was removed.
  bool BtnStartUnstallClick(bool endProcess = true);

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Label2MouseDown();

  bool quitOnDestroy_;
  DockLayout layout_;
  Panel panel1_;
  base::FlatButton btnStartUnstall_, btnClose_;
  base::UniqueFont linkFont_;
  base::UniqueWindow tooltip_;
};

}  // namespace app
