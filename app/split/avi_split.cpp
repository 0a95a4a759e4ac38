// The split of a recording into bitmap pictures.
//
// Frames come from AVIStreamGetFrame as packed DIBs: the header, its colour table (or the
// three masks of a bit-field frame), then the pixels. MRLE frames arrive at 8 bits with 256
// colours, other files at 24 or 32 bits, bottom-up or top-down. Each frame becomes the rows of
// a 24-bit bottom-up DIB section, made once per frame size, whose bits are the pixel rows of
// the bitmap file as they stand: the common kinds are converted here, any other is drawn with
// StretchDIBits (which draws every kind the right way up; DrawDib refuses top-down 24-bit
// frames). The view draws that section itself, so no copy of the frame is made for the
// preview. Only the platform's decode is left of a frame's time but the files' writing.
//
// Each picture is written under a temporary name in "img" and renamed over its final name
// once it is complete, so a failed write leaves no partial picture and keeps an earlier one.
// The AVI file is released when the split ends: a file held open by AVIFile cannot be renamed
// or deleted. The writing runs on a thread of the split's own, one picture at a time, while
// the next frame is decoded; each picture is reported (its list entry and status line) once it
// is on disk, and every end of the split waits for the picture being written first.
#include "app/split/avi_split.h"

#include <vfw.h>

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

#include "app/texts/kv.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/short_names.h"
#include "base/text.h"
#include "base/thread.h"
#include "base/unique.h"
#include "engine/effects/scEffects_workers.h"
#include "engine/capture/vfw_handles.h"

namespace app {

namespace {

// Our own texts for a split that ends before its last frame.
constexpr const wchar_t* kSplitEndedFmt = L"分解未完成：%s\n已生成%d个图片。";
constexpr const wchar_t* kNoVideoStreamFmt = L"文件中没有可分解的视频流（%s）";
constexpr const wchar_t* kNoDecoderFmt = L"没有能解码此视频的解码器（压缩格式 %s）";
constexpr const wchar_t* kStreamingRefusedFmt = L"无法读取视频流（%s）";
constexpr const wchar_t* kFrameUnreadableFmt = L"无法读取第%d帧";
constexpr const wchar_t* kFrameFormatFmt = L"第%d帧的格式无法转换为图片";
constexpr const wchar_t* kFolderFailedFmt = L"无法建立图片文件夹 %s：%s";
constexpr const wchar_t* kFolderIsFile = L"已有同名的文件";
// The file's name is longer than the video reader takes and the volume gives it no short one.
constexpr const wchar_t* kNameTooLongFmt =
    L"录像的文件名太长，无法分解：%s\n请把文件名改为%d个字符以内后再分解。";
constexpr const wchar_t* kPictureFailedFmt = L"无法写入图片 %s：%s";
// The line under the name of an open failure, for the results a user meets: a file that is
// not a recording (or a damaged one), and one that cannot be opened at all.
constexpr const wchar_t* kNotARecordingFmt = L"%s\n不是可以读取的录像文件：%s";
constexpr const wchar_t* kCannotOpenFmt = L"%s\n无法打开文件：%s";

// Frames larger than this on either side are not taken (a damaged header).
constexpr LONG kMaxFrameSide = 16384;

// AVIFileInit / AVIFileExit for one split.
struct AviLibrary {
  AviLibrary() { ::AVIFileInit(); }
  ~AviLibrary() { ::AVIFileExit(); }
  AviLibrary(const AviLibrary&) = delete;
  AviLibrary& operator=(const AviLibrary&) = delete;
};

struct GetFrameTraits {
  using Handle = PGETFRAME;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ::AVIStreamGetFrameClose(h); }
};

// AVIStreamBeginStreaming / AVIStreamEndStreaming.
class Streaming {
 public:
  explicit Streaming(PAVISTREAM stream) : stream_(stream) {}
  ~Streaming() {
    if (started_) ::AVIStreamEndStreaming(stream_);
  }
  Streaming(const Streaming&) = delete;
  Streaming& operator=(const Streaming&) = delete;
  HRESULT Begin(LONG start, LONG end) {
    const HRESULT result = ::AVIStreamBeginStreaming(stream_, start, end, 1000);
    started_ = result == 0;
    return result;
  }

