// Loaders for the pictures and text lists that the programs carry as resources: button glyphs
// stored as whole .bmp files (type "bmp"), panel and banner pictures stored as JPEG files (type
// "jpg", decoded with libjpeg) and text lists (type "TXT"). The decoders check every size and
// offset against the data they were given, since a resource is just bytes.
#include "base/resources.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "base/text.h"

#if __has_include(<jpeglib.h>)
#define RECLUME_HAVE_JPEG 1
extern "C" {
#include <jpeglib.h>
}
#endif

namespace base {

namespace {

uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t ReadU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t ReadI32(const uint8_t* p) { return static_cast<int32_t>(ReadU32(p)); }

constexpr int32_t kMaxPictureSide = 32768;

// A BITMAPINFO with room for bit-field masks or a full 256-colour table.
struct DibInfo {
  BITMAPINFOHEADER header{};
  uint32_t extra[256]{};
};

UniqueBitmap MakeDibSection(const DibInfo& info, void** bits) {
  return UniqueBitmap(::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                         DIB_RGB_COLORS, bits, nullptr, 0));
}

#ifdef RECLUME_HAVE_JPEG
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  // libjpeg is C: unwinding a C++ exception through it is not possible, so errors jump back.
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

extern "C" void JpegQuietMessage(j_common_ptr) {}

// Only trivially destructible locals live between setjmp and a possible longjmp; the bitmap is
// kept as a raw handle until decoding has finished.
HBITMAP DecodeJpegRaw(const uint8_t* data, size_t size) {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegErrorExit;
  errors.manager.output_message = JpegQuietMessage;
  HBITMAP volatile bitmap = nullptr;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (bitmap) ::DeleteObject(bitmap);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;  // grey pictures are widened too
  jpeg_start_decompress(&cinfo);
  const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
  if (width == 0 || height == 0 || width > JDIMENSION(kMaxPictureSide) || height > JDIMENSION(kMaxPictureSide) ||
      cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  DibInfo info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = LONG(width);
  info.header.biHeight = -LONG(height);  // top-down, the order libjpeg delivers rows in
  info.header.biPlanes = 1;
  info.header.biBitCount = 32;
  info.header.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap = ::CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, width * 3, 1);
  auto* out = static_cast<uint8_t*>(bits);
  while (cinfo.output_scanline < height) {
    const JDIMENSION y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    uint8_t* dst = out + size_t(y) * width * 4;
    const JSAMPLE* src = row[0];
    for (JDIMENSION x = 0; x < width; ++x, src += 3, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = 0;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return bitmap;
}

// The same error set-up for a compression and the grey decode of its output. The buffers are
// plain malloc blocks (libjpeg's jpeg_mem_dest owns and grows its own), freed on every path.
bool GrayRoundTripRaw(const uint8_t* rows, int stride, int width, int height, uint8_t* gray) {
  jpeg_compress_struct cinfo;
  jpeg_decompress_struct dinfo;
  JpegErrors errors;
  std::memset(&cinfo, 0, sizeof cinfo);
  std::memset(&dinfo, 0, sizeof dinfo);
  unsigned char* volatile encoded = nullptr;
  unsigned long encodedSize = 0;
  uint8_t* volatile rgb = static_cast<uint8_t*>(std::malloc(size_t(width) * 3));
  if (!rgb) return false;
  cinfo.err = jpeg_std_error(&errors.manager);
  dinfo.err = cinfo.err;
  errors.manager.error_exit = JpegErrorExit;
  errors.manager.output_message = JpegQuietMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    jpeg_destroy_decompress(&dinfo);
    std::free(encoded);
    std::free(rgb);
    return false;
  }
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  jpeg_mem_dest(&cinfo, &out, &encodedSize);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t* src = rows + size_t(cinfo.next_scanline) * size_t(stride);
    uint8_t* dst = rgb;
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
    JSAMPROW row = rgb;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  encoded = out;
  jpeg_destroy_compress(&cinfo);

  jpeg_create_decompress(&dinfo);
  jpeg_mem_src(&dinfo, encoded, encodedSize);
  jpeg_read_header(&dinfo, TRUE);
  dinfo.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&dinfo);
  while (dinfo.output_scanline < dinfo.output_height) {
    JSAMPROW row = gray + size_t(dinfo.output_scanline) * size_t(width);
    if (jpeg_read_scanlines(&dinfo, &row, 1) != 1) break;
  }
  jpeg_finish_decompress(&dinfo);
  jpeg_destroy_decompress(&dinfo);
  std::free(encoded);
  std::free(rgb);
  return true;
}
#endif

}  // namespace

