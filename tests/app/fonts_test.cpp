// Every face the program asks for draws Chinese text as glyphs, not boxes, under the test
// session's prefix: the faces the code names (the options dialog's "宋体", the windows' Tahoma,
// the list's Arial, the frame captions' "MS Shell Dlg 2", the stock GUI font) and the other
// names of the Chinese UI faces, by their Chinese and their English name.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/text.h"
#include "base/unique.h"
#include "tests/app/glyphs.h"

namespace {

const wchar_t kSample[] = L"参数设置录像质量帧";

TEST(Fonts, EveryFaceTheProgramUsesDrawsChineseGlyphs) {
  const wchar_t* faces[] = {L"宋体",    L"SimSun",        L"新宋体",         L"NSimSun",        L"微软雅黑",
                            L"Microsoft YaHei", L"黑体", L"SimHei",       L"Tahoma",         L"Arial",
                            L"MS Shell Dlg",    L"MS Shell Dlg 2",        L"MS Sans Serif"};
  for (const wchar_t* face : faces) {
    for (BYTE charset : {BYTE{DEFAULT_CHARSET}, BYTE{GB2312_CHARSET}}) {
      base::UniqueFont font(::CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face));
      ASSERT_TRUE(font);
      const testapp::ShapeCount got = testapp::CountCjkShapes(testapp::RenderText(font.get(), kSample), font.get(), kSample);
      EXPECT_EQ(got.shapes, got.characters)
          << base::WideToUtf8(face) << " charset " << int{charset} << ": got " << got.shapes
          << " distinct glyph shapes for " << got.characters << " characters (boxes look alike)";
    }
  }
  HFONT stock = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  const testapp::ShapeCount got = testapp::CountCjkShapes(testapp::RenderText(stock, kSample), stock, kSample);
  EXPECT_EQ(got.shapes, got.characters) << "the stock GUI font";
}

}  // namespace