 private:
  PAVISTREAM stream_;
  bool started_ = false;
};

std::wstring SystemText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? base::Trim(std::wstring_view(buffer, length)) : base::Format(L"error %u", error);
  if (buffer) ::LocalFree(buffer);
  return text;
}

std::wstring FourCCText(DWORD code) {
  std::wstring text;
  for (int i = 0; i < 4; ++i) {
    const wchar_t c = static_cast<wchar_t>((code >> (8 * i)) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : L'?';
  }
  return text;
}

// Where a packed frame's pixels start: after the header and its colour table (biClrUsed
// entries, or 2^bits when 0 at 8 bits or less), or after the three masks that follow a plain
// header of a bit-field frame.
size_t PixelOffset(const BITMAPINFOHEADER& header) {
  size_t colours = header.biClrUsed;
  if (colours == 0 && header.biBitCount <= 8) colours = size_t{1} << header.biBitCount;
  size_t offset = header.biSize + colours * sizeof(RGBQUAD);
  if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof(BITMAPINFOHEADER)) offset += 3 * sizeof(DWORD);
  return offset;
}

// Stores width pixels, pixel(x) giving each as three bytes in the low bytes of a word, as one
// 24-bit row. Four pixels make three 32-bit words; the rest of the row is stored a pixel at a
// time, four bytes stored and three kept, and its last pixel on its own so the row's padding
// is never touched.
template <typename Pixel>
void PackRow(uint8_t* to, LONG width, Pixel pixel) {
  LONG x = 0;
  for (; x + 4 < width; x += 4) {
    const uint32_t a = pixel(x), b = pixel(x + 1), c = pixel(x + 2), d = pixel(x + 3);
    const uint32_t words[3] = {a | (b << 24), (b >> 8) | (c << 16), (c >> 16) | (d << 8)};
    std::memcpy(to + 3 * x, words, sizeof words);
  }
  for (; x + 1 < width; ++x) {
    const uint32_t value = pixel(x);
    std::memcpy(to + 3 * x, &value, 4);
  }
  const uint32_t last = pixel(x);
  std::memcpy(to + 3 * x, &last, 3);
}

// Turns one decoded frame into the rows of a 24-bit bottom-up picture. The kinds the platform's
// decoders give (8 bits with a full colour table, 24 bits, 32 bits without masks; either row
// order) are converted here: the same bytes StretchDIBits gives, without its per-pixel path.
// False for any other kind, which the caller draws through StretchDIBits.
bool ConvertFrame(const BITMAPINFOHEADER& frame, const uint8_t* pixels, uint8_t* out, DWORD outStride) {
  if (frame.biCompression != BI_RGB) return false;
  const int bits = frame.biBitCount;
  if (bits == 8 && !(frame.biClrUsed == 0 || frame.biClrUsed == 256)) return false;
  if (bits != 8 && bits != 24 && bits != 32) return false;
  const LONG width = frame.biWidth;
  const LONG height = frame.biHeight < 0 ? -frame.biHeight : frame.biHeight;
  const bool topDown = frame.biHeight < 0;
  const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  // Every entry of the 256-colour table, as the three bytes of a 24-bit pixel in the low bytes.
  uint32_t colours[256] = {};
  if (bits == 8) {
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(&frame) + frame.biSize);
    for (int i = 0; i < 256; ++i)
      colours[i] = table[i].rgbBlue | (uint32_t{table[i].rgbGreen} << 8) | (uint32_t{table[i].rgbRed} << 16);
  }
  auto convertRows = [&](LONG first, LONG end) {
    for (LONG y = first; y < end; ++y) {
      const uint8_t* from = pixels + stride * static_cast<size_t>(topDown ? height - 1 - y : y);
      uint8_t* to = out + static_cast<size_t>(outStride) * y;
      if (bits == 24)
        std::memcpy(to, from, static_cast<size_t>(width) * 3);
      else if (bits == 8)
        PackRow(to, width, [&](LONG at) { return colours[from[at]]; });
      else
        PackRow(to, width, [&](LONG at) {
          uint32_t value;
          std::memcpy(&value, from + 4 * at, 4);
          return value & 0xFFFFFF;
        });
    }
  };
  // In bands of rows on the effects' shared workers beside this thread, as a frame's effects run.
  const int bands = engine::workers::BandsFor(static_cast<int64_t>(outStride) * height);
  auto band = [&](int i) {
    convertRows(static_cast<LONG>(static_cast<int64_t>(height) * i / bands),
                static_cast<LONG>(static_cast<int64_t>(height) * (i + 1) / bands));
  };
  engine::workers::ForEachBand(bands, band);
  return true;
}

