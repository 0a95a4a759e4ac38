// The picture frame that runs round the main window, the small dialogs and the tool window: a top band 15 pixels high (a 10-pixel corner, the edge, a 20-pixel corner), a bottom
// band 11 high (two 10-pixel pieces, the edge) and the two sides between the bands. Corners
// are drawn whole, edges stretched along their length.
#pragma once

#include <windows.h>

#include "app/forms/picture_box.h"

namespace app {

enum FramePiece {
  kFrameTopLeft,
  kFrameTop,
  kFrameTopRight,
  kFrameBottomLeft2,
  kFrameBottomLeft,
  kFrameBottom,
  kFrameLeft,
  kFrameRight,
  kFramePieceCount
};

inline constexpr int kFrameTopHeight = 15;
inline constexpr int kFrameBottomHeight = 11;
inline constexpr int kFrameRightWidth = 14;

// Loads the piece's picture (a "bmp" resource of the program) into box, stretched for the
// edges; false when it could not be loaded.
bool LoadFramePicture(PictureBox& box, FramePiece piece);

// Where the piece lies in a client area of width x height whose left side is leftWidth wide.
RECT FramePieceRect(FramePiece piece, int width, int height, int leftWidth);

// The eight pieces as pictures on one window, kept on the edges of its client area.
class PictureFrame {
 public:
  static constexpr int kLeftWidth = 10;
  // Makes the pieces as children of parent with the ids firstId .. firstId + 7 (in FramePiece
  // order), their pictures loaded, and places them; false when a piece could not be made.
  bool Create(HWND parent, int firstId);
  // Puts the pieces on the edges of the parent's client area (after each resize).
  void Place() const;
  const PictureBox& Piece(FramePiece piece) const { return pieces_[piece]; }

 private:
  HWND parent_ = nullptr;
  PictureBox pieces_[kFramePieceCount];
};

}  // namespace app
