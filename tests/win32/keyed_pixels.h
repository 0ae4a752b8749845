/* Reading back a keyed skin paint: every key pixel must keep the background that was
   there, every other pixel must be the skin's. Shared by the tests and the benchmark. */
#ifndef QUILMAREN_TEST_KEYED_PIXELS_H
#define QUILMAREN_TEST_KEYED_PIXELS_H

#include "skin.h"

#include <vector>

/* A background no skin pixel is likely to match by chance. */
inline DWORD Background(int x, int y)
{
    return (DWORD) ((x * 7 & 0xFF) << 16 | (y * 5 & 0xFF) << 8 | ((x ^ y) & 0xFF));
}

/* A 32-bit top-down DIB's description. */
inline BITMAPINFO TopDown32(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

/* A bitmap (not selected into any DC), skin-sized unless told, as 0x00RRGGBB pixels, top
   row first. */
inline std::vector<DWORD> BitmapPixels(HBITMAP bitmap, int width = SKIN_SIZE, int height = SKIN_SIZE)
{
    std::vector<DWORD> pixels(width * height);
    BITMAPINFO info = TopDown32(width, height);
    HDC screen = GetDC(NULL);
    GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    for (DWORD &p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

inline void FillBackground(HBITMAP bitmap, int size = SKIN_SIZE)
{
    std::vector<DWORD> pixels(size * size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++)
            pixels[y * size + x] = Background(x, y);
    BITMAPINFO info = TopDown32(size, size);
    HDC screen = GetDC(NULL);
    SetDIBits(screen, bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
}

/* How many painted pixels are wrong; counts the skin's key pixels on the way. */
inline int KeyedMismatches(const DWORD *painted, const std::vector<DWORD> &skin, DWORD key, int *keyPixels,
                           int size = SKIN_SIZE)
{
    int wrong = 0;
    *keyPixels = 0;
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            DWORD source = skin[y * size + x];
            bool keyed = source == key;
            *keyPixels += keyed;
            DWORD expected = keyed ? Background(x, y) : source;
            wrong += (painted[y * size + x] & 0xFFFFFF) != expected;
        }
    return wrong;
}

#endif
