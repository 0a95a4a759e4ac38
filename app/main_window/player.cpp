// The embedded media player of the playback tab. A recording is opened as an MCI "avivideo"
// device whose video is drawn straight into the video surface window (MCI_WINDOW with the
// surface's handle), so the surface's size and the device's destination rectangle together
// decide what the user sees: the video at its own size, or stretched for the full-screen view.
//
// MCI rectangles are (left, top, width, height) in MCI_PUT and MCI_WHERE; this unit converts
// them to and from ordinary RECTs at its edge.
#include "app/main_window/player.h"

#include <digitalv.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "base/dispatch.h"
#include "base/files.h"
#include "base/short_names.h"

namespace app {

namespace {

DWORD Send(MCIDEVICEID device, UINT message, DWORD_PTR flags, void* params) noexcept {
  return ::mciSendCommandW(device, message, flags, reinterpret_cast<DWORD_PTR>(params));
}

// A stopped play ends within a frame; the wait for the play thread gives up after this.
constexpr DWORD kPlayThreadJoinMs = 3000;

// NtQueryInformationThread's class for a thread's start address.
constexpr int kThreadQuerySetWin32StartAddress = 9;

std::vector<DWORD> ThreadsOfThisProcess() {
  std::vector<DWORD> ids;
  base::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return ids;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry))
    if (entry.th32OwnerProcessID == self) ids.push_back(entry.th32ThreadID);
  return ids;
}

// The module whose code a thread started in; nullptr when it cannot be told.
HMODULE StartModuleOf(DWORD threadId) {
  using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryThread>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  if (!query) return nullptr;
  base::UniqueHandle thread(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
  if (!thread) return nullptr;
  void* start = nullptr;
  if (query(thread.get(), kThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr) != 0 || !start)
    return nullptr;
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const wchar_t*>(start), &module))
    return nullptr;
  return module;
}

}  // namespace

bool IsAviDevicePlayThread(DWORD threadId) {
  const HMODULE device = ::GetModuleHandleW(kAviDeviceModule);
  return device && StartModuleOf(threadId) == device;
}

MciPlayer::~MciPlayer() { Close(); }

bool MciPlayer::Open(const std::wstring& path, HWND display) {
  Close();
  // The structure takes writable pointers; MCI only reads them.
  std::wstring type = L"avivideo";
  // The device reads the file through the multimedia file functions, which take no path with
  // characters outside ASCII here: such a file is opened by its short name.
  const std::optional<std::wstring> name = base::MultimediaNameForReading(path);
  if (!name) return false;
  std::wstring element = *name;
  MCI_DGV_OPEN_PARMSW open{};
  open.lpstrDeviceType = type.data();
  open.lpstrElementName = element.data();
  // Opened without a window of its own showing: the video goes into display (below), or, with
  // none given, into the device's default window, which stays hidden until played.
  if (Send(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, &open) != 0) return false;
  device_ = open.wDeviceID;
  fileName_ = path;
  if (display) {
    MCI_DGV_WINDOW_PARMSW window{};
    window.hWnd = display;
    if (Send(device_, MCI_WINDOW, MCI_DGV_WINDOW_HWND, &window) != 0) {
      Close();
      return false;
    }
  }
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_FRAMES;
  Send(device_, MCI_SET, MCI_SET_TIME_FORMAT, &set);
  return true;
}

void MciPlayer::Close() noexcept {
  if (device_ == 0) return;
  Stop();
  MCI_GENERIC_PARMS close{};
  Send(device_, MCI_CLOSE, MCI_WAIT, &close);
  device_ = 0;
  fileName_.clear();
}

std::optional<DWORD> MciPlayer::Status(DWORD item) const noexcept {
  if (device_ == 0) return std::nullopt;
  MCI_STATUS_PARMS status{};
  status.dwItem = item;
  if (Send(device_, MCI_STATUS, MCI_STATUS_ITEM, &status) != 0) return std::nullopt;
  return static_cast<DWORD>(status.dwReturn);
}

std::optional<DWORD> MciPlayer::Mode() const noexcept { return Status(MCI_STATUS_MODE); }
std::optional<DWORD> MciPlayer::Position() const noexcept { return Status(MCI_STATUS_POSITION); }
std::optional<DWORD> MciPlayer::Length() const noexcept { return Status(MCI_STATUS_LENGTH); }

bool MciPlayer::IsPlaying() const noexcept { return Mode() == MCI_MODE_PLAY; }

