// The RIFF walk that checks what a file holds, on files made byte by byte: a recording's usual
// nesting is read, and a file of lists nested without end is refused without running the
// stack out.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/camera/avi_contents.h"
#include "tests/support/scratch_folder.h"

namespace {

void Put32(std::vector<char>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutId(std::vector<char>& out, const char* id) { out.insert(out.end(), id, id + 4); }

void WriteBytes(const std::wstring& path, const std::vector<char>& bytes) {
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// RIFF 'AVI ' holding `depth` lists nested one in the other, the innermost holding a 'movi'
// list of three frames, then an index.
std::vector<char> NestedFile(int depth) {
  std::vector<char> movi;
  PutId(movi, "LIST");
  Put32(movi, 4 + 3 * 12);
  PutId(movi, "movi");
  for (int i = 0; i < 3; ++i) {
    PutId(movi, "00dc");
    Put32(movi, 4);
    Put32(movi, 0x01020304);
  }
  // Written from the outside in: each list's size is its type and everything inside it.
  std::vector<char> inner;
  inner.reserve(static_cast<size_t>(depth) * 12 + movi.size());
  for (int i = 0; i < depth; ++i) {
    PutId(inner, "LIST");
    Put32(inner, static_cast<uint32_t>(4 + 12 * (depth - 1 - i) + movi.size()));
    PutId(inner, "nest");
  }
  inner.insert(inner.end(), movi.begin(), movi.end());
  std::vector<char> body;
  PutId(body, "AVI ");
  body.insert(body.end(), inner.begin(), inner.end());
  PutId(body, "idx1");
  Put32(body, 0);
  std::vector<char> file;
  PutId(file, "RIFF");
  Put32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

TEST(AviContents, ReadsAUsualNestingAndRefusesOneWithoutEnd) {
  testsupport::ScratchFolder folder;
  const std::wstring path = folder / L"nested.avi";

  WriteBytes(path, NestedFile(2));
  engine::AviContents usual = engine::ReadAviContents(path);
  EXPECT_TRUE(usual.readable);
  EXPECT_TRUE(usual.whole);
  EXPECT_EQ(usual.videoChunks, 3u);
  EXPECT_EQ(usual.videoFrames, 3u);

  // Deep enough to end the process when every list costs a stack frame.
  WriteBytes(path, NestedFile(200000));
  engine::AviContents deep = engine::ReadAviContents(path);
  EXPECT_FALSE(deep.readable);
  EXPECT_FALSE(deep.whole);
  EXPECT_EQ(deep.videoChunks, 0u);
}

}  // namespace
