// Object counters through the executable's import table (see object_counters.h). Each
// wrapper counts, then calls the entry the table held before; the table is written back on
// destruction.
#include "tests/support/object_counters.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace testsupport {
namespace {

std::atomic<long> gDcs{0}, gGdi{0}, gGlobals{0}, gEvents{0}, gHeap{0}, gGdiReleased{0};

// One patched import: where its slot is, what it held, what it holds now.
struct Hook {
  const char* dll;
  const char* name;
  void* wrapper;
  void** original;  // where the wrapper finds the real function
  void** slot = nullptr;
};

// Originals, filled when the table is patched.
HDC(WINAPI* oCreateCompatibleDC)(HDC);
HDC(WINAPI* oCreateDCW)(LPCWSTR, LPCWSTR, LPCWSTR, const DEVMODEW*);
HDC(WINAPI* oGetDC)(HWND);
HDC(WINAPI* oGetDCEx)(HWND, HRGN, DWORD);
HDC(WINAPI* oGetWindowDC)(HWND);
HBITMAP(WINAPI* oCreateCompatibleBitmap)(HDC, int, int);
HBITMAP(WINAPI* oCreateDIBSection)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD);
HBITMAP(WINAPI* oCreateBitmap)(int, int, UINT, UINT, const void*);
HBRUSH(WINAPI* oCreateSolidBrush)(COLORREF);
HPEN(WINAPI* oCreatePen)(int, int, COLORREF);
HRGN(WINAPI* oCreateRectRgn)(int, int, int, int);
HGLOBAL(WINAPI* oGlobalAlloc)(UINT, SIZE_T);
HANDLE(WINAPI* oCreateEventW)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCWSTR);
HANDLE(WINAPI* oCreateEventA)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
BOOL(WINAPI* oDeleteDC)(HDC);
int(WINAPI* oReleaseDC)(HWND, HDC);
BOOL(WINAPI* oDeleteObject)(HGDIOBJ);
void*(__cdecl* oMalloc)(size_t);
void*(__cdecl* oCalloc)(size_t, size_t);
void*(__cdecl* oRealloc)(void*, size_t);

HDC WINAPI wCreateCompatibleDC(HDC dc) { ++gDcs; return oCreateCompatibleDC(dc); }
HDC WINAPI wCreateDCW(LPCWSTR a, LPCWSTR b, LPCWSTR c, const DEVMODEW* d) { ++gDcs; return oCreateDCW(a, b, c, d); }
HDC WINAPI wGetDC(HWND w) { ++gDcs; return oGetDC(w); }
HDC WINAPI wGetDCEx(HWND w, HRGN r, DWORD f) { ++gDcs; return oGetDCEx(w, r, f); }
HDC WINAPI wGetWindowDC(HWND w) { ++gDcs; return oGetWindowDC(w); }
HBITMAP WINAPI wCreateCompatibleBitmap(HDC dc, int w, int h) { ++gGdi; return oCreateCompatibleBitmap(dc, w, h); }
HBITMAP WINAPI wCreateDIBSection(HDC dc, const BITMAPINFO* i, UINT u, void** b, HANDLE s, DWORD o) {
  ++gGdi;
  return oCreateDIBSection(dc, i, u, b, s, o);
}
HBITMAP WINAPI wCreateBitmap(int w, int h, UINT p, UINT b, const void* bits) { ++gGdi; return oCreateBitmap(w, h, p, b, bits); }
HBRUSH WINAPI wCreateSolidBrush(COLORREF c) { ++gGdi; return oCreateSolidBrush(c); }
HPEN WINAPI wCreatePen(int s, int w, COLORREF c) { ++gGdi; return oCreatePen(s, w, c); }
HRGN WINAPI wCreateRectRgn(int l, int t, int r, int b) { ++gGdi; return oCreateRectRgn(l, t, r, b); }
HGLOBAL WINAPI wGlobalAlloc(UINT f, SIZE_T n) { ++gGlobals; return oGlobalAlloc(f, n); }
HANDLE WINAPI wCreateEventW(LPSECURITY_ATTRIBUTES a, BOOL m, BOOL s, LPCWSTR n) { ++gEvents; return oCreateEventW(a, m, s, n); }
HANDLE WINAPI wCreateEventA(LPSECURITY_ATTRIBUTES a, BOOL m, BOOL s, LPCSTR n) { ++gEvents; return oCreateEventA(a, m, s, n); }
BOOL WINAPI wDeleteDC(HDC dc) { ++gGdiReleased; return oDeleteDC(dc); }
int WINAPI wReleaseDC(HWND w, HDC dc) { ++gGdiReleased; return oReleaseDC(w, dc); }
BOOL WINAPI wDeleteObject(HGDIOBJ o) { ++gGdiReleased; return oDeleteObject(o); }
void* __cdecl wMalloc(size_t n) { ++gHeap; return oMalloc(n); }
void* __cdecl wCalloc(size_t n, size_t s) { ++gHeap; return oCalloc(n, s); }
void* __cdecl wRealloc(void* p, size_t n) { ++gHeap; return oRealloc(p, n); }