void MciPlayer::JoinPlayThread() noexcept {
  if (!playThread_) return;
  // Only messages sent from other threads are handled meanwhile (the play thread shows and
  // paints the display window, which belongs to this thread); posted messages stay queued, so
  // no handler runs in the middle of a stop.
  base::WaitPumping(playThread_.get(), kPlayThreadJoinMs, base::Pump::SentOnly);
  playThread_.reset();
  playThreadId_ = 0;
}

bool MciPlayer::Play() noexcept {
  if (device_ == 0) return false;
  if (Mode() == MCI_MODE_PLAY) return true;
  // A pause has ended the previous play; its thread is gone or about to be.
  JoinPlayThread();
  // A device stopped at its last frame would play nothing: a second play starts over.
  const auto position = Position();
  const auto length = Length();
  if (Mode() != MCI_MODE_PLAY && position && length && *length > 0 && *position + 1 >= *length) {
    MCI_SEEK_PARMS seek{};
    Send(device_, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, &seek);
  }
  // The device's play thread is the thread that appeared during the play command and started
  // in the device's own code; a thread of ours started at the same moment is no such thread.
  const std::vector<DWORD> before = ThreadsOfThisProcess();
  MCI_DGV_PLAY_PARMS play{};
  if (Send(device_, MCI_PLAY, 0, &play) != 0) return false;
  for (DWORD threadId : ThreadsOfThisProcess()) {
    if (std::find(before.begin(), before.end(), threadId) != before.end()) continue;
    if (!IsAviDevicePlayThread(threadId)) continue;
    playThread_.reset(::OpenThread(SYNCHRONIZE, FALSE, threadId));
    playThreadId_ = playThread_ ? threadId : 0;
    break;
  }
  return true;
}

bool MciPlayer::Pause() noexcept {
  if (device_ == 0) return false;
  MCI_GENERIC_PARMS pause{};
  return Send(device_, MCI_PAUSE, MCI_WAIT, &pause) == 0;
}

bool MciPlayer::Stop() noexcept {
  if (device_ == 0) return false;
  MCI_GENERIC_PARMS stop{};
  const bool stopped = Send(device_, MCI_STOP, MCI_WAIT, &stop) == 0;
  JoinPlayThread();
  return stopped;
}

std::optional<RECT> MciPlayer::DisplayRect() const noexcept {
  if (device_ == 0) return std::nullopt;
  MCI_DGV_RECT_PARMS where{};
  if (Send(device_, MCI_WHERE, MCI_DGV_WHERE_DESTINATION, &where) != 0) return std::nullopt;
  const RECT& r = where.rc;
  return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

bool MciPlayer::SetDisplayRect(const RECT& r) noexcept {
  if (device_ == 0) return false;
  MCI_DGV_RECT_PARMS put{};
  put.rc = RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
  return Send(device_, MCI_PUT, MCI_DGV_RECT | MCI_DGV_PUT_DESTINATION, &put) == 0;
}

// --- Playback ---

void Playback::Attach(HWND surface, HWND area) noexcept {
  surface_ = surface;
  area_ = area;
}

bool Playback::PlayFile(const std::wstring& path) {
  if (!base::FileExists(path)) return false;
  if (player_.IsPlaying()) player_.Stop();
  // Always a fresh device: the previous recording is released before the next one is opened.
  player_.Close();
  if (!player_.Open(path, surface_)) return false;
  // Right after opening, the destination is the recording's own frame size.
  const auto shown = player_.DisplayRect();
  videoSize_ = shown ? SIZE{shown->right - shown->left, shown->bottom - shown->top} : SIZE{};
  PlaceSurface(videoSize_.cx, videoSize_.cy);
  ShowVideoOverSurface();
  return player_.Play();
}

void Playback::ClosePlayer() noexcept {
  if (!player_.IsOpen()) return;
  // The device is closed even when it refused to stop: it would keep the file locked.
  player_.Stop();
  player_.Close();
}

void Playback::ReleasePlayer() noexcept {
  if (player_.IsPlaying()) player_.Stop();
  player_.Close();
}

void Playback::SetStretched(bool on) noexcept {
  RECT area{};
  if (on && area_ && ::GetClientRect(area_, &area))
    PlaceSurface(area.right - area.left, area.bottom - area.top);
  else
    PlaceSurface(videoSize_.cx, videoSize_.cy);
  ShowVideoOverSurface();
}

void Playback::PlaceSurface(int width, int height) noexcept {
  if (surface_)
    ::SetWindowPos(surface_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Playback::ShowVideoOverSurface() noexcept {
  RECT client{};
  if (surface_ && ::GetClientRect(surface_, &client)) player_.SetDisplayRect(client);
  if (surface_) ::InvalidateRect(surface_, nullptr, FALSE);
}

}  // namespace app