// A 24-bit picture a frame is drawn into; made again only when the size changes. It is
// selected into its DC only while StretchDIBits draws, so the view can select it into its own.
class WorkPicture {
 public:
  WorkPicture() = default;
  WorkPicture(const WorkPicture&) = delete;
  WorkPicture& operator=(const WorkPicture&) = delete;

  bool Fits(LONG width, LONG height) const { return bitmap_ && width == width_ && height == height_; }
  bool Fit(LONG width, LONG height) {
    if (Fits(width, height)) return true;
    bitmap_.reset();
    bits_ = nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as the file stores its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_ || !bits) return false;
    bits_ = static_cast<uint8_t*>(bits);
    width_ = width;
    height_ = height;
    return true;
  }
  // Draws the frame at its own size, the right way up whatever its row order.
  bool Draw(const BITMAPINFOHEADER* frame, const void* pixels) {
    if (ConvertFrame(*frame, static_cast<const uint8_t*>(pixels), bits_, Stride())) return true;
    if (!dc_) dc_.reset(::CreateCompatibleDC(nullptr));
    if (!dc_) return false;
    base::SelectGuard selected(dc_.get(), bitmap_.get());
    const int lines = ::StretchDIBits(dc_.get(), 0, 0, width_, height_, 0, 0, width_, height_, pixels,
                                      reinterpret_cast<const BITMAPINFO*>(frame), DIB_RGB_COLORS, SRCCOPY);
    ::GdiFlush();
    return lines > 0;
  }
  HBITMAP bitmap() const { return bitmap_.get(); }
  // Gives up the bitmap; the next Fit makes a new one.
  base::UniqueBitmap Release() {
    bits_ = nullptr;
    width_ = height_ = 0;
    return std::move(bitmap_);
  }
  DWORD Stride() const { return static_cast<DWORD>((width_ * 3 + 3) & ~3); }
  DWORD ImageSize() const { return Stride() * static_cast<DWORD>(height_); }
  const uint8_t* bits() const { return bits_; }
  LONG width() const { return width_; }
  LONG height() const { return height_; }

 private:
  base::UniqueDC dc_;
  base::UniqueBitmap bitmap_;
  uint8_t* bits_ = nullptr;
  LONG width_ = 0, height_ = 0;
};

// Writes the work picture as folder\name through a temporary file in the same folder; 0 or
// the system's error code. Nothing is left behind on failure.
DWORD SavePicture(const WorkPicture& picture, const std::wstring& folder, const std::wstring& name, int number,
                  const PictureWriter& write) {
  wchar_t temp[MAX_PATH] = {};
  if (!::GetTempFileNameW(folder.c_str(), L"frm", 0, temp)) return ::GetLastError();
  DWORD error = 0;
  {
    // GetTempFileNameW made the file, empty: opened as it is, not truncated (a truncation
    // makes the file system write the picture out to disk when it is closed).
    base::UniqueFile file(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      error = ::GetLastError();
    } else {
      BITMAPINFOHEADER info{};
      info.biSize = sizeof info;
      info.biWidth = picture.width();
      info.biHeight = picture.height();
      info.biPlanes = 1;
      info.biBitCount = 24;
      info.biCompression = BI_RGB;
      info.biSizeImage = picture.ImageSize();
      BITMAPFILEHEADER header{};
      header.bfType = 0x4D42;  // "BM"
      header.bfOffBits = sizeof header + sizeof info;
      header.bfSize = header.bfOffBits + picture.ImageSize();
      uint8_t headers[sizeof header + sizeof info];
      std::memcpy(headers, &header, sizeof header);
      std::memcpy(headers + sizeof header, &info, sizeof info);
      error = write(file.get(), headers, sizeof headers, number);
      if (error == 0) error = write(file.get(), picture.bits(), picture.ImageSize(), number);
    }
  }
  const std::wstring target = folder + L"\\" + name;
  if (error == 0 && !::MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING)) error = ::GetLastError();
  if (error != 0) ::DeleteFileW(temp);
  return error;
}

