#include "app/win32/Win32Pictures.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace tolvane {
namespace {

// The XPM files are C arrays: the Qt window loads the same files as resources.
namespace xpm {
#include "app/pictures/application.xpm"
#include "app/pictures/folder.xpm"
#include "app/pictures/network.xpm"
#include "app/pictures/server.xpm"
#include "app/pictures/share.xpm"
#include "app/pictures/shortcut.xpm"
#include "app/pictures/splash1.xpm"
#include "app/pictures/splash2.xpm"
#include "app/pictures/splash3.xpm"
#include "app/pictures/state1.xpm"
#include "app/pictures/state2.xpm"
#include "app/pictures/state3.xpm"
#include "app/pictures/state4.xpm"
#include "app/pictures/toolbar-00.xpm"
#include "app/pictures/toolbar-01.xpm"
#include "app/pictures/toolbar-02.xpm"
#include "app/pictures/toolbar-05.xpm"
#include "app/pictures/toolbar-06.xpm"
#include "app/pictures/toolbar-07.xpm"
#include "app/pictures/toolbar-08.xpm"
#include "app/pictures/toolbar-11.xpm"
#include "app/pictures/toolbar-12.xpm"
#include "app/pictures/toolbar-13.xpm"
#include "app/pictures/toolbar-14.xpm"
#include "app/pictures/toolbar-15.xpm"
#include "app/pictures/workgroup.xpm"
}  // namespace xpm

struct Picture {
  const char* const* data = nullptr;
  int count = 0;
};

template <std::size_t N>
Picture Of(const char* (&data)[N]) {
  return {data, static_cast<int>(N)};
}

Picture ToolbarPicture(int index) {
  switch (index) {
    case 0:
      return Of(xpm::toolbar_00);
    case 1:
      return Of(xpm::toolbar_01);
    case 2:
      return Of(xpm::toolbar_02);
    case 5:
      return Of(xpm::toolbar_05);
    case 6:
      return Of(xpm::toolbar_06);
    case 7:
      return Of(xpm::toolbar_07);
    case 8:
      return Of(xpm::toolbar_08);
    case 11:
      return Of(xpm::toolbar_11);
    case 12:
      return Of(xpm::toolbar_12);
    case 13:
      return Of(xpm::toolbar_13);
    case 14:
      return Of(xpm::toolbar_14);
    case 15:
      return Of(xpm::toolbar_15);
    default:
      return {};
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One XPM picture (one character per pixel, "c #RRGGBB" or "c None" colours): its size and
// each pixel as 0xAARRGGBB, alpha 0 where transparent. False when it is not of that form.
bool ParseXpm(const char* const* data, int count, int& width, int& height,
              std::vector<unsigned>& pixels) {
  int colors = 0, perPixel = 0;
  if (count < 1 || std::sscanf(data[0], "%d %d %d %d", &width, &height, &colors, &perPixel) != 4)
    return false;
  if (perPixel != 1 || width <= 0 || height <= 0 || width > 256 || height > 256 || colors <= 0 ||
      count < 1 + colors + height)
    return false;
  unsigned table[256] = {};
  bool known[256] = {};
  for (int i = 0; i < colors; ++i) {
    const std::string line = data[1 + i];
    const std::size_t c = line.find(" c ");
    if (line.empty() || c == std::string::npos) return false;
    const std::string value = line.substr(c + 3);
    unsigned argb = 0;
    if (value.size() == 7 && value[0] == '#') {
      argb = 0xFF000000u;
      for (int d = 1; d < 7; ++d) {
        const int h = HexDigit(value[static_cast<std::size_t>(d)]);
        if (h < 0) return false;
        argb |= static_cast<unsigned>(h) << (4 * (6 - d));
      }
    } else if (value != "None") {
      return false;
    }
    const auto key = static_cast<unsigned char>(line[0]);
    table[key] = argb;
    known[key] = true;
  }
  pixels.assign(static_cast<std::size_t>(width * height), 0);
  for (int y = 0; y < height; ++y) {
    const char* row = data[1 + colors + y];
    if (std::strlen(row) != static_cast<std::size_t>(width)) return false;
    for (int x = 0; x < width; ++x) {
      const auto key = static_cast<unsigned char>(row[x]);
      if (!known[key]) return false;
      pixels[static_cast<std::size_t>(y * width + x)] = table[key];
    }
  }
  return true;
}

// A picture as a top-down 32-bit DIB section (premultiplied alpha) and a monochrome mask
// (set where transparent), which every image list and icon understands.
struct Bitmaps {
  HBITMAP color = nullptr;
  HBITMAP mask = nullptr;
  void Free() {
    if (color) DeleteObject(color);
    if (mask) DeleteObject(mask);
    color = mask = nullptr;
  }
};

Bitmaps MakeBitmaps(const Picture& picture, int size) {
  int width = size, height = size;
  std::vector<unsigned> pixels(static_cast<std::size_t>(size * size), 0);
  if (picture.data && !ParseXpm(picture.data, picture.count, width, height, pixels)) {
    width = height = size;
    pixels.assign(static_cast<std::size_t>(size * size), 0);
  }
  if (!picture.data) width = height = size;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmaps out;
  out.color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // One bit per pixel, rows padded to 16 bits.
  const int stride = ((size + 15) / 16) * 2;
  std::vector<unsigned char> mask(static_cast<std::size_t>(stride * size), 0xFF);
  auto* dst = static_cast<unsigned*>(bits);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      unsigned argb = 0;
      if (x < width && y < height) argb = pixels[static_cast<std::size_t>(y * width + x)];
      const bool opaque = (argb >> 24) != 0;
      if (dst) dst[y * size + x] = opaque ? argb : 0;
      if (opaque) mask[static_cast<std::size_t>(y * stride + x / 8)] &= ~(0x80 >> (x % 8));
    }
  }
  out.mask = CreateBitmap(size, size, 1, 1, mask.data());
  return out;
}

HIMAGELIST MakeList(const std::vector<Picture>& pictures) {
  HIMAGELIST list =
      ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, static_cast<int>(pictures.size()), 0);
  for (const Picture& p : pictures) {
    Bitmaps b = MakeBitmaps(p, 16);
    ImageList_Add(list, b.color, b.mask);
    b.Free();
  }
  return list;
}

