/* One keyed skin paint against one plain BitBlt of the same bitmap, in microseconds, then
   a pixel-by-pixel check of what the timed paints left. Prints "name keyed plain verified"
   per skin and scale (100, 150 and 200 %: "KAVRIBMP", "KAVRIBMP@150"...), or the number of
   wrong pixels and exits 1. Usage: bench_paint [paints] */
#include "keyed_pixels.h"
#include "reminder.h"
#include "skin.h"

#include <stdio.h>
#include <stdlib.h>

static double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (to.QuadPart - from.QuadPart) * 1e6 / frequency.QuadPart;
}

int main(int argc, char **argv)
{
    int paints = argc > 1 ? atoi(argv[1]) : 2000;
    hInst = GetModuleHandleA(NULL);
    HDC screen = GetDC(NULL);
    HDC target = CreateCompatibleDC(screen);
    HDC source = CreateCompatibleDC(screen);
    int status = 0;

    const struct {
        const char *name;
        COLORREF key;
    } skins[] = {{"KAVRIBMP", SETUP_KEY_COLOUR}, {"KAVRIWARN", WARNING_KEY_COLOUR}};
    for (int percent : {100, 150, 200})
    for (const auto &s : skins) {
        HPALETTE palette;
        HBITMAP bitmap = LoadArtworkForDpi(s.name, percent * 96 / 100, &palette);
        int size = ArtworkSize(percent);
        /* Screen-compatible, as the dialog's own surface is. */
        HBITMAP surface = CreateCompatibleBitmap(screen, size, size);
        std::vector<DWORD> skin = BitmapPixels(bitmap, size, size);
        FillBackground(surface, size);
        LARGE_INTEGER a, b, c, d;

        /* The skin must be selected nowhere else while it is painted: a bitmap lives in one DC at a time. */
        HGDIOBJ oldSurface = SelectObject(target, surface);
        QueryPerformanceCounter(&a);
        for (int i = 0; i < paints; i++)
            PaintSkin(target, bitmap, palette, s.key);
        GdiFlush();
        QueryPerformanceCounter(&b);
        SelectObject(target, oldSurface);
        int keyPixels;
        int wrong = KeyedMismatches(BitmapPixels(surface, size, size).data(), skin, s.key, &keyPixels, size);

        oldSurface = SelectObject(target, surface);
        HGDIOBJ oldSource = SelectObject(source, bitmap);
        QueryPerformanceCounter(&c); /* the blits alone, not the check above */
        for (int i = 0; i < paints; i++)
            BitBlt(target, 0, 0, size, size, source, 0, 0, SRCCOPY);
        GdiFlush();
        QueryPerformanceCounter(&d);
        SelectObject(source, oldSource);
        SelectObject(target, oldSurface);

        char name[32];
        wsprintfA(name, percent == 100 ? "%s" : "%s@%d", s.name, percent);
        if (wrong || keyPixels == 0) {
            printf("%s %d wrong pixels (%d key pixels in the skin)\n", name, wrong, keyPixels);
            status = 1;
        } else {
            printf("%s %.2f %.2f verified\n", name, Microseconds(a, b) / paints, Microseconds(c, d) / paints);
        }
        DeleteObject(bitmap);
        DeleteObject(palette);
        DeleteObject(surface);
    }
    DeleteDC(source);
    DeleteDC(target);
    ReleaseDC(NULL, screen);
    return status;
}