// Saves one picture at a time on a thread of its own, so the file system's time for picture n
// overlaps the decoding of frame n + 1 on the split's thread. The split hands over a picture
// and does not touch it until Finish has returned its result; one thread serves a whole split.
class PictureSaver {
 public:
  PictureSaver(const std::wstring& folder, const PictureWriter& write) : folder_(folder), write_(write) {}
  ~PictureSaver() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.Join(INFINITE, base::Pump::SentOnly);
  }
  PictureSaver(const PictureSaver&) = delete;
  PictureSaver& operator=(const PictureSaver&) = delete;

  // Without a thread of its own every picture is saved in Begin, on the split's thread.
  void Start() { threaded_ = thread_.Start("AviToPictures.PictureSaver", [this] { Serve(); }); }
  // Starts saving picture as name; the previous one must have been finished.
  void Begin(const WorkPicture& picture, const std::wstring& name, int number) {
    if (!threaded_) {
      error_ = SavePicture(picture, folder_, name, number, write_);
      picture_ = &picture;
      done_ = true;
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      picture_ = &picture;
      name_ = name;
      number_ = number;
      done_ = false;
    }
    changed_.notify_all();
  }
  // Waits for the picture begun last: 0 or the system's error code.
  DWORD Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return done_ || !picture_; });
    return error_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    picture_ = nullptr;
    error_ = 0;
  }

 private:
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stop_ || (picture_ && !done_); });
      if (stop_) return;
      const WorkPicture& picture = *picture_;
      const std::wstring name = name_;
      const int number = number_;
      lock.unlock();
      const DWORD error = SavePicture(picture, folder_, name, number, write_);
      lock.lock();
      error_ = error;
      done_ = true;
      changed_.notify_all();
    }
  }

  const std::wstring folder_;
  const PictureWriter& write_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  const WorkPicture* picture_ = nullptr;  // the picture being saved, until Clear
  std::wstring name_;
  int number_ = 0;
  bool done_ = false, stop_ = false;
  DWORD error_ = 0;
  bool threaded_ = false;
  base::Thread thread_;
};