HICON MakeIcon(const Picture& picture, int size) {
  Bitmaps b = MakeBitmaps(picture, size);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = b.color;
  info.hbmMask = b.mask;
  HICON icon = CreateIconIndirect(&info);
  b.Free();
  return icon;
}

}  // namespace

HIMAGELIST CreateToolbarImageList() {
  std::vector<Picture> pictures;
  for (int i = 0; i < 16; ++i) pictures.push_back(ToolbarPicture(i));
  return MakeList(pictures);
}

HIMAGELIST CreateStateImageList() {
  return MakeList(
      {Picture{}, Of(xpm::state1), Of(xpm::state2), Of(xpm::state3), Of(xpm::state4), Picture{}});
}

HIMAGELIST CreateNodeImageList() {
  // In the order of NodeIcon.
  return MakeList({Of(xpm::network), Of(xpm::workgroup), Of(xpm::server), Of(xpm::share),
                   Of(xpm::folder), Of(xpm::shortcut), Picture{}});
}

HICON CreateApplicationIcon() { return MakeIcon(Of(xpm::application), 16); }

HICON CreateSplashIcon(int index) {
  switch (index) {
    case 1:
      return MakeIcon(Of(xpm::splash1), 32);
    case 2:
      return MakeIcon(Of(xpm::splash2), 32);
    default:
      return MakeIcon(Of(xpm::splash3), 32);
  }
}

HBITMAP CreateMenuBitmap(int toolbarIndex) {
  Bitmaps b = MakeBitmaps(ToolbarPicture(toolbarIndex), 16);
  if (b.mask) DeleteObject(b.mask);
  return b.color;
}

}  // namespace tolvane
