#include "reminder.h"
#include "shell.h"
#include "skin.h"

#include <stdlib.h>

/* Calls that only newer Windows has: looked up at run time, so older systems still start. */
typedef BOOL(WINAPI *SetContextProc)(HANDLE context);
typedef HRESULT(WINAPI *SetAwarenessProc)(int awareness);
typedef BOOL(WINAPI *SetAwareProc)(void);
typedef UINT(WINAPI *DpiForWindowProc)(HWND window);
typedef BOOL(WINAPI *DialogBehaviourProc)(HWND dialog, int mask, int values);
typedef HRESULT(WINAPI *DpiForMonitorProc)(HMONITOR monitor, int type, UINT *x, UINT *y);

#define PER_MONITOR_AWARE_V2 ((HANDLE) -4)
#define PROCESS_PER_MONITOR_AWARE 2
#define DIALOG_SCALING_OFF 1 /* DDC_DISABLE_ALL: the dialogs scale themselves */
#define MONITOR_EFFECTIVE_DPI 0 /* MDT_EFFECTIVE_DPI */
#define TEMPLATE_FONT_POINTS 8 /* both templates' FONT */
#define ARTWORK_SCALES 4
/* Dialog base units of 8-point Tahoma at 96 DPI, what the templates were laid out in. */
#define TAHOMA_BASE_X 6
#define TAHOMA_BASE_Y 13

static const int artworkScales[ARTWORK_SCALES] = {125, 150, 175, 200};

static FARPROC User32Proc(LPCSTR name)
{
    return GetProcAddress(GetModuleHandleA("user32.dll"), name);
}

/* Per-monitor aware, v2 where Windows has it (10, 1703 on): each dialog is drawn at its own
   monitor's scale and told when that changes, and menus scale with it. Windows 8.1 gives
   per-monitor awareness without that help, Vista and 7 the system's one DPI. Where none of
   the calls answers (a compatibility setting chose already), Windows' choice stands. */
void BecomeDpiAware(void)
{
    SetContextProc setContext = (SetContextProc) (void (*)(void)) User32Proc("SetProcessDpiAwarenessContext");
    if (setContext && setContext(PER_MONITOR_AWARE_V2))
        return;
    HMODULE shcore = LoadSystemLibrary("shcore.dll"); /* not on 7: never from our folder */
    SetAwarenessProc setAwareness =
        shcore ? (SetAwarenessProc) (void (*)(void)) GetProcAddress(shcore, "SetProcessDpiAwareness") : NULL;
    if (setAwareness && SUCCEEDED(setAwareness(PROCESS_PER_MONITOR_AWARE)))
        return;
    SetAwareProc setAware = (SetAwareProc) (void (*)(void)) User32Proc("SetProcessDPIAware");
    if (setAware)
        setAware();
}

/* The system's DPI, the one the process started with. */
int ScreenDpi(void)
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    return dpi;
}

/* A monitor's DPI where Windows can say (8.1 on, from shcore), else 0. */
int MonitorDpi(HMONITOR monitor)
{
    static DpiForMonitorProc forMonitor;
    static BOOL looked;
    if (!looked) {
        looked = TRUE;
        HMODULE shcore = LoadSystemLibrary("shcore.dll"); /* not on 7: never from our folder */
        if (shcore)
            forMonitor = (DpiForMonitorProc) (void (*)(void)) GetProcAddress(shcore, "GetDpiForMonitor");
    }
    UINT x = 0, y = 0;
    return forMonitor && monitor && SUCCEEDED(forMonitor(monitor, MONITOR_EFFECTIVE_DPI, &x, &y)) ? (int) y : 0;
}

/* The window's DPI (10, 1607 on), else its monitor's (8.1), else the system's. */
int WindowDpi(HWND window)
{
    DpiForWindowProc forWindow = (DpiForWindowProc) (void (*)(void)) User32Proc("GetDpiForWindow");
    int dpi = forWindow ? (int) forWindow(window) : 0;
    if (dpi <= 0)
        dpi = MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    return dpi > 0 ? dpi : ScreenDpi();
}