// Runs this thread's pending messages. False when a WM_QUIT came; it is posted again.
bool PumpBetweenFrames() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (base::OfferToMessageHook(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace

std::wstring AviErrorName(HRESULT result) {
  struct Name {
    HRESULT code;
    const wchar_t* name;
  };
  static constexpr Name kNames[] = {
      {AVIERR_UNSUPPORTED, L"UNSUPPORTED"},   {AVIERR_BADFORMAT, L"BADFORMAT"},
      {AVIERR_MEMORY, L"MEMORY"},             {AVIERR_INTERNAL, L"INTERNAL"},
      {AVIERR_BADFLAGS, L"BADFLAGS"},         {AVIERR_BADPARAM, L"BADPARM"},
      {AVIERR_BADSIZE, L"BADSIZE"},           {AVIERR_BADHANDLE, L"BADHANDLE"},
      {AVIERR_FILEREAD, L"FILEREAD"},         {AVIERR_FILEWRITE, L"FILEWRITE"},
      {AVIERR_FILEOPEN, L"FILEOPEN"},         {AVIERR_COMPRESSOR, L"COMPRESSOR"},
      {AVIERR_NOCOMPRESSOR, L"NOCOMPRESSOR"}, {AVIERR_READONLY, L"READONLY"},
      {AVIERR_NODATA, L"NODATA"},             {AVIERR_BUFFERTOOSMALL, L"BUFFERTOOSMALL"},
      {AVIERR_CANTCOMPRESS, L"CANTCOMPRESS"}, {AVIERR_USERABORT, L"USERABORT"},
      {AVIERR_ERROR, L"ERROR"},               {REGDB_E_CLASSNOTREG, L"CLASSNOTREG"}};
  for (const auto& n : kNames)
    if (n.code == result) return n.name;
  return L"Unknown Error";
}

std::wstring PictureName(int count) { return base::Format(L"Frame%2.2d.BMP", count); }

DWORD WritePictureBytes(HANDLE file, const void* data, DWORD size, int) {
  DWORD written = 0;
  if (!::WriteFile(file, data, size, &written, nullptr)) return ::GetLastError();
  return written == size ? 0 : ERROR_WRITE_FAULT;
}

SplitResult AviToPictures(const SplitRequest& request, SplitView& view) {
  SplitResult result;
  if (request.cancel) *request.cancel = false;
  const PictureWriter& write = request.writer ? request.writer : PictureWriter(&WritePictureBytes);
  auto endEarly = [&](const std::wstring& cause) {
    view.Message(base::Format(kSplitEndedFmt, cause, result.written));
    result.end = SplitResult::End::Failed;
    return result;
  };

  result.imgFolder = base::FolderOf(request.fileName) + L"img";
  // Made also when nothing is saved, as the folder the pictures belong in.
  const bool folderMade = base::CreateFolderTree(result.imgFolder);
  const DWORD folderError = ::GetLastError();

  AviLibrary library;
  engine::UniqueAviFile file;
  base::NoReadingName noName = base::NoReadingName::NoShortName;
  const std::optional<std::wstring> readName = base::MultimediaNameForReading(request.fileName, &noName);
  if (!readName && noName == base::NoReadingName::NameTooLong) {
    view.Message(base::Format(kNameTooLongFmt, base::FileNameOf(request.fileName),
                              static_cast<int>(base::kLongestReadableName)));
    result.end = SplitResult::End::OpenFailed;
    return result;
  }
  // Without a short name the file is tried as it is: the reader's own error names the cause.
  const std::wstring openName = readName.value_or(request.fileName);
  const HRESULT opened = ::AVIFileOpenW(file.put(), openName.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr);
  if (opened != 0) {
    const bool unreadable = opened == AVIERR_FILEREAD || opened == AVIERR_BADFORMAT || opened == AVIERR_UNSUPPORTED;
    const bool unopened = opened == AVIERR_FILEOPEN;
    view.Message(unreadable || unopened
                     ? base::Format(unreadable ? kNotARecordingFmt : kCannotOpenFmt, AviErrorName(opened), request.fileName)
                     : AviErrorName(opened));
    result.end = SplitResult::End::OpenFailed;
    return result;
  }
  if (request.save && !folderMade) {
    const DWORD attributes = ::GetFileAttributesW(result.imgFolder.c_str());
    const bool isFile = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    return endEarly(base::Format(kFolderFailedFmt, result.imgFolder, isFile ? kFolderIsFile : SystemText(folderError)));
  }

  engine::UniqueAviStream stream;
  const HRESULT got = ::AVIFileGetStream(file.get(), stream.put(), streamtypeVIDEO, 0);
  if (got != 0) return endEarly(base::Format(kNoVideoStreamFmt, AviErrorName(got)));

  const LONG start = ::AVIStreamStart(stream.get());
  const LONG length = ::AVIStreamLength(stream.get());
  view.SetStatus(base::Format(StrSplitCountFmt, length));

  base::Unique<GetFrameTraits> getter(::AVIStreamGetFrameOpen(stream.get(), nullptr));
  if (!getter) {
    BITMAPINFOHEADER format{};
    LONG formatSize = sizeof format;
    DWORD compression = 0;
    if (::AVIStreamReadFormat(stream.get(), start, &format, &formatSize) == 0) compression = format.biCompression;
    AVISTREAMINFOW info{};
    if (compression == 0 && ::AVIStreamInfoW(stream.get(), &info, sizeof info) == 0) compression = info.fccHandler;
    return endEarly(base::Format(kNoDecoderFmt, FourCCText(compression)));
  }

  AVISTREAMINFOW info{};
  if (::AVIStreamInfoW(stream.get(), &info, sizeof info) == 0 && info.dwRate != 0)
    result.msPerFrame = static_cast<int>(1000.0 * info.dwScale / info.dwRate);

  Streaming streaming(stream.get());
  const HRESULT began = streaming.Begin(start, start + length);
  if (began != 0) return endEarly(base::Format(kStreamingRefusedFmt, AviErrorName(began)));

  // Two pictures when saving: one is converted while the saver writes the other.
  WorkPicture pictures[2];
  // The picture the view draws until it is handed over: the view shows the split's own
  // picture, not a copy of it. Handed over at every end, after the saver has stopped (the
  // saver is declared later, so it is gone first).
  WorkPicture* shown = nullptr;
  auto handOver = [&] {
    if (shown) view.KeepFrame(shown->Release());
    shown = nullptr;
  };
  struct HandOverAtEnd {
    decltype(handOver)& run;
    ~HandOverAtEnd() { run(); }
  } handOverAtEnd{handOver};
  PictureSaver saver(result.imgFolder, write);
  if (request.save) saver.Start();
  // The picture handed to the saver and not yet reported.
  bool pending = false;
  std::wstring pendingName;
  // Waits for the pending picture and reports it: its list entry and status line, or the end of
  // the split when it could not be written.
  auto settle = [&]() -> std::optional<SplitResult> {
    if (!pending) return std::nullopt;
    pending = false;
    const DWORD error = saver.Finish();
    saver.Clear();
    if (error) return endEarly(base::Format(kPictureFailedFmt, pendingName, SystemText(error)));
    view.AddPicture(pendingName, result.imgFolder + L"\\" + pendingName);
    view.SetStatus(base::Format(L"%s%s", StrGenerated, pendingName));
    ++result.written;
    return std::nullopt;
  };
  auto settleThen = [&](SplitResult::End end) {
    if (auto failed = settle()) return *failed;
    result.end = end;
    return result;
  };
  auto settleThenEndEarly = [&](const std::wstring& cause) {
    if (auto failed = settle()) return *failed;
    return endEarly(cause);
  };
  // Positions count from 0. Past the stream's end the platform may give the last frame again,
  // so the stream's length bounds the loop.
  for (LONG position = 0; position < length; ++position) {
    if (request.cancel && *request.cancel) {
      *request.cancel = false;
      return settleThen(SplitResult::End::Cancelled);
    }
    const auto* frame = static_cast<const BITMAPINFOHEADER*>(::AVIStreamGetFrame(getter.get(), position));
    // A frame that cannot be had before the stream's end: a file cut short, or a damaged one.
    if (!frame) return settleThenEndEarly(base::Format(kFrameUnreadableFmt, position + 1));
    WorkPicture& picture = pictures[request.save ? position % 2 : 0];
    const LONG width = frame->biWidth;
    const LONG height = frame->biHeight < 0 ? -frame->biHeight : frame->biHeight;
    // The view keeps the frame it draws before that picture is made again at another size.
    if (&picture == shown && !picture.Fits(width, height)) handOver();
    if (frame->biSize < sizeof(BITMAPINFOHEADER) || width <= 0 || height <= 0 || width > kMaxFrameSide ||
        height > kMaxFrameSide || !picture.Fit(width, height) ||
        !picture.Draw(frame, reinterpret_cast<const uint8_t*>(frame) + PixelOffset(*frame)))
      return settleThenEndEarly(base::Format(kFrameFormatFmt, position + 1));
    shown = &picture;
    view.ShowFrame(picture.bitmap());

    if (request.save) {
      if (auto failed = settle()) return *failed;
      pendingName = PictureName(position + 1);
      saver.Begin(picture, pendingName, position + 1);
      pending = true;
    } else {
      ++result.written;
    }
    if (!PumpBetweenFrames()) return settleThen(SplitResult::End::Quit);
  }
  if (auto failed = settle()) return *failed;
  // A stream without frames: the header promised none, or it was cut before its first.
  if (length <= 0) return endEarly(base::Format(kFrameUnreadableFmt, 1));
  result.end = SplitResult::End::Completed;
  return result;
}

}  // namespace app
