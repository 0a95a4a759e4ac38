// Counts the objects this program creates, for tests and benchmarks that check a loop makes
// none: device contexts, GDI objects, global memory blocks, events and heap allocations.
//
// Wine answers 0 to GetGuiResources and GetProcessHandleCount, so the counts come from the
// calls themselves: while an ObjectCounters lives, the executable's import table sends them
// through counting wrappers (every thread, every caller in the executable; the platform's own
// DLLs are not counted). One instance at a time.
#pragma once

#include <atomic>

namespace testsupport {

struct ObjectCounts {
  long dcs = 0;         // CreateCompatibleDC, CreateDCW, GetDC, GetDCEx, GetWindowDC
  long gdiObjects = 0;  // bitmaps, DIB sections, brushes, pens, regions
  long globals = 0;     // GlobalAlloc
  long events = 0;      // CreateEventW, CreateEventA
  long heap = 0;        // malloc, calloc, realloc (new and every container allocate through them)
  long gdiReleased = 0;  // DeleteDC, ReleaseDC, DeleteObject
  // Made, whatever kind (releases not counted).
  long total() const { return dcs + gdiObjects + globals + events + heap; }
  // Device contexts and GDI objects made and not (yet) released.
  long gdiBalance() const { return dcs + gdiObjects - gdiReleased; }
  ObjectCounts operator-(const ObjectCounts& o) const {
    return {dcs - o.dcs,       gdiObjects - o.gdiObjects, globals - o.globals,
            events - o.events, heap - o.heap,             gdiReleased - o.gdiReleased};
  }
};

class ObjectCounters {
 public:
  ObjectCounters();   // installs the wrappers
  ~ObjectCounters();  // puts the original entries back
  ObjectCounters(const ObjectCounters&) = delete;
  ObjectCounters& operator=(const ObjectCounters&) = delete;

  // Every entry was found in the import table (the executable imports each function).
  bool ok() const { return ok_; }
  // The counts since installation. Safe from any thread; allocates nothing.
  static ObjectCounts Now();

 private:
  bool ok_ = false;
};

}  // namespace testsupport