/* The DPI the dialog manager made the dialog's font for, measured from the font: 10, 1607
   makes it for the system's DPI, later versions for the window's. */
static int FontDpi(HWND dialog, int windowDpi)
{
    LOGFONTA font;
    if (!GetObjectA((HFONT) SendMessageA(dialog, WM_GETFONT, 0, 0), sizeof font, &font) || !font.lfHeight)
        return windowDpi;
    int height = abs(font.lfHeight), screen = ScreenDpi();
    if (MulDiv(TEMPLATE_FONT_POINTS, windowDpi, 72) == height)
        return windowDpi;
    if (MulDiv(TEMPLATE_FONT_POINTS, screen, 72) == height)
        return screen;
    return MulDiv(height, 72, TEMPLATE_FONT_POINTS);
}

/* Pixels at 96 DPI at another; a DPI not known yet (0) is 96's. */
int ScaleToDpi(int pixels, int dpi)
{
    return dpi > 0 ? MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI) : pixels;
}

/* The side of the artwork drawn for a scale, as MulDiv rounds it: 313 px at 125 %. */
int ArtworkSize(int percent)
{
    return (SKIN_SIZE * percent + 50) / 100;
}

/* A nearest-pixel copy at another size: every pixel is one of the original's, so the key
   colour stays exact and no fringe of it shows. */
static HBITMAP ResizedArtwork(HBITMAP bitmap, HPALETTE palette, int size)
{
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    HDC screen = GetDC(NULL);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HBITMAP resized = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldFrom = SelectObject(from, bitmap), oldTo = SelectObject(to, resized);
    HPALETTE oldFromPalette = palette ? SelectPalette(from, palette, TRUE) : NULL;
    HPALETTE oldToPalette = palette ? SelectPalette(to, palette, TRUE) : NULL;
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, 0, 0, size, size, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    if (palette) {
        SelectPalette(from, oldFromPalette, FALSE);
        SelectPalette(to, oldToPalette, FALSE);
    }
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
    return resized;
}

/* The skin for a dialog at this DPI: the artwork drawn for its scale, the next larger one
   made to fit between those scales, the largest enlarged above them. */
HBITMAP LoadArtworkForDpi(LPCSTR name, int dpi, HPALETTE *palette)
{
    int size = ScaleToDpi(SKIN_SIZE, dpi);
    HBITMAP bitmap = NULL;
    for (int i = 0; size > SKIN_SIZE && !bitmap && i < ARTWORK_SCALES; i++) {
        if (ArtworkSize(artworkScales[i]) < size && i < ARTWORK_SCALES - 1)
            continue;
        char scaled[32];
        wsprintfA(scaled, "%s%d", name, artworkScales[i]);
        bitmap = LoadSkinBitmap(scaled, hInst, palette);
    }
    if (!bitmap)
        bitmap = LoadSkinBitmap(name, hInst, palette);
    BITMAP info;
    if (bitmap && GetObjectA(bitmap, sizeof info, &info) && info.bmWidth != size && size != SKIN_SIZE)
        bitmap = ResizedArtwork(bitmap, *palette, size);
    return bitmap;
}

/* A font like the template's, made for another DPI: null where the template's is it. */
static HFONT FontForDpi(HWND dialog, int fontDpi, int dpi)
{
    LOGFONTA font;
    if (dpi == fontDpi || !GetObjectA((HFONT) SendMessageA(dialog, WM_GETFONT, 0, 0), sizeof font, &font))
        return NULL;
    font.lfHeight = MulDiv(font.lfHeight, dpi, fontDpi);
    font.lfWidth = MulDiv(font.lfWidth, dpi, fontDpi);
    return CreateFontIndirectA(&font);
}

