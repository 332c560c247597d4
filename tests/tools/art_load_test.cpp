// The committed icons and picture, loaded the way the windows use them: by
// the platform's own image loader, into an image list of 24-bit colour with
// a mask (the sort arrows) and as a 24-bit bitmap of its natural size (the
// picture control shows it unscaled). A file that only a lenient reader
// accepts fails here.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ArtPath(const wchar_t* name) { return std::wstring(CS_ART_DIR) + L"/" + name; }

HICON LoadIconFile(const wchar_t* name, int size) {
  return static_cast<HICON>(
      LoadImageW(nullptr, ArtPath(name).c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
}

// Size of an icon's colour image, and whether it carries a mask.
struct IconShape {
  int width = 0;
  int height = 0;
  bool has_mask = false;
};

IconShape ShapeOf(HICON icon) {
  IconShape s;
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return s;
  BITMAP bm{};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
    s.width = bm.bmWidth;
    s.height = bm.bmHeight;
  }
  s.has_mask = info.hbmMask != nullptr;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return s;
}

TEST(ArtFiles, WindowIconHasALargeAndASmallImage) {
  for (int size : {32, 16}) {
    HICON icon = LoadIconFile(L"icon141.ico", size);
    ASSERT_NE(icon, nullptr) << "size " << size;
    IconShape s = ShapeOf(icon);
    EXPECT_EQ(s.width, size);
    EXPECT_EQ(s.height, size);
    EXPECT_TRUE(s.has_mask);
    DestroyIcon(icon);
  }
}

TEST(ArtFiles, SortArrowsGoIntoA24BitMaskedImageListInTheirOrder) {
  InitCommonControls();
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 2);
  ASSERT_NE(list, nullptr);
  HICON down = LoadIconFile(L"down145.ico", 16);
  HICON up = LoadIconFile(L"up144.ico", 16);
  ASSERT_NE(down, nullptr);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(ImageList_AddIcon(list, down), 0);
  EXPECT_EQ(ImageList_AddIcon(list, up), 1);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);

  // Drawn through the mask onto white, the down arrow's ink sits high and
  // wide, the up arrow's low and wide: the rows with ink tell them apart.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 16, 16);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, canvas);
  auto widest_row = [&](int index) {
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
    int best_row = -1, best = 0, rows_with_ink = 0;
    for (int y = 0; y < 16; ++y) {
      int ink = 0;
      for (int x = 0; x < 16; ++x)
        if (GetPixel(dc, x, y) != RGB(255, 255, 255)) ++ink;
      if (ink) ++rows_with_ink;
      if (ink > best) {
        best = ink;
        best_row = y;
      }
    }
    EXPECT_GE(rows_with_ink, 3) << "image " << index;
    EXPECT_LT(rows_with_ink, 16) << "image " << index << ": the mask hides nothing";
    return best_row;
  };
  int down_widest = widest_row(0);
  int up_widest = widest_row(1);
  EXPECT_LT(down_widest, up_widest);

  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
  DestroyIcon(down);
  DestroyIcon(up);
  ImageList_Destroy(list);
}

TEST(ArtFiles, PictureIs142By225In24BitColour) {
  auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, ArtPath(L"picture143.bmp").c_str(),
                                                IMAGE_BITMAP, 0, 0,
                                                LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, 142);
  EXPECT_EQ(dib.dsBm.bmHeight, 225);
  EXPECT_EQ(dib.dsBmih.biBitCount, 24);
  DeleteObject(bitmap);
}

}  // namespace
