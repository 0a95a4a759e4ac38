// The version check and the self-update: CheckForUpdate reads the newest version from the
// first completed demonstration page; when it is newer, StartSelfUpdate tells the user with a
// balloon and starts a SelfUpdater, whose worker thread downloads the new setup program
// (verified: see verified_download.h), moves the running program file aside and starts the
// setup with the program's folder, which writes the new program file there. The exit clean-up
// (run by the main window as it is destroyed) puts things right whatever stage was reached.
//
// The worker's stage is one atomic: downloading, handing over, done, or cancelled by the exit
// clean-up. A worker that is still downloading stops at its next read and never touches the
// program file; a hand-over in progress is waited for, so the folder is never left without its
// program. The worker creates no window: its balloon is posted to the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "online/browser_view.h"
#include "online/verified_download.h"

namespace online {

class TMyPopWin;

// The version the last demonstration page announced; 0 before any, and after a page whose
// version did not parse (every check reads its page afresh). Main thread.
extern float DemoPageVersion;

// The version check proper: reads the lower-cased body of browser (nothing without an address,
// a document or a body), stores its version in DemoPageVersion and answers whether it is newer
// than current.
bool DemoPageIsNewer(BrowserView& browser, float current);

// The check run on the first completed demonstration document: DemoPageIsNewer, then start
// (StartSelfUpdate unless a test gives another). Main thread; always false, as nobody reads it.
bool CheckForUpdate(TMyPopWin& popWin, BrowserView& browser,
                    const std::function<void(TMyPopWin&)>& start = nullptr);

// The balloon "QIV软件2011更新中" at the main window's size, then a SelfUpdater on the real
// platform for the panel's file names. A program file not named "Reclume.exe" does not update
// itself (the setup writes that name only, so the update would come again at every start);
// only one update runs per run. Main thread.
void StartSelfUpdate(TMyPopWin& popWin);

// The files of one self-update.
struct SelfUpdatePaths {
  std::wstring exeFileName;    // the program's full path
  std::wstring tempExeName;    // where it moves aside: its folder + "qivupdatetmp.exe"
  std::wstring setupFileName;  // the downloaded setup: the folder + "setupKV.exe"
  std::wstring url;            // the setup's address
};

enum class UpdateStage : int { Downloading, HandingOver, Done, Cancelled };

class SelfUpdater {
 public:
  struct Seams {
    // Fetches url into file (verified); the production one is DownloadSetup.
    std::function<DownloadResult(const std::wstring& url, const std::wstring& file, const DownloadProgress& progress)>
        download;
    // Starts the setup with its argument; true when it started. The production one is LaunchSetup.
    std::function<bool(const std::wstring& file, const std::wstring& parameters)> launch;
    // "软件已更新..." once the setup has started; run on the main thread.
    std::function<void()> updatedBalloon;
  };

  SelfUpdater(SelfUpdatePaths paths, Seams seams);
  SelfUpdater(const SelfUpdater&) = delete;
  SelfUpdater& operator=(const SelfUpdater&) = delete;

  // Starts the worker (SelfUpdateThread) on a thread nobody waits for; it keeps the updater
  // alive until it ends. False when no thread could be made.
  static bool Start(const std::shared_ptr<SelfUpdater>& updater);

  // The worker's body: download, then the hand-over. Runs on the worker thread.
  void SelfUpdateThread();

  // Main thread, at exit: a worker still downloading is cancelled; one handing over is waited
  // for (messages served) for up to waitMs.
  void CancelForExit(DWORD waitMs);

  UpdateStage Stage() const { return stage_.load(std::memory_order_acquire); }
  // True once the worker's body has returned; what the download gave.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  DownloadResult LastDownload() const { return lastDownload_.load(std::memory_order_acquire); }
  const SelfUpdatePaths& Paths() const { return paths_; }

 private:
  void HandOver();

  const SelfUpdatePaths paths_;
  const Seams seams_;
  std::atomic<UpdateStage> stage_{UpdateStage::Downloading};
  std::atomic<bool> finished_{false};
  std::atomic<DownloadResult> lastDownload_{DownloadResult::Cancelled};
};

// The exit clean-up, in order: the worker (if any) is stopped or waited for; a missing program
// file gets the moved one back; the moved program file, the setup and its ".part" are deleted
// where possible (the next start removes what is left). Main thread.
void UpdateExitCleanUp(const SelfUpdatePaths& paths, SelfUpdater* worker);

// The updater StartSelfUpdate made in this run, or nullptr.
SelfUpdater* CurrentSelfUpdater();

// The production seams: DownloadVerified with the compiled-in key; ShellExecuteExW with the
// verb "open", the parameters and SW_SHOW (false when it did not start, a refused elevation
// included).
DownloadResult DownloadSetup(const std::wstring& url, const std::wstring& file, const DownloadProgress& progress);
bool LaunchSetup(const std::wstring& file, const std::wstring& parameters);

}  // namespace online