std::span<const uint8_t> FindResourceBytes(const wchar_t* name, const wchar_t* type, HMODULE module) noexcept {
  HRSRC found = ::FindResourceW(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(module, found);  // not freed: resources live with the module
  const DWORD size = ::SizeofResource(module, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  return {static_cast<const uint8_t*>(data), size};
}

UniqueBitmap DecodeBmp(std::span<const uint8_t> file) noexcept {
  constexpr size_t kFileHeader = 14;
  if (file.size() < kFileHeader + sizeof(BITMAPINFOHEADER) || file[0] != 'B' || file[1] != 'M') return {};
  const uint8_t* p = file.data();
  const uint64_t bitsOffset = ReadU32(p + 10);
  const uint8_t* header = p + kFileHeader;
  const uint64_t headerSize = ReadU32(header);
  // Only the 40-byte header and its longer successors; the old 12-byte core header is not used.
  if (headerSize < sizeof(BITMAPINFOHEADER) || kFileHeader + headerSize > file.size()) return {};
  const int32_t width = ReadI32(header + 4), height = ReadI32(header + 8);
  const uint16_t planes = ReadU16(header + 12), bitCount = ReadU16(header + 14);
  const uint32_t compression = ReadU32(header + 16), colorsUsed = ReadU32(header + 32);
  if (width <= 0 || width > kMaxPictureSide || height == 0 || height < -kMaxPictureSide ||
      height > kMaxPictureSide || planes != 1)
    return {};
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return {};
  const bool bitFields = compression == BI_BITFIELDS;
  if (!(compression == BI_RGB || (bitFields && (bitCount == 16 || bitCount == 32)))) return {};

  DibInfo info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = bitCount;
  info.header.biCompression = compression;
  uint64_t tableAt = kFileHeader + headerSize;
  if (bitFields) {
    // The three masks sit inside a long header, or right after a 40-byte one.
    const uint8_t* masks = header + 40;
    if (headerSize < 52) {
      if (tableAt + 12 > file.size()) return {};
      masks = p + tableAt;
      tableAt += 12;
    }
    for (int i = 0; i < 3; ++i) info.extra[i] = ReadU32(masks + 4 * i);
  } else if (bitCount <= 8) {
    const uint32_t maxColors = 1u << bitCount;
    const uint32_t colors = colorsUsed ? colorsUsed : maxColors;
    if (colors > maxColors || tableAt + uint64_t(colors) * 4 > file.size()) return {};
    info.header.biClrUsed = colors;
    std::memcpy(info.extra, p + tableAt, size_t(colors) * 4);
  }
  const uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
  const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
  const uint64_t imageBytes = stride * rows;
  if (bitsOffset < kFileHeader + headerSize || bitsOffset + imageBytes > file.size()) return {};

  void* bits = nullptr;
  UniqueBitmap bitmap = MakeDibSection(info, &bits);
  if (!bitmap || !bits) return {};
  std::memcpy(bits, p + bitsOffset, size_t(imageBytes));
  return bitmap;
}

UniqueBitmap DecodeJpeg(std::span<const uint8_t> file) noexcept {
#ifdef RECLUME_HAVE_JPEG
  if (file.empty()) return {};
  return UniqueBitmap(DecodeJpegRaw(file.data(), file.size()));
#else
  (void)file;
  return {};
#endif
}

bool LoadGraphicFromRes(UniqueBitmap& target, const wchar_t* name, const wchar_t* type, HMODULE module) noexcept {
  UniqueBitmap loaded = DecodeBmp(FindResourceBytes(name, type, module));
  if (!loaded) return false;
  target = std::move(loaded);
  return true;
}

bool LoadJpegFromRes(UniqueBitmap& target, const wchar_t* name, const wchar_t* type, HMODULE module) noexcept {
  UniqueBitmap loaded = DecodeJpeg(FindResourceBytes(name, type, module));
  if (!loaded) return false;
  target = std::move(loaded);
  return true;
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<std::wstring> LoadStringsFromRes(const wchar_t* name, HMODULE module) noexcept {
  try {
    std::span<const uint8_t> bytes = FindResourceBytes(name, L"TXT", module);
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return SplitLines(Utf8ToWide(text));
  } catch (...) {
    return {};
  }
}

}  // namespace base

namespace base {

bool JpegGrayRoundTrip(const uint8_t* rows, int stride, int width, int height, std::vector<uint8_t>& gray) noexcept {
  if (!rows || width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
#ifdef RECLUME_HAVE_JPEG
  try {
    gray.assign(size_t(width) * size_t(height), 0);
  } catch (...) {
    return false;
  }
  return GrayRoundTripRaw(rows, stride, width, height, gray.data());
#else
  (void)stride;
  return false;
#endif
}

HICON ProgramIcon(int size) noexcept {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace base