/* Gives every control a font the dialog owns (null: the template's), releasing the last. */
void SetControlsFont(HWND dialog, DialogSkin *skin, HFONT font)
{
    HFONT shown = font ? font : (HFONT) SendMessageA(dialog, WM_GETFONT, 0, 0);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageA(child, WM_SETFONT, (WPARAM) shown, FALSE);
    if (skin->font)
        DeleteObject(skin->font);
    skin->font = font;
}

/* Moves and sizes every control by a ratio on each axis. A drop-down list keeps its
   dropped height in proportion too, not just its closed one. */
static void ScaleControls(HWND dialog, int xBy, int xOf, int yBy, int yOf)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box, dropped;
        GetWindowRect(child, &box);
        if (SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM) &dropped))
            box.bottom = box.top + dropped.bottom - dropped.top;
        MapWindowPoints(NULL, dialog, (POINT *) &box, 2);
        int left = MulDiv(box.left, xBy, xOf), top = MulDiv(box.top, yBy, yOf);
        SetWindowPos(child, NULL, left, top, MulDiv(box.right, xBy, xOf) - left, MulDiv(box.bottom, yBy, yOf) - top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

/* The dialog takes another DPI: its size (at the place given, if any), every control's
   place and size, the font and the artwork. Dialog-specific placing and the fitting of
   texts follow. */
void ChangeDialogDpi(HWND dialog, DialogSkin *skin, int dpi, const RECT *suggested)
{
    ScaleControls(dialog, dpi, skin->dpi, dpi, skin->dpi);
    SetControlsFont(dialog, skin, FontForDpi(dialog, skin->fontDpi, dpi));
    int size = ScaleToDpi(SKIN_SIZE, dpi);
    BITMAP art;
    if (skin->skinName && (!skin->bitmap || !GetObjectA(skin->bitmap, sizeof art, &art) || art.bmWidth != size)) {
        HPALETTE palette = NULL;
        HBITMAP bitmap = LoadArtworkForDpi(skin->skinName, dpi, &palette);
        if (skin->bitmap)
            DeleteObject(skin->bitmap);
        if (skin->palette)
            DeleteObject(skin->palette);
        skin->bitmap = bitmap;
        skin->palette = palette;
    }
    skin->dpi = dpi;
    RECT at;
    GetWindowRect(dialog, &at);
    if (suggested)
        at = *suggested;
    SetWindowPos(dialog, NULL, at.left, at.top, size, size, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(dialog, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

/* At WM_INITDIALOG: the dialog scales itself, from the DPI its template's font was made
   for to its window's, with the skin drawn for that scale. The template is laid out in
   the units of its font, so a wider or larger font would spread the controls past the
   skin: they go where Tahoma's units put them, and the fitting makes the texts fit. */
void InitDialogDpi(HWND dialog, LPCSTR skinName)
{
    DialogSkin *skin = DialogSkinOf(dialog);
    if (!skin)
        return;
    DialogBehaviourProc behaviour = (DialogBehaviourProc) (void (*)(void)) User32Proc("SetDialogDpiChangeBehavior");
    if (behaviour)
        behaviour(dialog, DIALOG_SCALING_OFF, DIALOG_SCALING_OFF);
    skin->fontDpi = skin->dpi = FontDpi(dialog, WindowDpi(dialog));
    skin->skinName = skinName;
    RECT units = {0, 0, 4, 8};
    MapDialogRect(dialog, &units);
    if (units.right > 0 && units.bottom > 0)
        ScaleControls(dialog, TAHOMA_BASE_X * skin->dpi, units.right * USER_DEFAULT_SCREEN_DPI,
                      TAHOMA_BASE_Y * skin->dpi, units.bottom * USER_DEFAULT_SCREEN_DPI);
    ChangeDialogDpi(dialog, skin, WindowDpi(dialog), NULL);
}

/* Releases the font made for another DPI, with the dialog. */
void FreeDialogFont(DialogSkin *skin)
{
    if (skin->font)
        DeleteObject(skin->font);
    skin->font = NULL;
}
