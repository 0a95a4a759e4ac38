// Reclume's entry point: everything happens in the program block, which gets the online
// services for its main window from here.
#include <windows.h>

#include "app/program.h"
#include "online/MyPopWinManUnit.h"
#include "online/ServerManageUnit.h"
#include "online/self_update.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  app::MainFormOptions online;
  online.createPopWin = &online::CreatePopWin;
  online.startServerProbe = &online::StartServerProbe;
  online::SetCheckForUpdateHook([](online::TMyPopWin& popWin, online::BrowserView& demoBrowser) {
    online::CheckForUpdate(popWin, demoBrowser);
  });
  return app::RunProgram(::GetCommandLineW(), std::move(online));
}
