// The version check and the self-update (see self_update.h).
#include "online/self_update.h"

#include <shellapi.h>

#include "app/texts/allparam.h"
#include "base/balloon.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/ombrix_reg.h"
#include "online/MyPopWinManUnit.h"
#include "online/QIVUpdateUnit.h"
#include "online/text_case.h"
#include "online/version_check.h"

namespace online {

float DemoPageVersion = 0.0f;

namespace {

// The updater of this run; it lives as long as the process (its worker may outlive the window).
std::shared_ptr<SelfUpdater> gSelfUpdater;

constexpr DWORD kHandOverWaitMs = 5000;

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The balloons stand at (main form's width - 100, height - 30), as the size is then.
void ShowUpdateBalloon(HWND mainWnd, const wchar_t* title, const wchar_t* text) {
  RECT r{};
  HWND root = mainWnd ? ::GetAncestor(mainWnd, GA_ROOT) : nullptr;
  if (root) ::GetWindowRect(root, &r);
  base::ShowBalloon(r.right - r.left - 100, r.bottom - r.top - 30, title, text, 0, 10, base::kTailBottomRight);
}

// The worker's entry: parameter is a shared_ptr made with new, which the thread owns.
DWORD WINAPI SelfUpdateEntry(void* parameter) {
  std::unique_ptr<std::shared_ptr<SelfUpdater>> self(static_cast<std::shared_ptr<SelfUpdater>*>(parameter));
  (*self)->SelfUpdateThread();
  return 0;
}

}  // namespace

bool DemoPageIsNewer(BrowserView& browser, float current) {
  const std::wstring body = LowerBodyOf(browser);
  if (body.empty()) return false;
  DemoPageVersion = ExtractDemoVersion(body).value_or(0.0f);
  return IsNewerVersion(DemoPageVersion, current);
}

bool CheckForUpdate(TMyPopWin& popWin, BrowserView& browser, const std::function<void(TMyPopWin&)>& start) {
  base::GuardVoid("TMyPopWin.CheckForUpdate", [&] {
    if (!DemoPageIsNewer(browser, popWin.CurVersion)) return;
    if (start)
      start(popWin);
    else
      StartSelfUpdate(popWin);
  });
  return false;
}

void StartSelfUpdate(TMyPopWin& popWin) {
  base::GuardVoid("StartSelfUpdate", [&] {
    if (LowerCase(base::FileNameOf(popWin.ExeFileName)) != LowerCase(base::kInstalledExeName)) return;
    if (gSelfUpdater) return;
    const HWND mainWnd = popWin.MainWnd;
    ShowUpdateBalloon(mainWnd, L"QIV软件2011更新中", L"发现更新版本，软件正在更新中....");
    SelfUpdatePaths paths{popWin.ExeFileName, popWin.TempExeName, popWin.SetupFileName,
                          app::ServerBaseUrl() + popWin.UpdateUrlPath};
    SelfUpdater::Seams seams{&DownloadSetup, &LaunchSetup, [mainWnd] {
                               if (::IsWindow(mainWnd))
                                 ShowUpdateBalloon(mainWnd, L"QIV软件2011", L"软件已更新，下次启动时自动更新为最新版本");
                             }};
    gSelfUpdater = std::make_shared<SelfUpdater>(std::move(paths), std::move(seams));
    SelfUpdater::Start(gSelfUpdater);
  });
}

SelfUpdater* CurrentSelfUpdater() { return gSelfUpdater.get(); }

SelfUpdater::SelfUpdater(SelfUpdatePaths paths, Seams seams) : paths_(std::move(paths)), seams_(std::move(seams)) {}

bool SelfUpdater::Start(const std::shared_ptr<SelfUpdater>& updater) {
  auto* keep = new std::shared_ptr<SelfUpdater>(updater);
  const HANDLE thread = ::CreateThread(nullptr, 0, &SelfUpdateEntry, keep, 0, nullptr);
  if (!thread) {
    delete keep;
    return false;
  }
  ::CloseHandle(thread);  // nobody waits for it
  return true;
}

void SelfUpdater::SelfUpdateThread() {
  base::GuardVoid("SelfUpdateThread", [&] {
    DownloadResult result = DownloadResult::Cancelled;
    if (Stage() == UpdateStage::Downloading && seams_.download)
      result = seams_.download(paths_.url, paths_.setupFileName,
                               [this](uint64_t, uint64_t) { return Stage() == UpdateStage::Downloading; });
    lastDownload_.store(result, std::memory_order_release);
    UpdateStage expected = UpdateStage::Downloading;
    if (result != DownloadResult::Ok) {
      stage_.compare_exchange_strong(expected, UpdateStage::Done, std::memory_order_acq_rel);
      return;
    }
    if (!stage_.compare_exchange_strong(expected, UpdateStage::HandingOver, std::memory_order_acq_rel)) {
      // The program is ending: the setup it no longer wants goes.
      ::DeleteFileW(paths_.setupFileName.c_str());
      return;
    }
    HandOver();
  });
  // A failure inside the hand-over still ends it, so an exit never waits in vain.
  UpdateStage expected = UpdateStage::HandingOver;
  stage_.compare_exchange_strong(expected, UpdateStage::Done, std::memory_order_acq_rel);
  finished_.store(true, std::memory_order_release);
}

void SelfUpdater::HandOver() {
  // Verified; now the program file moves aside and the setup starts at once. A failed rename
  // starts nothing; a setup that does not start gets the program file back at once.
  if (!::MoveFileW(paths_.exeFileName.c_str(), paths_.tempExeName.c_str())) {
    ::DeleteFileW(paths_.setupFileName.c_str());
    return;
  }
  const bool started = seams_.launch && seams_.launch(paths_.setupFileName, SetupFolderArgument(paths_.exeFileName));
  if (!started) {
    ::MoveFileW(paths_.tempExeName.c_str(), paths_.exeFileName.c_str());
    ::DeleteFileW(paths_.setupFileName.c_str());
    return;
  }
  if (seams_.updatedBalloon) base::PostToMain(seams_.updatedBalloon);
}

void SelfUpdater::CancelForExit(DWORD waitMs) {
  UpdateStage expected = UpdateStage::Downloading;
  if (stage_.compare_exchange_strong(expected, UpdateStage::Cancelled, std::memory_order_acq_rel)) return;
  if (expected == UpdateStage::HandingOver)
    base::PumpUntil([this] { return Stage() != UpdateStage::HandingOver; }, waitMs);
}

void UpdateExitCleanUp(const SelfUpdatePaths& paths, SelfUpdater* worker) {
  if (worker) worker->CancelForExit(kHandOverWaitMs);
  if (paths.exeFileName.empty() || paths.tempExeName.empty()) return;
  // The program file moved aside and no new one took its place: it comes back.
  if (!Exists(paths.exeFileName) && Exists(paths.tempExeName))
    ::MoveFileW(paths.tempExeName.c_str(), paths.exeFileName.c_str());
  // Full paths: the process snapshot names images by file name, so nothing is stopped here;
  // the running program's own moved file cannot go while it runs, and the next start removes it.
  for (const std::wstring& leftover : {paths.tempExeName, paths.setupFileName}) {
    if (leftover.empty() || !Exists(leftover)) continue;
    KillProcessByName(leftover);
    ::DeleteFileW(leftover.c_str());
  }
  if (!paths.setupFileName.empty()) ::DeleteFileW((paths.setupFileName + L".part").c_str());
}

DownloadResult DownloadSetup(const std::wstring& url, const std::wstring& file, const DownloadProgress& progress) {
  return DownloadVerified(url, file, CompiledUpdateKey(), progress);
}

bool LaunchSetup(const std::wstring& file, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  return ::ShellExecuteExW(&info) != FALSE;
}

}  // namespace online
