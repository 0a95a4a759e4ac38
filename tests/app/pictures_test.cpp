// Every glyph and panel picture the windows ask for is among the program's resources and
// decodes, under the name and type the windows use.
#include <gtest/gtest.h>

#include "base/resources.h"
#include "base/text.h"

namespace {

TEST(ProgramPictures, EveryGlyphAndPictureLoads) {
  const wchar_t* glyphs[] = {L"fs",       L"areascreencut", L"BtnReplayRec", L"BtnStopRec", L"BtnOtherFun",
                             L"checked",  L"notchecked",    L"opendir",      L"selectpath", L"BtnOrder",
                             L"BtnHelp",  L"BtnExit",       L"BClose",       L"BtnClose",   L"confirm",
                             L"btnNewWin", L"btnCloseAvert", L"frametopleft", L"frametop", L"frametopright",
                             L"framebottomleft2", L"framebottomleft", L"framebottom", L"frameleft", L"frameright",
                             L"areatop", L"areabottom", L"arealabels", L"BtnAbout", L"BtnConfig"};
  for (const wchar_t* name : glyphs) {
    base::UniqueBitmap glyph;
    EXPECT_TRUE(base::LoadGraphicFromRes(glyph, name, L"bmp")) << base::WideToUtf8(name);
  }
  for (const wchar_t* name : {L"toolbar", L"namesave", L"Ombrix"}) {
    base::UniqueBitmap picture;
    EXPECT_TRUE(base::LoadJpegFromRes(picture, name, L"jpg")) << base::WideToUtf8(name);
  }
  BITMAP banner{};
  base::UniqueBitmap picture;
  ASSERT_TRUE(base::LoadJpegFromRes(picture, L"ombrix", L"JPG"));
  GetObjectW(picture.get(), sizeof banner, &banner);
  EXPECT_EQ(banner.bmHeight, 50) << "the banner panel is 50 pixels high";
}

}  // namespace
