// The frame pictures' resources and places, and the frame a window wears made of them.
#include "app/forms/frame_pictures.h"

#include "base/resources.h"

namespace app {

namespace {

struct PieceSpec {
  const wchar_t* resource;
  bool stretch;
};

constexpr PieceSpec kPieces[kFramePieceCount] = {
    {L"frametopleft", false},     {L"frametop", true},         {L"frametopright", false}, {L"framebottomleft2", false},
    {L"framebottomleft", false},  {L"framebottom", true},      {L"frameleft", true},      {L"frameright", true},
};

constexpr int kTopLeftWidth = 10, kTopRightWidth = 20, kBottomPieceWidth = 10;

}  // namespace

bool LoadFramePicture(PictureBox& box, FramePiece piece) {
  if (piece < 0 || piece >= kFramePieceCount) return false;
  box.SetStretch(kPieces[piece].stretch);
  const bool loaded = base::LoadGraphicFromRes(box.picture(), kPieces[piece].resource, L"bmp");
  box.PictureChanged();
  return loaded;
}

RECT FramePieceRect(FramePiece piece, int width, int height, int leftWidth) {
  const int bottomTop = height - kFrameBottomHeight;
  switch (piece) {
    case kFrameTopLeft:
      return {0, 0, kTopLeftWidth, kFrameTopHeight};
    case kFrameTop:
      return {kTopLeftWidth, 0, width - kTopRightWidth, kFrameTopHeight};
    case kFrameTopRight:
      return {width - kTopRightWidth, 0, width, kFrameTopHeight};
    case kFrameBottomLeft2:
      return {0, bottomTop, kBottomPieceWidth, height};
    case kFrameBottomLeft:
      return {kBottomPieceWidth, bottomTop, 2 * kBottomPieceWidth, height};
    case kFrameBottom:
      return {2 * kBottomPieceWidth, bottomTop, width, height};
    case kFrameLeft:
      return {0, kFrameTopHeight, leftWidth, bottomTop};
    case kFrameRight:
      return {width - kFrameRightWidth, kFrameTopHeight, width, bottomTop};
    default:
      return {};
  }
}

bool PictureFrame::Create(HWND parent, int firstId) {
  parent_ = parent;
  bool made = true;
  for (int piece = 0; piece < kFramePieceCount; ++piece) {
    made = pieces_[piece].Create(parent, firstId + piece, {0, 0, 0, 0}) && made;
    LoadFramePicture(pieces_[piece], static_cast<FramePiece>(piece));
  }
  Place();
  return made;
}

void PictureFrame::Place() const {
  RECT client{};
  if (!parent_ || !::GetClientRect(parent_, &client)) return;
  for (int piece = 0; piece < kFramePieceCount; ++piece) {
    const RECT r = FramePieceRect(static_cast<FramePiece>(piece), client.right, client.bottom, kLeftWidth);
    ::SetWindowPos(pieces_[piece].hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace app
