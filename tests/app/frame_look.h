// What a window's picture frame shows on the screen: each of its eight pieces a picture at its
// place on the edges of the client area, and the screen at the middle of each piece showing
// that piece's own pixel (not the window's background).
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/forms/frame_pictures.h"
#include "app/forms/picture_box.h"
#include "base/dispatch.h"
#include "base/unique.h"
#include "base/window.h"

namespace testapp {

inline bool NearColour(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 8;
}

// "" when the frame of window (pieces with the ids firstId .. firstId + 7) is whole and drawn,
// else what is wrong. Polls until Wine has drawn it (at most timeoutMs).
inline std::string FrameShownWrong(HWND window, int firstId, int timeoutMs = 3000) {
  std::string wrong;
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  base::PumpUntil(
      [&] {
        wrong.clear();
        RECT client{};
        ::GetClientRect(window, &client);
        HDC screen = ::GetDC(nullptr);
        for (int piece = 0; piece < app::kFramePieceCount; ++piece) {
          const std::string name = "piece " + std::to_string(piece) + ": ";
          HWND wnd = ::GetDlgItem(window, firstId + piece);
          auto* box = dynamic_cast<app::PictureBox*>(base::Window::FromHandle(wnd));
          if (!box || !box->Shown()) {
            wrong += name + "no picture; ";
            continue;
          }
          RECT placed{};
          ::GetWindowRect(wnd, &placed);
          ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&placed), 2);
          const RECT expected = app::FramePieceRect(static_cast<app::FramePiece>(piece), client.right, client.bottom,
                                                    app::PictureFrame::kLeftWidth);
          if (!::EqualRect(&placed, &expected)) {
            wrong += name + "not on its edge; ";
            continue;
          }
          const int w = placed.right - placed.left, h = placed.bottom - placed.top;
          BITMAP bm{};
          ::GetObjectW(box->Shown(), sizeof bm, &bm);
          // The middle of the piece, and the pixel of the picture drawn there.
          const int px = w / 2, py = h / 2;
          const int bx = box->Stretch() ? px * bm.bmWidth / w : px, by = box->Stretch() ? py * bm.bmHeight / h : py;
          base::UniqueDC memory(::CreateCompatibleDC(screen));
          COLORREF want = CLR_INVALID;
          {
            base::SelectGuard select(memory.get(), box->Shown());
            want = ::GetPixel(memory.get(), bx, by);
          }
          POINT at{px, py};
          ::ClientToScreen(wnd, &at);
          const COLORREF got = ::GetPixel(screen, at.x, at.y);
          if (!NearColour(got, want)) {
            char text[96];
            snprintf(text, sizeof text, "got 0x%06lx on the screen, the picture has 0x%06lx; ", got, want);
            wrong += name + text;
          }
        }
        ::ReleaseDC(nullptr, screen);
        return wrong.empty();
      },
      timeoutMs);
  return wrong;
}

}  // namespace testapp
