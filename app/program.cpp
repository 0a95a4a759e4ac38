// The program block: sets the product's identity, creates the uninstall window or the main
// window as the run's main form, and runs the message loop on the main thread until that
// window has been destroyed.
#include "app/program.h"

#include <windows.h>
#include <ole2.h>

#include "app/texts/allparam.h"
#include "app/main_window/main_form.h"
#include "app/running_copy.h"
#include "app/uninstall/uninstall_form.h"
#include "base/barrier.h"
#include "base/command_line.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/seams.h"

namespace app {

namespace {

const wchar_t kAlreadyRunning[] = L"屏幕录像已经在运行，但它的窗口没有出现。";

}  // namespace

std::wstring FirstArgument(const wchar_t* commandLine) { return base::FirstArgument(commandLine); }

bool IsUninstallMode(const wchar_t* commandLine) { return FirstArgument(commandLine) == L"uninstall"; }

void SetProgramIdentity(bool uninstallMode) {
  ProductName = kApplicationTitle;
  ProductCode = L"QIVKV";
  if (!uninstallMode) SoftVersion = 3.6f;
}

int RunProgram(const wchar_t* commandLine, MainFormOptions online) {
  return base::Guard("program block", [&]() -> int {
    // The web panels host the system's browser control, which needs OLE on this thread; it
    // ends after the windows, which close their browsers while they are destroyed.
    struct Ole {
      const bool started = SUCCEEDED(::OleInitialize(nullptr));
      ~Ole() {
        if (started) ::OleUninitialize();
      }
    } ole;
    base::StartMainDispatcher();
    int code = 0;
    const bool uninstallMode = IsUninstallMode(commandLine);
    SetProgramIdentity(uninstallMode);
    if (uninstallMode) {
      // Neither the main window nor the version nor the settings file: only this window.
      TFrmUninstall uninstall(true);
      if (!uninstall.Create()) return 1;
      ::ShowWindow(uninstall.hwnd(), SW_SHOWNORMAL);
      ::SetForegroundWindow(uninstall.hwnd());
      code = base::RunMessageLoop();
    } else {
      // A second start of this program file brings the running copy forward and ends: two
      // copies of one installation would share its settings file and recording folder.
      RunningCopy copy(base::ProgramPath());
      if (!copy.First()) {
        if (!copy.BringRunningCopyForward())
          base::ShowMessage(nullptr, kAlreadyRunning, kApplicationTitle, MB_OK | MB_ICONINFORMATION);
        base::StopMainDispatcher();
        return 0;
      }
      MainFormOptions options = std::move(online);
      options.quitOnDestroy = true;
      TFrmMain main(options);
      FrmMain = &main;
      if (!main.Create()) return 1;
      main.Show();
      copy.Publish(main.hwnd());
      code = base::RunMessageLoop();
      FrmMain = nullptr;
    }
    base::StopMainDispatcher();
    return code;
  }, 1);
}

}  // namespace app
