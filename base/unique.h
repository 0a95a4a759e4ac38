// Owning wrappers for Win32 handles and small guards for paired calls.
//
// Unique<Traits> owns one handle: copying is deleted, moving transfers ownership, and the
// handle is closed exactly once by Traits::Close when the owner goes away or is reset.
// Traits::Invalid() is the "no handle" value (nullptr for most kinds, INVALID_HANDLE_VALUE for
// files and snapshots).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace base {

template <class Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;

  Unique() noexcept : h_(Traits::Invalid()) {}
  explicit Unique(Handle h) noexcept : h_(h) {}
  ~Unique() { reset(); }

  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : h_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }

  // Gives up ownership without closing.
  Handle release() noexcept { return std::exchange(h_, Traits::Invalid()); }

  // Closes the current handle (if any) and takes h.
  void reset(Handle h = Traits::Invalid()) noexcept {
    Handle old = std::exchange(h_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

  // For out-parameters: closes the current handle and returns the slot to fill.
  Handle* put() noexcept {
    reset();
    return &h_;
  }

 private:
  Handle h_;
};

struct KernelHandleTraits {  // events, threads, processes, mutexes, mappings
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile, CreateToolhelp32Snapshot
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFile
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::FindClose(h); }
};
template <class T>
struct GdiObjectTraits {  // bitmaps, brushes, pens, fonts, regions
  using Handle = T;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
struct DcTraits {  // CreateCompatibleDC, CreateDC
  using Handle = HDC;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DeleteDC(h); }
};
struct GlobalTraits {  // GlobalAlloc
  using Handle = HGLOBAL;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::GlobalFree(h); }
};
struct IconTraits {  // CreateIconIndirect, CopyIcon, LoadImage(..., LR_CREATEDIBSECTION)
  using Handle = HICON;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};
struct WindowTraits {  // a window this code created and must destroy
  using Handle = HWND;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::DestroyWindow(h); }
};
struct ModuleTraits {  // LoadLibrary
  using Handle = HMODULE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

using UniqueHandle = Unique<KernelHandleTraits>;
using UniqueFile = Unique<FileHandleTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniquePen = Unique<GdiObjectTraits<HPEN>>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueRegion = Unique<GdiObjectTraits<HRGN>>;
using UniqueDC = Unique<DcTraits>;
using UniqueGlobal = Unique<GlobalTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueWindow = Unique<WindowTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueRegKey = Unique<RegKeyTraits>;

// GetDC / ReleaseDC for a window (nullptr: the whole screen).
class WindowDC {
 public:
  explicit WindowDC(HWND wnd = nullptr) noexcept : wnd_(wnd), dc_(::GetDC(wnd)) {}
  ~WindowDC() {
    if (dc_) ::ReleaseDC(wnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND wnd_;
  HDC dc_;
};

// BeginPaint / EndPaint inside WM_PAINT.
class PaintDC {
 public:
  explicit PaintDC(HWND wnd) noexcept : wnd_(wnd), dc_(::BeginPaint(wnd, &ps_)) {}
  ~PaintDC() { ::EndPaint(wnd_, &ps_); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  HDC get() const noexcept { return dc_; }
  const PAINTSTRUCT& info() const noexcept { return ps_; }

 private:
  HWND wnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back on scope exit.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
  ~SelectGuard() { Restore(); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  // Puts the previous object back now (e.g. so a bitmap can be read with GetDIBits).
  void Restore() noexcept {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    old_ = nullptr;
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// GlobalLock / GlobalUnlock.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL mem) noexcept : mem_(mem), ptr_(mem ? ::GlobalLock(mem) : nullptr) {}
  ~GlobalLockGuard() {
    if (ptr_) ::GlobalUnlock(mem_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  void* get() const noexcept { return ptr_; }
  template <class T>
  T* as() const noexcept { return static_cast<T*>(ptr_); }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

 private:
  HGLOBAL mem_;
  void* ptr_;
};

// CoInitializeEx / CoUninitialize, the latter only if the former succeeded.
class ComInit {
 public:
  explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : ok_(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
  ~ComInit() {
    if (ok_) ::CoUninitialize();
  }
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  bool ok() const noexcept { return ok_; }

 private:
  bool ok_;
};

}  // namespace base
