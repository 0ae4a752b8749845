#include "skin.h"

/* Colour-table entries of a packed DIB: biClrUsed when it gives them, else all that
   biBitCount allows (none above 8 bits, where a table is optional). */
static int DibColourCount(const BITMAPINFOHEADER *header)
{
    int most = header->biBitCount <= 8 ? 1 << header->biBitCount : 256;
    if (header->biClrUsed)
        return (int) (header->biClrUsed < (DWORD) most ? header->biClrUsed : (DWORD) most);
    return header->biBitCount <= 8 ? most : 0;
}

/* The pixel rows: after the header (whatever its version), its colour masks and its table. */
static const BYTE *DibBits(const BITMAPINFOHEADER *header)
{
    int masks = header->biSize == sizeof(BITMAPINFOHEADER) && header->biCompression == BI_BITFIELDS ? 3 : 0;
    return (const BYTE *) header + header->biSize + 4 * (masks + DibColourCount(header));
}

/* A logical palette from a packed DIB's colour table, for 8 bits per pixel or fewer. */
HPALETTE CreateDibPalette(const BITMAPINFOHEADER *header, int *entries)
{
    *entries = 0;
    if (header->biBitCount > 8)
        return NULL;

    int n = DibColourCount(header);
    *entries = n;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4 * n + 8);
    LOGPALETTE *logical = (LOGPALETTE *) GlobalLock(block);
    const RGBQUAD *table = (const RGBQUAD *) ((const BYTE *) header + header->biSize);
    logical->palVersion = 0x300;
    logical->palNumEntries = (WORD) n;
    for (int i = 0; i < n; i++) {
        logical->palPalEntry[i].peRed = table[i].rgbRed;
        logical->palPalEntry[i].peGreen = table[i].rgbGreen;
        logical->palPalEntry[i].peBlue = table[i].rgbBlue;
        logical->palPalEntry[i].peFlags = 0;
    }
    HPALETTE palette = CreatePalette(logical);
    GlobalUnlock(block);
    GlobalFree(block);
    return palette;
}

/* A packed DIB as a device-dependent bitmap for the screen, with its palette; on failure
   neither is left behind. */
HBITMAP CreateSkinBitmap(const BITMAPINFOHEADER *header, HPALETTE *palette)
{
    HDC screen = GetDC(NULL);
    int entries;
    HPALETTE oldPalette = NULL;
    *palette = CreateDibPalette(header, &entries);
    if (*palette) {
        oldPalette = SelectPalette(screen, *palette, FALSE);
        RealizePalette(screen);
    }
    HBITMAP bitmap = CreateDIBitmap(screen, header, CBM_INIT, DibBits(header), (const BITMAPINFO *) header,
                                    DIB_RGB_COLORS);
    if (oldPalette)
        SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(NULL, screen);
    if (!bitmap && *palette) {
        DeleteObject(*palette);
        *palette = NULL;
    }
    return bitmap;
}

/* A bitmap resource as a skin: null (and no palette) when it is missing. */
HBITMAP LoadSkinBitmap(LPCSTR name, HINSTANCE instance, HPALETTE *palette)
{
    *palette = NULL;
    HRSRC found = FindResourceA(instance, name, (LPCSTR) RT_BITMAP);
    if (!found)
        return NULL;

    HGLOBAL resource = LoadResource(instance, found);
    HBITMAP bitmap = CreateSkinBitmap((const BITMAPINFOHEADER *) LockResource(resource), palette);
    FreeResource(resource);
    return bitmap;
}

/* Draws the bitmap at (0, 0) leaving every key-coloured pixel's destination as it was: a
   mask from the key colour, then background ^ skin, cut by the mask, ^ skin again, which is
   the background under the key and the skin elsewhere. The skin itself is never written, and
   few full-size passes keep a large skin's paint in step with its pixels. */
void DrawKeyedBitmap(HDC target, HBITMAP bitmap, HPALETTE palette, COLORREF key, int width, int height)
{
    HDC source = CreateCompatibleDC(target);
    HDC object = CreateCompatibleDC(target);
    HDC mem = CreateCompatibleDC(target);
    HGDIOBJ oldSkin = SelectObject(source, bitmap);

    HDC withPalette[4] = {target, object, mem, source};
    HPALETTE oldPalettes[4] = {};
    if (palette) {
        for (int i = 0; i < 4; i++)
            oldPalettes[i] = SelectPalette(withPalette[i], palette, TRUE);
        RealizePalette(target);
    }

    HBITMAP objectBitmap = CreateBitmap(width, height, 1, 1, NULL);
    HBITMAP memBitmap = CreateCompatibleBitmap(target, width, height);
    HGDIOBJ oldObject = SelectObject(object, objectBitmap);
    HGDIOBJ oldMem = SelectObject(mem, memBitmap);
    SetMapMode(source, GetMapMode(target));

    COLORREF oldColour = SetBkColor(source, key);
    BitBlt(object, 0, 0, width, height, source, 0, 0, SRCCOPY); /* white where the key is */
    SetBkColor(source, oldColour);
    BitBlt(mem, 0, 0, width, height, target, 0, 0, SRCCOPY);
    BitBlt(mem, 0, 0, width, height, source, 0, 0, SRCINVERT);
    BitBlt(mem, 0, 0, width, height, object, 0, 0, SRCAND); /* white keeps, black clears */
    BitBlt(mem, 0, 0, width, height, source, 0, 0, SRCINVERT);
    BitBlt(target, 0, 0, width, height, mem, 0, 0, SRCCOPY);

    DeleteObject(SelectObject(object, oldObject));
    DeleteObject(SelectObject(mem, oldMem));
    if (palette) {
        for (int i = 0; i < 4; i++)
            SelectPalette(withPalette[i], oldPalettes[i], FALSE);
        RealizePalette(target);
    }
    SelectObject(source, oldSkin);
    DeleteDC(source);
    DeleteDC(object);
    DeleteDC(mem);
}

/* Draws a whole skin bitmap at the target's origin, in the target's logical units. */
void PaintSkin(HDC target, HBITMAP bitmap, HPALETTE palette, COLORREF key)
{
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    POINT size = {info.bmWidth, info.bmHeight};
    DPtoLP(target, &size, 1);
    DrawKeyedBitmap(target, bitmap, palette, key, size.x, size.y);
}
