/* One keyed skin paint against one plain BitBlt of the same bitmap, in microseconds.
   Prints "name keyed plain" per skin. Usage: bench_paint [paints] */
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
    HBITMAP surface = CreateCompatibleBitmap(screen, SKIN_SIZE, SKIN_SIZE);
    HGDIOBJ oldSurface = SelectObject(target, surface);

    const struct {
        const char *name;
        COLORREF key;
    } skins[] = {{"KAVRIBMP", SETUP_KEY_COLOUR}, {"KAVRIWARN", WARNING_KEY_COLOUR}};
    for (const auto &s : skins) {
        HPALETTE palette;
        HBITMAP bitmap = LoadSkinBitmap(s.name, hInst, &palette);
        HDC source = CreateCompatibleDC(screen);
        HGDIOBJ oldSource = SelectObject(source, bitmap);
        LARGE_INTEGER a, b, c;

        PaintSkin(target, bitmap, palette, s.key); /* warm-up */
        QueryPerformanceCounter(&a);
        for (int i = 0; i < paints; i++)
            PaintSkin(target, bitmap, palette, s.key);
        GdiFlush();
        QueryPerformanceCounter(&b);
        SelectObject(source, oldSource);
        SelectObject(source, bitmap);
        for (int i = 0; i < paints; i++)
            BitBlt(target, 0, 0, SKIN_SIZE, SKIN_SIZE, source, 0, 0, SRCCOPY);
        GdiFlush();
        QueryPerformanceCounter(&c);
        printf("%s %.2f %.2f\n", s.name, Microseconds(a, b) / paints, Microseconds(b, c) / paints);

        SelectObject(source, oldSource);
        DeleteDC(source);
        DeleteObject(bitmap);
        DeleteObject(palette);
    }
    SelectObject(target, oldSurface);
    DeleteObject(surface);
    DeleteDC(target);
    ReleaseDC(NULL, screen);
    return 0;
}