#define HOOK(dll, fn) Hook{dll, #fn, reinterpret_cast<void*>(&w##fn), reinterpret_cast<void**>(&o##fn)}
Hook gHooks[] = {
    HOOK("gdi32.dll", CreateCompatibleDC),   HOOK("gdi32.dll", CreateDCW),
    HOOK("user32.dll", GetDC),               HOOK("user32.dll", GetDCEx),
    HOOK("user32.dll", GetWindowDC),         HOOK("gdi32.dll", CreateCompatibleBitmap),
    HOOK("gdi32.dll", CreateDIBSection),     HOOK("gdi32.dll", CreateBitmap),
    HOOK("gdi32.dll", CreateSolidBrush),     HOOK("gdi32.dll", CreatePen),
    HOOK("gdi32.dll", CreateRectRgn),        HOOK("kernel32.dll", GlobalAlloc),
    HOOK("kernel32.dll", CreateEventW),      HOOK("kernel32.dll", CreateEventA),
    HOOK("gdi32.dll", DeleteDC),             HOOK("user32.dll", ReleaseDC),
    HOOK("gdi32.dll", DeleteObject),
    Hook{"msvcrt.dll", "malloc", reinterpret_cast<void*>(&wMalloc), reinterpret_cast<void**>(&oMalloc)},
    Hook{"msvcrt.dll", "calloc", reinterpret_cast<void*>(&wCalloc), reinterpret_cast<void**>(&oCalloc)},
    Hook{"msvcrt.dll", "realloc", reinterpret_cast<void*>(&wRealloc), reinterpret_cast<void**>(&oRealloc)},
};
#undef HOOK

// The import-table slot of dll!name in this executable, or nullptr when it is not imported.
void** FindSlot(const char* dll, const char* name) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

void WriteSlot(void** slot, void* value) {
  DWORD old = 0;
  ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
  *slot = value;
  ::VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

ObjectCounters::ObjectCounters() {
  gDcs = gGdi = gGlobals = gEvents = gHeap = gGdiReleased = 0;
  ok_ = true;
  for (Hook& h : gHooks) {
    h.slot = FindSlot(h.dll, h.name);
    // One the executable does not import cannot be called through the table; the ones every
    // grab and paint would use must be there.
    if (!h.slot) {
      for (const char* needed : {"malloc", "GlobalAlloc", "CreateCompatibleDC", "CreateCompatibleBitmap", "GetDC"})
        if (std::strcmp(h.name, needed) == 0) ok_ = false;
      continue;
    }
    *h.original = *h.slot;
    WriteSlot(h.slot, h.wrapper);
  }
}

ObjectCounters::~ObjectCounters() {
  for (Hook& h : gHooks) {
    if (h.slot) WriteSlot(h.slot, *h.original);
    h.slot = nullptr;
  }
}

ObjectCounts ObjectCounters::Now() {
  return {gDcs.load(), gGdi.load(), gGlobals.load(), gEvents.load(), gHeap.load(), gGdiReleased.load()};
}

}  // namespace testsupport
