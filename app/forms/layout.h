// Docking layout for the program's forms: children docked to the top, bottom, left or right
// edge of their parent, or filling what is left, in the order they were added (outside in);
// splitters that let the user drag the size of a docked neighbour; and the plain container
// panel that owns such a layout and re-applies it whenever it is resized.
//
// Only children whose WS_VISIBLE style bit is set take room, so a hidden panel gives its space
// to the others, even while the whole form is still hidden. Everything here runs on the main
// thread.
#pragma once

#include <windows.h>

#include <vector>

#include "base/form_style.h"
#include "base/window.h"

namespace app {

// The forms' colour, its brush and the child-control parameters are shared with the setup
// program.
using base::ChildSpec;
using base::FormBrush;
using base::kFormColor;

enum class Dock { Top, Bottom, Left, Right, Client };

class DockLayout {
 public:
  // Docks wnd after every child added before it. size: height for Top and Bottom, width for
  // Left and Right; ignored for Client.
  void Add(HWND wnd, Dock dock, int size = 0);
  bool SetSize(HWND wnd, int size);
  // The size given to wnd, or -1 when it is not in the layout.
  int Size(HWND wnd) const;
  bool SetDock(HWND wnd, Dock dock, int size = 0);
  // The rectangle wnd would get in area, or an empty one (false) when it is not docked or
  // hidden.
  bool Placement(const RECT& area, HWND wnd, RECT& placed) const;
  // What is left of area after every visible edge item (the client items' rectangle).
  RECT Remaining(const RECT& area) const;
  // Moves every visible child to its place in area (client coordinates of the parent).
  void Apply(const RECT& area) const;
  // The same over the parent's client rectangle.
  void Apply(HWND parent) const;

 private:
  struct Item {
    HWND wnd;
    Dock dock;
    int size;
  };
  // Calls place(item, rect) for every visible item, in order; returns what is left.
  template <class F>
  RECT Walk(const RECT& area, F&& place) const;
  std::vector<Item> items_;
};

// The message a drag list (comctl32's MakeDragList) reports its drags with, to its parent.
UINT DragListMessage();

// A container child window that docks its own children; its window text, when it has one, is
// drawn as its caption (left, vertically centred), which is how the status line shows text. Messages that controls send to their
// parent (commands, notifications, owner drawing, colours, context menus, drag-list reports) are passed on to the
// panel's own parent, so the form receives them however deeply its controls are nested.
class Panel : public base::Window {
 public:
  // className: L"TPanel" or L"TScrollBox" (both behave the same; the name tells tests which
  // kind of region a window is).
  bool Create(HWND parent, int id, bool visible = true, const wchar_t* className = L"TPanel");
  DockLayout& layout() { return layout_; }
  void Relayout() const;
  // Double-buffered: the background and caption are drawn into a memory bitmap and put on the
  // screen in one copy, so a resize does not flicker.
  void SetDoubleBuffered(bool on) { doubleBuffered_ = on; }
  bool DoubleBuffered() const { return doubleBuffered_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc, const RECT& client, bool withBackground) const;

  DockLayout layout_;
  HFONT font_ = nullptr;  // not owned: the form's font
  bool doubleBuffered_ = false;
};

// A thin bar that resizes the docked neighbour it sits beside. It is itself docked in the same
// layout, on the same side, right after its target; dragging it changes the target's size
// (never below kMinSize, and never so far that the client items get less than kMinSize).
class Splitter : public base::Window {
 public:
  static constexpr int kThickness = 3;
  static constexpr int kMinSize = 30;

  bool Create(HWND parent, int id, DockLayout& layout, HWND target, Dock side);
  // Moves the splitter by delta pixels along its axis (what a drag does); returns the
  // target's new size.
  int MoveBy(int delta);

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  DockLayout* layout_ = nullptr;
  HWND target_ = nullptr;
  Dock side_ = Dock::Left;
  bool dragging_ = false;
  POINT dragStart_{};
  int startSize_ = 0;
};

}  // namespace app
