/* Skin drawing and the skinned dialogs, driven from inside the process under Wine. */
#include "import_patch.h"
#include "keyed_pixels.h"
#include "notification_state.h"
#include "registry_fixture.h"
#include "reminder.h"
#include "resource.h"
#include "shell.h"
#include "skin.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

/* ---- GDI headroom: Wine's GetGuiResources answers 0, so count what can still be made. */

int GdiHeadroom()
{
    std::vector<HRGN> made;
    made.reserve(70000);
    for (HRGN r; made.size() < 70000 && (r = CreateRectRgn(0, 0, 1, 1)) != NULL;)
        made.push_back(r);
    for (HRGN r : made)
        DeleteObject(r);
    return (int) made.size();
}

/* The same for USER objects: menus share the handle table with cursors and windows. */
int UserHeadroom()
{
    std::vector<HMENU> made;
    made.reserve(70000);
    for (HMENU m; made.size() < 70000 && (m = CreatePopupMenu()) != NULL;)
        made.push_back(m);
    for (HMENU m : made)
        DestroyMenu(m);
    return (int) made.size();
}

/* ---- a 32-bit surface to paint into and read back */

struct Surface {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD *bits;
};

Surface MakeSurface(int size)
{
    BITMAPINFO info = TopDown32(size, size);
    Surface s;
    HDC screen = GetDC(NULL);
    s.dc = CreateCompatibleDC(screen);
    ReleaseDC(NULL, screen);
    s.bitmap = CreateDIBSection(s.dc, &info, DIB_RGB_COLORS, (void **) &s.bits, NULL, 0);
    s.old = SelectObject(s.dc, s.bitmap);
    return s;
}

void FreeSurface(Surface &s)
{
    SelectObject(s.dc, s.old);
    DeleteObject(s.bitmap);
    DeleteDC(s.dc);
}

/* Counts of the soaks: enough to show a leak in the test run, many more from bench/soak.sh. */
int Count(int inTests, int inSoak)
{
    return getenv("QF_SOAK") ? inSoak : inTests;
}

int KeyedMismatches(const Surface &s, const std::vector<DWORD> &skin, DWORD key, int *keyPixels)
{
    return ::KeyedMismatches(s.bits, skin, key, keyPixels);
}

void FillBackground(Surface &s)
{
    for (int y = 0; y < SKIN_SIZE; y++)
        for (int x = 0; x < SKIN_SIZE; x++)
            s.bits[y * SKIN_SIZE + x] = Background(x, y);
}

const struct SkinCase {
    const char *name;
    DWORD key; /* as 0x00RRGGBB; magenta and green read the same either way */
    bool palette;
} skins[] = {{"KAVRIBMP", SETUP_KEY_COLOUR, true}, {"KAVRIWARN", WARNING_KEY_COLOUR, false}};

TEST(KeyedDrawing, KeyPixelsKeepTheBackgroundAndTheSkinIsUnchanged)
{
    for (const SkinCase &c : skins) {
        SCOPED_TRACE(c.name);
        HPALETTE palette;
        HBITMAP bitmap = LoadSkinBitmap(c.name, hInst, &palette);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(palette != NULL, c.palette);
        std::vector<DWORD> skin = BitmapPixels(bitmap);

        Surface s = MakeSurface(SKIN_SIZE);
        FillBackground(s);
        PaintSkin(s.dc, bitmap, palette, c.key);
        GdiFlush();
        int keyPixels;
        EXPECT_EQ(KeyedMismatches(s, skin, c.key, &keyPixels), 0);
        EXPECT_GT(keyPixels, 100);
        EXPECT_LT(keyPixels, SKIN_SIZE * SKIN_SIZE / 2);
        EXPECT_TRUE(BitmapPixels(bitmap) == skin);

        /* A pixel one step off the key is drawn. */
        HDC screen = GetDC(NULL);
        HDC dc = CreateCompatibleDC(screen);
        ReleaseDC(NULL, screen);
        HGDIOBJ old = SelectObject(dc, bitmap);
        SetPixel(dc, 0, 0, c.key == SETUP_KEY_COLOUR ? RGB(254, 0, 255) : RGB(0, 254, 0));
        SelectObject(dc, old);
        DeleteDC(dc);
        FillBackground(s);
        PaintSkin(s.dc, bitmap, palette, c.key);
        GdiFlush();
        EXPECT_EQ(s.bits[0] & 0xFFFFFF, BitmapPixels(bitmap)[0]);
        EXPECT_NE(s.bits[0] & 0xFFFFFF, Background(0, 0));

        FreeSurface(s);
        DeleteObject(bitmap);
        DeleteObject(palette);
    }
}

TEST(KeyedDrawing, RepeatedPaintsStayCorrectAndLeakNothing)
{
    for (const SkinCase &c : skins) {
        SCOPED_TRACE(c.name);
        HPALETTE palette;
        HBITMAP bitmap = LoadSkinBitmap(c.name, hInst, &palette);
        std::vector<DWORD> skin = BitmapPixels(bitmap);
        Surface s = MakeSurface(SKIN_SIZE);

        const int paints = Count(300, c.palette ? 70000 : 2000);
        int before = GdiHeadroom(), userBefore = UserHeadroom();
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        for (int i = 0; i < paints; i++)
            PaintSkin(s.dc, bitmap, palette, c.key);
        GdiFlush();
        QueryPerformanceCounter(&end);
        int after = GdiHeadroom(), userAfter = UserHeadroom();
        printf("%s: %d keyed paints, %.1f us each; GDI headroom %d before, %d after; USER %d, %d\n", c.name,
               paints, (end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart / paints, before, after, userBefore,
               userAfter);

        FillBackground(s);
        PaintSkin(s.dc, bitmap, palette, c.key);
        GdiFlush();
        int keyPixels;
        EXPECT_EQ(KeyedMismatches(s, skin, c.key, &keyPixels), 0);
        EXPECT_TRUE(BitmapPixels(bitmap) == skin);
        EXPECT_EQ(after, before);
        EXPECT_EQ(userAfter, userBefore);
        FreeSurface(s);
        DeleteObject(bitmap);
        DeleteObject(palette);
    }
}

/* ---- packed DIBs of any layout, as a resource may hold them */

std::vector<BYTE> PackedDib(DWORD headerSize, LONG width, WORD bits, DWORD coloursUsed,
                            const std::vector<RGBQUAD> &table, const std::vector<BYTE> &rows)
{
    std::vector<BYTE> dib(headerSize + 4 * table.size() + rows.size());
    BITMAPINFOHEADER *h = (BITMAPINFOHEADER *) dib.data();
    h->biSize = headerSize;
    h->biWidth = width;
    h->biHeight = 2;
    h->biPlanes = 1;
    h->biBitCount = bits;
    h->biClrUsed = coloursUsed;
    if (headerSize >= sizeof(BITMAPV4HEADER))
        ((BITMAPV4HEADER *) h)->bV4CSType = 0x73524742; /* 'sRGB' */
    memcpy(dib.data() + headerSize, table.data(), 4 * table.size());
    memcpy(dib.data() + headerSize + 4 * table.size(), rows.data(), rows.size());
    return dib;
}

TEST(SkinLoading, HeaderSizeAndColourCountPlaceTheTableAndPixels)
{
    const RGBQUAD red = {0, 0, 255, 0}, blue = {255, 0, 0, 0}, green = {0, 255, 0, 0};
    std::vector<RGBQUAD> full(256, green);
    full[0] = red;
    full[1] = blue;
    /* Bottom-up rows padded to 4 bytes: the bottom row first. */
    const std::vector<BYTE> indexed = {1, 0, 0, 0, 0, 1, 0, 0};
    const std::vector<BYTE> direct = {255, 0, 0, 0, 0, 255, 0, 0, /* blue, red */
                                      0, 0, 255, 255, 0, 0, 0, 0}; /* red, blue */
    const std::vector<DWORD> expected = {0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000};
    const struct {
        int line;
        std::vector<BYTE> dib;
        int paletteEntries; /* 0: no palette */
    } cases[] = {
        {__LINE__, PackedDib(sizeof(BITMAPINFOHEADER), 2, 8, 2, {red, blue}, indexed), 2},
        {__LINE__, PackedDib(sizeof(BITMAPV5HEADER), 2, 8, 0, full, indexed), 256},
        {__LINE__, PackedDib(sizeof(BITMAPINFOHEADER), 2, 24, 2, {green, green}, direct), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        HPALETTE palette;
        HBITMAP bitmap = CreateSkinBitmap((const BITMAPINFOHEADER *) c.dib.data(), &palette);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(BitmapPixels(bitmap, 2, 2), expected);
        EXPECT_EQ(palette ? (int) GetPaletteEntries(palette, 0, 0, NULL) : 0, c.paletteEntries);
        DeleteObject(bitmap);
        DeleteObject(palette);
    }
}

TEST(SkinLoading, AFailedBitmapLeavesNoPaletteBehind)
{
    /* A negative width: the palette is made, then the bitmap fails. */
    std::vector<BYTE> dib = PackedDib(sizeof(BITMAPINFOHEADER), -2, 8, 0, std::vector<RGBQUAD>(256), {0, 0, 0, 0});
    HPALETTE palette;
    DeleteObject(CreateSkinBitmap((const BITMAPINFOHEADER *) dib.data(), &palette)); /* warms Wine's caches */
    int before = GdiHeadroom();
    for (int i = 0; i < 300; i++) {
        palette = (HPALETTE) 1;
        ASSERT_FALSE(CreateSkinBitmap((const BITMAPINFOHEADER *) dib.data(), &palette));
        ASSERT_FALSE(palette);
    }
    EXPECT_EQ(GdiHeadroom(), before);
}

/* ---- which monitor a dialog opens on */

TEST(Placement, TheMonitorInFrontUnlessItIsOursThenThePointersThenThePrimary)
{
    const DWORD own = 10, other = 20;
    /* The primary (HMONITOR 2) in the middle of three: 1 to its left, 3 to its right. */
    const struct { int line; INT_PTR front; DWORD process; BOOL pointerKnown; LONG x; int chosen; } cases[] = {
        {__LINE__, 3, other, TRUE, -500, 2}, /* another program's window in front */
        {__LINE__, 3, own, TRUE, -500, 0},   /* our own window: the pointer tells */
        {__LINE__, 0, 0, TRUE, 2000, 2},     /* nothing in front */
        {__LINE__, 0, 0, FALSE, 2000, 1},    /* nor a pointer to read */
    };
    for (const auto &c : cases) {
        MonitorView view = {{{(HMONITOR) 1, {-1024, 0, 0, 768}, {}, FALSE}, {(HMONITOR) 2, {0, 0, 1280, 960}, {}, TRUE},
                             {(HMONITOR) 3, {1280, 0, 2304, 768}, {}, FALSE}},
                            3, (HMONITOR) c.front, c.process, own, c.pointerKnown, {c.x, 300}};
        EXPECT_EQ(ChooseMonitor(&view), c.chosen) << "case at line " << c.line;
    }
}

/* ---- driving modal dialogs from a timer inside their own message loop */

void OpenWarning(void)
{
    ShowWarning();
}

HWND lastDialog;
HHOOK cbtHook;
std::function<void(HWND)> pendingDriver;
/* Windows gives the foreground only to a program that asks for it, having the right to (a
   tray click or a second start gives it); Wine to any window that shows. Pinned, no window
   here is activated until the program asks. */
bool foregroundPinned;

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && foregroundPinned)
        return 1;
    if (code == HCBT_CREATEWND) {
        char cls[16];
        GetClassNameA((HWND) wParam, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") == 0)
            lastDialog = (HWND) wParam;
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

VOID CALLBACK StartDriver(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = lastDialog;
    if (!IsWindowVisible(dialog))
        return; /* the modal loop shows it once idle; try again at the next tick */
    KillTimer(NULL, timer);
    std::function<void(HWND)> driver = std::move(pendingDriver);
    pendingDriver = nullptr;
    driver(dialog);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        ADD_FAILURE() << "the driver left its dialog open";
        EndDialog(dialog, 0);
    }
}

/* Shows a dialog modally; the driver runs once it is up and must close it. */
void RunModal(std::function<void()> show, std::function<void(HWND)> driver)
{
    if (!cbtHook)
        cbtHook = SetWindowsHookExA(WH_CBT, OnCbt, NULL, GetCurrentThreadId());
    pendingDriver = std::move(driver);
    SetTimer(NULL, 0, 20, StartDriver);
    show();
}

/* Runs the dialog's messages for a while, keys included. */
void Pump(HWND dialog, int milliseconds)
{
    DWORD until = GetTickCount() + milliseconds;
    while ((int) (until - GetTickCount()) > 0) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        Sleep(5);
    }
}

void PressKey(HWND dialog, WPARAM key)
{
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : dialog, WM_KEYDOWN, key, 1);
    PostMessageA(focus ? focus : dialog, WM_KEYUP, key, 0xC0000001);
    Pump(dialog, 150);
}

RECT ChildRect(HWND dialog, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(NULL, dialog, (POINT *) &r, 2);
    return r;
}

void ExpectSkinnedFrame(HWND dialog)
{
    RECT w, desktop;
    GetWindowRect(dialog, &w);
    GetClientRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(w.right - w.left, SKIN_SIZE);
    EXPECT_EQ(w.bottom - w.top, SKIN_SIZE);
    EXPECT_EQ(w.left, (desktop.right - SKIN_SIZE) / 2);
    EXPECT_EQ(w.top, (desktop.bottom - SKIN_SIZE) / 2);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

LRESULT HitTest(HWND dialog, POINT screen)
{
    return SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        hInst = GetModuleHandleA(NULL);
        ASSERT_TRUE(PinNotificationState()); /* warnings that are due show */
    }
    void TearDown() override
    {
        ClearSettings();
        hInst = GetModuleHandleA(NULL);
    }
};

TEST_F(Dialogs, TheLinkFitsOnOneLineInBothDialogs)
{
    /* A static control wraps what does not fit, and shows only the first line. */
    for (void (*show)(void) : {OpenWarning, ShowSetup}) {
        RunModal(show, [](HWND dialog) {
            HWND link = GetDlgItem(dialog, IDC_LINK);
            char text[LINK_TEXT_SIZE];
            GetWindowTextA(link, text, sizeof text);
            EXPECT_EQ(strncmp(text, "https://", 8), 0) << text;
            HDC dc = GetDC(link);
            HGDIOBJ old = SelectObject(dc, (HFONT) SendMessageA(link, WM_GETFONT, 0, 0));
            SIZE extent;
            GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
            SelectObject(dc, old);
            ReleaseDC(link, dc);
            RECT box;
            GetClientRect(link, &box);
            EXPECT_LE(extent.cx, box.right) << text;
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
    }
}

/* ---- every word whole, with the shell font at the sizes of 100, 125 and 150 % */

std::vector<BYTE> templateCopy;
DLGPROC copyProc;

/* A copy of one of the program's dialog templates with its font at another point size. */
std::vector<BYTE> WithPointSize(int id, WORD points)
{
    HRSRC found = FindResourceA(hInst, MAKEINTRESOURCEA(id), (LPCSTR) RT_DIALOG);
    const BYTE *data = (const BYTE *) LockResource(LoadResource(hInst, found));
    std::vector<BYTE> copy(data, data + SizeofResource(hInst, found));
    WORD *size = (WORD *) &copy[32]; /* past the DIALOGEX header, an empty menu, class and title */
    EXPECT_EQ(*size, 8);
    *size = points;
    return copy;
}

/* In each control's own font a static's text wraps within its box and a button's fits
   inside its edges; no two controls overlap, but a group box round what it holds. Returns
   the controls' rectangles. */
std::vector<RECT> ExpectEveryTextWholeAndNoOverlap(HWND dialog)
{
    std::vector<RECT> boxes;
    std::vector<bool> group;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char name[16], text[256];
        GetClassNameA(c, name, sizeof name);
        GetWindowTextA(c, text, sizeof text);
        bool label = !lstrcmpiA(name, "Static"), button = !lstrcmpiA(name, "Button");
        group.push_back(button && (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX);
        RECT box, drawn;
        GetClientRect(c, &box);
        SetRect(&drawn, 0, 0, box.right, 0);
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, (HGDIOBJ) SendMessageA(c, WM_GETFONT, 0, 0)); /* none: System stays */
        DrawTextA(dc, text, -1, &drawn, DT_CALCRECT | (label ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE));
        bool fits = label ? drawn.bottom <= box.bottom && drawn.right <= box.right
                          : !button || group.back() || drawn.right + 2 * GetSystemMetrics(SM_CXEDGE) <= box.right;
        EXPECT_TRUE(fits) << text; /* a button's inside its 3D edges */
        SelectObject(dc, old);
        ReleaseDC(c, dc);
        GetWindowRect(c, &box);
        MapWindowPoints(NULL, dialog, (POINT *) &box, 2);
        boxes.push_back(box);
    }
    for (size_t i = 0; i < boxes.size(); i++)
        for (size_t j = 0; j < i; j++) {
            RECT both, around;
            UnionRect(&around, &boxes[i], &boxes[j]);
            EXPECT_TRUE(!IntersectRect(&both, &boxes[i], &boxes[j]) || (group[i] && EqualRect(&around, &boxes[i])) ||
                        (group[j] && EqualRect(&around, &boxes[j]))) << "controls " << i << " and " << j << " overlap";
        }
    return boxes;
}

TEST_F(Dialogs, EveryTextShowsWholeAndNoControlsOverlapAtEachShellFontSize)
{
    /* 8 points at 96, 120 and 144 dots per inch: what Windows' 100, 125 and 150 % give. */
    for (WORD points : {8, 10, 12})
        for (auto dialog : {std::make_pair(IDD_SETUP, SetupDlgProc), std::make_pair(IDD_SETUP_MANAGED, SetupDlgProc),
                            std::make_pair(IDD_WARNING, WarningDlgProc)}) {
            SCOPED_TRACE("dialog " + std::to_string(dialog.first) + " at " + std::to_string(points) + " points");
            templateCopy = WithPointSize(dialog.first, points);
            copyProc = dialog.second;
            auto show = [] {
                DialogBoxIndirectParamA(hInst, (LPCDLGTEMPLATEA) templateCopy.data(), GetDesktopWindow(), copyProc, 0);
            };
            RunModal(show, [](HWND dialog) {
                std::vector<RECT> fitted = ExpectEveryTextWholeAndNoOverlap(dialog);
                FitControlsToText(dialog); /* where everything fits, nothing moves */
                std::vector<RECT> again = ExpectEveryTextWholeAndNoOverlap(dialog);
                EXPECT_EQ(memcmp(again.data(), fitted.data(), fitted.size() * sizeof(RECT)), 0);
                SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            });
        }
}

/* A copy of a dialog template in another face: "DejaVu Sans" is as long as "MS Shell Dlg"
   once aligned, so the controls stay where they were. */
std::vector<BYTE> WithFace(int id, const wchar_t *face)
{
    std::vector<BYTE> copy = WithPointSize(id, 8);
    wchar_t *name = (wchar_t *) &copy[38];
    EXPECT_EQ(wcscmp(name, L"MS Shell Dlg"), 0);
    EXPECT_LE(wcslen(face), wcslen(name));
    memset(name, 0, 26);
    wcscpy(name, face);
    return copy;
}

int layoutDpi;
bool layoutWide;

TEST_F(Dialogs, AtEveryDpiAndInAWiderFontEveryTextShowsWholeInsideThePanel)
{
    /* DejaVu Sans is what Wine gives "MS Shell Dlg" without Tahoma: about 15 % wider. */
    for (const wchar_t *face : {L"MS Shell Dlg", L"DejaVu Sans"})
        for (int dpi : {96, 120, 144, 192})
            for (auto dialog : {std::make_pair(IDD_SETUP, SetupDlgProc), std::make_pair(IDD_SETUP_MANAGED, SetupDlgProc),
                            std::make_pair(IDD_WARNING, WarningDlgProc)}) {
                SCOPED_TRACE("dialog " + std::to_string(dialog.first) + " at " + std::to_string(dpi) + " DPI in " +
                             (face[0] == 'D' ? "DejaVu Sans" : "Tahoma"));
                templateCopy = WithFace(dialog.first, face);
                copyProc = dialog.second;
                layoutDpi = dpi;
                layoutWide = face[0] == 'D';
                auto show = [] {
                    DialogBoxIndirectParamA(hInst, (LPCDLGTEMPLATEA) templateCopy.data(), GetDesktopWindow(), copyProc, 0);
                };
                RunModal(show, [](HWND dialog) {
                    HDC dc = GetDC(dialog);
                    HGDIOBJ old = SelectObject(dc, (HFONT) SendMessageA(dialog, WM_GETFONT, 0, 0));
                    char face[LF_FACESIZE];
                    GetTextFaceA(dc, sizeof face, face);
                    EXPECT_TRUE(!layoutWide || !strcmp(face, "DejaVu Sans")) << face;
                    SelectObject(dc, old);
                    ReleaseDC(dialog, dc);
                    RECT at;
                    GetWindowRect(dialog, &at);
                    OffsetRect(&at, 7, 5); /* where Windows would have it */
                    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(layoutDpi, layoutDpi), (LPARAM) &at);
                    RECT now, inside;
                    GetWindowRect(dialog, &now);
                    EXPECT_TRUE(now.left == at.left && now.top == at.top);
                    EXPECT_EQ(now.right - now.left, MulDiv(SKIN_SIZE, layoutDpi, 96));
                    EXPECT_EQ(now.bottom - now.top, MulDiv(SKIN_SIZE, layoutDpi, 96));
                    GetClientRect(dialog, &inside);
                    InflateRect(&inside, -MulDiv(SKIN_PANEL_INSET, layoutDpi, 96), -MulDiv(SKIN_PANEL_INSET, layoutDpi, 96));
                    std::vector<RECT> boxes = ExpectEveryTextWholeAndNoOverlap(dialog);
                    HWND c = GetWindow(dialog, GW_CHILD);
                    for (size_t i = 0; i < boxes.size(); i++, c = GetWindow(c, GW_HWNDNEXT)) {
                        RECT both, room = inside; /* the link, white on the frame: inside the window */
                        if (GetDlgCtrlID(c) == IDC_LINK)
                            GetClientRect(dialog, &room);
                        UnionRect(&both, &boxes[i], &room);
                        EXPECT_TRUE(EqualRect(&both, &room)) << "control " << i << " outside";
                    }
                    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                });
            }
}

TEST_F(Dialogs, OnAnotherMonitorsDpiTheWarningTakesItsArtworkFontAndPlacesAndPaintsIt)
{
    RunModal(ShowWarning, [](HWND dialog) {
        DialogSkin *skin = DialogSkinOf(dialog);
        LOGFONTA before, after;
        GetObjectA((HFONT) SendDlgItemMessageA(dialog, IDOK, WM_GETFONT, 0, 0), sizeof before, &before);
        RECT at = {40, 30, 0, 0}; /* Wine has one DPI: what Windows sends on a move to a 150 % monitor */
        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), (LPARAM) &at);
        BITMAP art;
        GetObjectA(skin->bitmap, sizeof art, &art);
        EXPECT_EQ(art.bmWidth, 375);
        RECT ok = ChildRect(dialog, IDOK), later = ChildRect(dialog, IDC_LATER);
        EXPECT_TRUE(ok.left == 195 && ok.top == 279 && ok.right == 315 && ok.bottom == 312);
        EXPECT_TRUE(later.left == 195 && later.top == 237 && later.right == 315);
        GetObjectA((HFONT) SendDlgItemMessageA(dialog, IDC_LINK, WM_GETFONT, 0, 0), sizeof after, &after);
        EXPECT_EQ(after.lfHeight, MulDiv(before.lfHeight, 144, 96));

        /* Painted, it is the generator's 150 % artwork wherever that is not green. */
        Surface painted = MakeSurface(375), drawn = MakeSurface(375);
        for (int i = 0; i < 375 * 375; i++)
            painted.bits[i] = 0x123456;
        SendMessageA(dialog, WM_CTLCOLORDLG, (WPARAM) painted.dc, (LPARAM) dialog);
        HRSRC found = FindResourceA(hInst, "KAVRIWARN150", (LPCSTR) RT_BITMAP);
        const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *) LockResource(LoadResource(hInst, found));
        StretchDIBits(drawn.dc, 0, 0, 375, 375, 0, 0, 375, 375, (const BYTE *) header + 40 + 256 * 4,
                      (const BITMAPINFO *) header, DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
        int wrong = 0, keyed = 0, green = 0;
        for (int i = 0; i < 375 * 375; i++) {
            DWORD want = drawn.bits[i] & 0xFFFFFF, got = painted.bits[i] & 0xFFFFFF;
            keyed += want == 0x00FF00;
            wrong += want != 0x00FF00 && got != want;
            green += got == 0x00FF00;
        }
        EXPECT_GT(keyed, 0);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(green, 0);
        FreeSurface(painted);
        FreeSurface(drawn);

        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(96, 96), (LPARAM) &at); /* and back */
        GetObjectA(skin->bitmap, sizeof art, &art);
        EXPECT_EQ(art.bmWidth, SKIN_SIZE);
        EXPECT_EQ(ChildRect(dialog, IDOK).left, 130);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
}

TEST_F(Dialogs, OutgrownButtonsStayInTheDialogAndARightAlignedLabelGrowsLeftwards)
{
    RunModal(ShowWarning, [](HWND dialog) {
        RECT link = ChildRect(dialog, IDC_LINK);
        SetDlgItemTextA(dialog, IDOK, "Cleaned them, remind me next week");
        SetDlgItemTextA(dialog, IDC_LINK, "https://quilmaren.com/filters/cleaning");
        FitControlsToText(dialog);
        ExpectEveryTextWholeAndNoOverlap(dialog);
        EXPECT_LE(ChildRect(dialog, IDOK).right, SKIN_SIZE);
        EXPECT_EQ(ChildRect(dialog, IDC_LINK).right, link.right);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
}

/* The item to choose, counted from 1, in the menu that Later opens; 0 closes it. Chosen with
   the keys, from a timer inside the menu's modal loop. */
int menuItem;

VOID CALLBACK ChooseFromMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menu = FindWindowA("#32768", NULL);
    if (!menu || !IsWindowVisible(menu))
        return;
    KillTimer(NULL, timer);
    if (!menuItem)
        EndMenu();
    for (int i = 0; i < menuItem; i++)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 1);
    if (menuItem)
        PostMessageA(menu, WM_CHAR, '\r', 1);
}

HHOOK showHook;
RECT shownAt; /* the dialog's place as it first showed */

LRESULT CALLBACK OnShown(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *m = (const CWPRETSTRUCT *) lParam;
    if (m->hwnd == lastDialog && m->message == WM_WINDOWPOSCHANGED && IsRectEmpty(&shownAt) &&
        (((const WINDOWPOS *) m->lParam)->flags & SWP_SHOWWINDOW))
        GetWindowRect(m->hwnd, &shownAt);
    return CallNextHookEx(showHook, code, wParam, lParam);
}

/* Placed before it first shows: it appears where it belongs, and nowhere else first. */
TEST_F(Dialogs, EachDialogFirstShowsWhereItBelongs)
{
    showHook = SetWindowsHookExA(WH_CALLWNDPROCRET, OnShown, NULL, GetCurrentThreadId());
    for (void (*show)(void) : {OpenWarning, ShowSetup}) {
        SetRectEmpty(&shownAt);
        RunModal(show, [](HWND dialog) {
            ExpectSkinnedFrame(dialog);
            RECT now;
            GetWindowRect(dialog, &now);
            EXPECT_TRUE(EqualRect(&shownAt, &now)) << "first shown at " << shownAt.left << ", " << shownAt.top;
            EndDialog(dialog, 0);
        });
    }
    UnhookWindowsHookEx(showHook);
}

TEST_F(Dialogs, WarningIsCentredAndItsAnswersEndItOrPutItOff)
{
    /* Minutes from now to the stored moment, or what became of it. Tomorrow is at the default 07:29. */
    const long long cleared = -1, tomorrow = -2, kept = -3;
    const struct {
        int line;
        std::vector<WPARAM> keys; /* pressed in the warning */
        int item;                 /* then chosen in Later's menu, if it opens */
        long long postponedFor;
    } cases[] = {
        {__LINE__, {VK_RETURN}, 0, cleared},
        {__LINE__, {VK_ESCAPE}, 0, 60},
        {__LINE__, {VK_TAB, VK_SPACE}, 2, 4 * 60},
        {__LINE__, {VK_TAB, VK_SPACE}, 3, tomorrow},
        {__LINE__, {VK_TAB, VK_SPACE, VK_ESCAPE}, 0, 60}, /* the menu closed without a choice: still open */
        {__LINE__, {0}, 0, kept},                         /* ended unanswered, as the program closed */
    };
    for (const auto &c : cases) {
        reminderState = ReminderState{};
        Store(SETTING_POSTPONED_UNTIL, 12345); /* long past: it comes at once, and is answered */
        long long before = MomentNow();
        RunModal(CheckReminder, [&](HWND dialog) {
            ExpectSkinnedFrame(dialog);
            char title[100];
            GetWindowTextA(dialog, title, sizeof title);
            EXPECT_STREQ(title, "Quilmaren Filters: clean your dust filters now");
            RECT ok = ChildRect(dialog, IDOK), later = ChildRect(dialog, IDC_LATER);
            EXPECT_TRUE(ok.left == 130 && ok.top == 186 && ok.right - ok.left == 80 && ok.bottom - ok.top == 22);
            EXPECT_TRUE(later.right - later.left == 80 && later.bottom - later.top == 22);
            EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
            menuItem = c.item;
            UINT_PTR timer = SetTimer(NULL, 0, 20, ChooseFromMenu);
            for (WPARAM key : c.keys)
                if (!IsWindowVisible(dialog)) /* ended */
                    break;
                else if (!key)
                    EndDialog(dialog, 0);
                else if (key == VK_SPACE) /* the focused button pressed */
                    SendMessageA(GetFocus(), BM_CLICK, 0, 0);
                else
                    PressKey(dialog, key);
            KillTimer(NULL, timer);
        });
        long long stored = ReadSettingLong(SETTING_POSTPONED_UNTIL), after = MomentNow();
        if (c.postponedFor == cleared || c.postponedFor == kept)
            EXPECT_EQ(stored, c.postponedFor == kept ? 12345 : 0) << "case at line " << c.line;
        else if (c.postponedFor == tomorrow)
            EXPECT_EQ(stored, (after / MINUTES_PER_DAY + 1) * MINUTES_PER_DAY + 7 * 60 + 29) << "case at line " << c.line;
        else
            EXPECT_TRUE(stored >= before + c.postponedFor && stored <= after + c.postponedFor)
                << "case at line " << c.line << ": " << stored - before;
    }
}

TEST_F(Dialogs, TheWarningsButtonsCoverOnlyThePlainPanel)
{
    /* Neither the message nor the picture may lie under a button: there the skin is the
       panel's light background alone. */
    HPALETTE palette = NULL;
    HBITMAP skin = LoadSkinBitmap("KAVRIWARN", hInst, &palette);
    ASSERT_TRUE(skin);
    std::vector<DWORD> pixels = BitmapPixels(skin);
    DeleteObject(skin);
    RunModal(ShowWarning, [&](HWND dialog) {
        for (int id : {IDOK, IDC_LATER}) {
            RECT r = ChildRect(dialog, id);
            int ink = 0;
            for (int y = r.top; y < r.bottom; y++)
                for (int x = r.left; x < r.right; x++) {
                    DWORD p = pixels[y * SKIN_SIZE + x];
                    ink += (p & 0xFF) < 0xD0 || (p >> 8 & 0xFF) < 0xD0 || (p >> 16 & 0xFF) < 0xD0;
                }
            EXPECT_EQ(ink, 0) << "control " << id;
        }
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
}

TEST_F(Dialogs, SetupListsDropDownSeveralRowsYetLookAlikeClosed)
{
    RunModal(ShowSetup, [](HWND dialog) {
        char title[100];
        GetWindowTextA(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Quilmaren Filters Setup");

        RECT period;
        GetWindowRect(GetDlgItem(dialog, IDC_FREQUENCY), &period);
        for (int id : {IDC_FREQUENCY, IDC_HOURS, IDC_MINUTES}) {
            HWND list = GetDlgItem(dialog, id);
            RECT closed, dropped;
            GetWindowRect(list, &closed);
            SendMessageA(list, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM) &dropped);
            int row = (int) SendMessageA(list, CB_GETITEMHEIGHT, 0, 0);
            int field = closed.bottom - closed.top;
            /* What Windows drops is this rectangle, less the field: at least six rows. */
            EXPECT_GE(dropped.bottom - dropped.top - field, 6 * row) << "list " << id;
            EXPECT_EQ(field, period.bottom - period.top) << "list " << id;
            EXPECT_EQ(closed.right - closed.left, period.right - period.left) << "list " << id;
        }
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(Dialogs, OnlyTheLinkIsClientAreaEvenAtNegativeCoordinates)
{
    RunModal(ShowSetup, [](HWND dialog) {
        for (POINT origin : {POINT{100, 80}, POINT{-180, -120}}) {
            MoveWindow(dialog, origin.x, origin.y, SKIN_SIZE, SKIN_SIZE, FALSE);
            RECT link;
            GetWindowRect(GetDlgItem(dialog, IDC_LINK), &link);
            const struct {
                POINT at;
                LRESULT expected;
            } cases[] = {
                {{(link.left + link.right) / 2, (link.top + link.bottom) / 2}, HTCLIENT},
                {{link.left, link.top}, HTCLIENT},
                {{link.right, link.bottom}, HTCAPTION}, /* PtInRect excludes the far edges */
                {{origin.x + 125, origin.y + 5}, HTCAPTION},
                {{origin.x + 60, origin.y + 120}, HTCAPTION},
                {{link.left - 1, link.top}, HTCAPTION},
            };
            for (const auto &c : cases)
                EXPECT_EQ(HitTest(dialog, c.at), c.expected) << c.at.x << "," << c.at.y;
        }
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(Dialogs, LinkIsWhiteRedWhilePressedOtherTextBlackAllTransparent)
{
    RunModal(ShowWarning, [](HWND dialog) {
        DialogSkin *skin = DialogSkinOf(dialog);
        ASSERT_TRUE(skin);
        HDC dc = CreateCompatibleDC(NULL);
        HWND link = GetDlgItem(dialog, IDC_LINK), ok = GetDlgItem(dialog, IDOK);
        const struct {
            HWND control;
            int pressed;
            COLORREF colour;
        } cases[] = {{link, 0, 0x00FFFFFF}, {link, 1, 0x000000FF}, {ok, 0, 0}, {ok, 1, 0}};
        for (const auto &c : cases) {
            skin->linkPressed = c.pressed;
            SetBkMode(dc, OPAQUE);
            LRESULT brush = SendMessageA(dialog, WM_CTLCOLORSTATIC, (WPARAM) dc, (LPARAM) c.control);
            EXPECT_EQ(GetTextColor(dc), c.colour);
            EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
            EXPECT_EQ((HGDIOBJ) brush, GetStockObject(NULL_BRUSH));
        }
        skin->linkPressed = 0;
        DeleteDC(dc);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
}

/* The shell's "open", recorded instead of run: what was opened and the link's colour then. */
struct Opened {
    std::string verb, file;
    COLORREF linkColour;
};
std::vector<Opened> opened;

BOOL WINAPI RecordOpen(SHELLEXECUTEINFOW *open)
{
    HDC dc = CreateCompatibleDC(NULL);
    SendMessageA(open->hwnd, WM_CTLCOLORSTATIC, (WPARAM) dc, (LPARAM) GetDlgItem(open->hwnd, IDC_LINK));
    opened.push_back({std::string(open->lpVerb, open->lpVerb + lstrlenW(open->lpVerb)),
                      std::string(open->lpFile, open->lpFile + lstrlenW(open->lpFile)), GetTextColor(dc)});
    DeleteDC(dc);
    open->hInstApp = (HINSTANCE) 42;
    return TRUE;
}

TEST_F(Dialogs, LinkOpensOnlyAfterAMoveOverItAndIsRedMeanwhile)
{
    void *shellOpen = (void *) GetProcAddress(GetModuleHandleA("shell32.dll"), "ShellExecuteExW");
    ASSERT_GT(PatchImport("shell32.dll", shellOpen, (const void *) RecordOpen), 0);
    opened.clear();
    RunModal(ShowSetup, [](HWND dialog) {
        DialogSkin *skin = DialogSkinOf(dialog);
        ASSERT_TRUE(skin && skin->handCursor);
        RECT link = ChildRect(dialog, IDC_LINK);
        LPARAM onLink = MAKELPARAM((link.left + link.right) / 2, (link.top + link.bottom) / 2);
        LPARAM setCursor = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);

        /* The dialog came up under a resting pointer: a click does nothing. */
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, onLink);
        EXPECT_TRUE(opened.empty());

        SendMessageA(dialog, WM_MOUSEMOVE, 0, onLink);
        EXPECT_TRUE(SendMessageA(dialog, WM_SETCURSOR, (WPARAM) dialog, setCursor));
        EXPECT_EQ(GetCursor(), skin->handCursor);
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, onLink);
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0].verb, "open");
        EXPECT_EQ(opened[0].file, LINK_ADDRESS);
        EXPECT_EQ(opened[0].linkColour, (COLORREF) LINK_PRESSED_COLOUR);
        EXPECT_FALSE(skin->linkPressed); /* white again */

        SendMessageA(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
        SendMessageA(dialog, WM_SETCURSOR, (WPARAM) dialog, setCursor);
        EXPECT_EQ(GetCursor(), skin->arrowCursor);
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, onLink);
        EXPECT_EQ(opened.size(), 1u);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    PatchImport("shell32.dll", (const void *) RecordOpen, shellOpen);
}

TEST_F(Dialogs, SetupListsShowStoredOrDefaultValuesAndOkStoresThem)
{
    const struct {
        int line;
        int frequency, hours, minutes;    /* stored; 0 = absent */
        int selFrequency, selHours, selMinutes;
        const char *okFrequency, *okHours, *okMinutes;
    } cases[] = {
        {__LINE__, 0, 0, 0, 6, 7, 29, "7", "8", "30"}, /* defaults: 7 days, 07:29 */
        {__LINE__, 14, 19, 46, 13, 18, 45, "14", "19", "46"},
        {__LINE__, 1, 1, 1, 0, 0, 0, "1", "1", "1"},
        {__LINE__, 100, 24, 60, 99, 23, 59, "100", "24", "60"},
        {__LINE__, 150, 25, 61, -1, -1, -1, "0", "0", "0"}, /* outside the lists: no selection */
        {__LINE__, -3, -1, 0, -1, -1, 29, "0", "0", "30"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("case at line " + std::to_string(c.line));
        ClearSettings();
        Store(SETTING_START_DAY, GetDayNumber() - 3);
        if (c.frequency) Store(SETTING_FREQUENCY, c.frequency);
        if (c.hours) Store(SETTING_HOURS, c.hours);
        if (c.minutes) Store(SETTING_MINUTES, c.minutes);

        RunModal(ShowSetup, [&](HWND dialog) {
            ExpectSkinnedFrame(dialog);
            const struct {
                int id, count, selection;
                const char *first, *last;
            } lists[] = {{IDC_FREQUENCY, 100, c.selFrequency, "1", "100"},
                         {IDC_HOURS, 24, c.selHours, "00", "23"},
                         {IDC_MINUTES, 60, c.selMinutes, "00", "59"}};
            for (const auto &l : lists) {
                char text[16];
                EXPECT_EQ(SendDlgItemMessageA(dialog, l.id, CB_GETCOUNT, 0, 0), l.count);
                EXPECT_EQ(SendDlgItemMessageA(dialog, l.id, CB_GETCURSEL, 0, 0), l.selection) << "list " << l.id;
                SendDlgItemMessageA(dialog, l.id, CB_GETLBTEXT, 0, (LPARAM) text);
                EXPECT_STREQ(text, l.first);
                SendDlgItemMessageA(dialog, l.id, CB_GETLBTEXT, l.count - 1, (LPARAM) text);
                EXPECT_STREQ(text, l.last);
            }
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(ReadSettingInt(SETTING_START_DAY), GetDayNumber());
        EXPECT_EQ(StoredText(SETTING_FREQUENCY), c.okFrequency);
        EXPECT_EQ(StoredText(SETTING_HOURS), c.okHours);
        EXPECT_EQ(StoredText(SETTING_MINUTES), c.okMinutes);
    }
}

TEST_F(Dialogs, WhatAPolicySetsSetupLeavesAndWithoutLaterEscDoesNothing)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, POLICY_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL), ERROR_SUCCESS);
    DWORD three = 3, no = 0;
    RegSetValueExA(key, POLICY_FREQUENCY, 0, REG_DWORD, (const BYTE *) &three, sizeof three);
    RegSetValueExA(key, POLICY_ALLOW_LATER, 0, REG_DWORD, (const BYTE *) &no, sizeof no);
    RegSetValueExA(key, POLICY_FIRST_DAY, 0, REG_SZ, (const BYTE *) "2009-03-20", 11);
    RegCloseKey(key);
    Store(SETTING_START_DAY, 1234);
    Store(SETTING_FREQUENCY, 9);
    RunModal(ShowSetup, [](HWND dialog) { SendMessageA(dialog, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(StoredText(SETTING_START_DAY) + " " + StoredText(SETTING_FREQUENCY) + " " + StoredText(SETTING_HOURS),
              "1234 9 8");
    Store(SETTING_POSTPONED_UNTIL, 12345); /* long past: it comes at once */
    RunModal(CheckReminder, [](HWND dialog) {
        EXPECT_FALSE(GetDlgItem(dialog, IDC_LATER));
        PressKey(dialog, VK_ESCAPE);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Esc put it off";
        PressKey(dialog, VK_RETURN);
    });
    RegDeleteKeyA(HKEY_CURRENT_USER, POLICY_KEY);
    EXPECT_EQ(ReadSettingLong(SETTING_POSTPONED_UNTIL), 0);
}

TEST_F(Dialogs, CancelAndEscStoreNothing)
{
    for (WPARAM key : {(WPARAM) 0, (WPARAM) VK_ESCAPE}) {
        ClearSettings();
        Store(SETTING_START_DAY, 1234);
        Store(SETTING_FREQUENCY, 3);
        RunModal(ShowSetup, [&](HWND dialog) {
            SendDlgItemMessageA(dialog, IDC_FREQUENCY, CB_SETCURSEL, 40, 0);
            if (key)
                PressKey(dialog, key);
            else
                SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            EXPECT_FALSE(IsWindowVisible(dialog));
        });
        EXPECT_EQ(StoredText(SETTING_START_DAY), "1234");
        EXPECT_EQ(StoredText(SETTING_FREQUENCY), "3");
        EXPECT_EQ(StoredText(SETTING_HOURS), "");
        EXPECT_EQ(StoredText(SETTING_MINUTES), "");
    }
}

TEST_F(Dialogs, MissingSkinGivesAPlainDialogOfTheSameSize)
{
    HMODULE plain = LoadLibraryA("bare_resources.dll");
    ASSERT_TRUE(plain);
    hInst = plain;
    for (void (*show)(void) : {OpenWarning, ShowSetup}) {
        RunModal(show, [](HWND dialog) {
            ExpectSkinnedFrame(dialog);
            DialogSkin *skin = DialogSkinOf(dialog);
            ASSERT_TRUE(skin);
            EXPECT_FALSE(skin->bitmap);
            EXPECT_FALSE(skin->palette);
            HDC dc = GetDC(dialog);
            LRESULT brush = SendMessageA(dialog, WM_CTLCOLORDLG, (WPARAM) dc, (LPARAM) dialog);
            EXPECT_TRUE(brush && (HGDIOBJ) brush != GetStockObject(NULL_BRUSH)); /* the default background */
            ReleaseDC(dialog, dc);
            if (!GetDlgItem(dialog, IDCANCEL)) {
                RECT ok = ChildRect(dialog, IDOK);
                EXPECT_EQ(ok.left, 130);
                EXPECT_EQ(ok.top, 186);
            }
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
    }
    hInst = GetModuleHandleA(NULL);
    FreeLibrary(plain);
}

TEST_F(Dialogs, AfterADisplayChangeOnlyADialogOffTheMonitorsComesBackCentred)
{
    RunModal(ShowSetup, [](HWND dialog) {
        RECT screen, w;
        GetClientRect(GetDesktopWindow(), &screen);
        /* Wholly on the monitor it stays; off it, or half off, it comes back to the middle. */
        for (LONG x : {10L, screen.right + 100, screen.right - SKIN_SIZE / 2}) {
            SetWindowPos(dialog, NULL, x, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            SendMessageA(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(screen.right, screen.bottom));
            GetWindowRect(dialog, &w);
            EXPECT_EQ(w.left, x == 10 ? 10 : (screen.right - SKIN_SIZE) / 2) << x;
            EXPECT_EQ(w.top, x == 10 ? 20 : (screen.bottom - SKIN_SIZE) / 2) << x;
        }
        EndDialog(dialog, 0);
    });
}

TEST_F(Dialogs, OpeningAndClosingLeakNothing)
{
    auto cycle = [] {
        RunModal(ShowSetup, [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); });
        RunModal(ShowWarning, [](HWND d) { SendMessageA(d, WM_COMMAND, IDOK, 0); });
    };
    cycle(); /* warms Wine's caches */
    int gdi = GdiHeadroom(), user = UserHeadroom();
    const int cycles = Count(100, 2000);
    for (int i = 0; i < cycles; i++)
        cycle();
    int gdiAfter = GdiHeadroom(), userAfter = UserHeadroom();
    printf("%d open-close cycles of each dialog: GDI headroom %d before, %d after; USER %d, %d\n", cycles, gdi,
           gdiAfter, user, userAfter);
    EXPECT_EQ(gdiAfter, gdi);
    EXPECT_EQ(userAfter, user);
}

/* Another program's window in the foreground, as when the person started us from it. */
HWND OtherWindow()
{
    HWND other = CreateWindowExA(0, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL,
                                 NULL, NULL);
    SetForegroundWindow(other);
    return other;
}

TEST_F(Dialogs, AnotherStartBringsTheOpenWarningForwardBeforeSetup)
{
    EXPECT_FALSE(BringDialogForward()) << "no dialog is open";
    RunModal(ShowSetup, [](HWND setup) {
        HWND other = OtherWindow();
        ASSERT_EQ(GetForegroundWindow(), other);
        EXPECT_TRUE(BringDialogForward());
        EXPECT_EQ(GetForegroundWindow(), setup);
        RunModal(ShowWarning, [setup](HWND warning) {
            SetForegroundWindow(setup); /* the person went back to Setup */
            HWND other = OtherWindow();
            EXPECT_TRUE(BringDialogForward());
            EXPECT_EQ(GetForegroundWindow(), warning);
            DestroyWindow(other);
            SendMessageA(warning, WM_COMMAND, IDOK, 0);
        });
        DestroyWindow(other);
        SendMessageA(setup, WM_COMMAND, IDCANCEL, 0);
    });
}

decltype(&SetForegroundWindow) realSetForeground;

BOOL WINAPI AskForForeground(HWND window)
{
    foregroundPinned = false;
    return realSetForeground(window);
}

std::vector<std::string> closed; /* each dialog that showed: its title, and whether it was in front */

BOOL CALLBACK CloseShownDialog(HWND window, LPARAM)
{
    char cls[16], title[100];
    if (IsWindowVisible(window) && GetClassNameA(window, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0) {
        GetWindowTextA(window, title, sizeof title);
        closed.push_back(std::string(title) + (GetForegroundWindow() == window ? ", in front" : ", behind"));
        EndDialog(window, 0);
    }
    return TRUE;
}

VOID CALLBACK CloseShownDialogs(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CloseShownDialog, 0);
}

TEST_F(Dialogs, SetupFromTheTrayOrSecondStartsIsOneInFrontAndAWarningOnItsWayComesInstead)
{
    if (!cbtHook)
        cbtHook = SetWindowsHookExA(WH_CBT, OnCbt, NULL, GetCurrentThreadId());
    realSetForeground = (decltype(realSetForeground)) (void (*)(void)) GetProcAddress(
        GetModuleHandleA("user32.dll"), "SetForegroundWindow");
    ASSERT_GT(PatchImport("user32.dll", (const void *) realSetForeground, (const void *) AskForForeground), 0);
    lstrcpynA(className, MAIN_CLASS_NAME, SHELL_TEXT_SIZE);
    RegisterMainWindowClass(hInst);
    HWND main = CreateWindowExA(0, className, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, NULL, NULL, hInst, NULL);
    const std::string setup = SETUP_TITLE ", in front", warning = WARNING_TITLE ", in front";
    const struct {
        int line;
        void (*act)(HWND main);
        std::vector<std::string> closed;
    } cases[] = {
        {__LINE__, [](HWND main) { OpenSetup(main); }, {setup}}, /* the tray menu's Setup */
        {__LINE__, [](HWND main) {
             PostMessageA(main, WM_ANOTHERSTART, 0, 0);
             SendMessageA(main, WM_ANOTHERSTART, 0, 0);
         }, {setup}}, /* two starts at once */
        {__LINE__, [](HWND main) {
             StoreCycleStartedDaysAgo(7);
             PostMessageA(main, WM_ANOTHERSTART, 0, 0); /* handled once the alarm is over */
             CheckReminder();
         }, {warning}},
    };
    for (const auto &c : cases) {
        ClearSettings();
        HWND other = OtherWindow();
        foregroundPinned = true;
        closed.clear();
        UINT_PTR timer = SetTimer(NULL, 0, 50, CloseShownDialogs);
        c.act(main);
        KillTimer(NULL, timer);
        foregroundPinned = false;
        DestroyWindow(other);
        EXPECT_EQ(closed, c.closed) << "case at line " << c.line;
    }
    DestroyWindow(main);
    MSG quit; /* the main window's, which would end the next dialog */
    PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
    PatchImport("user32.dll", (const void *) AskForForeground, (const void *) realSetForeground);
}

TEST_F(Dialogs, OuterSetupClosedBeforeTheWarningOverItStillStores)
{
    Store(SETTING_START_DAY, 5);
    RunModal(ShowSetup, [](HWND setup) {
        SendDlgItemMessageA(setup, IDC_FREQUENCY, CB_SETCURSEL, 2, 0);
        RunModal(ShowWarning, [setup](HWND warning) {
            SendMessageA(setup, WM_COMMAND, IDOK, 0); /* the one underneath first */
            EXPECT_TRUE(IsWindowVisible(warning));
            SendMessageA(warning, WM_COMMAND, IDOK, 0);
        });
    });
    EXPECT_EQ(ReadSettingInt(SETTING_START_DAY), GetDayNumber());
    EXPECT_EQ(StoredText(SETTING_FREQUENCY), "3");
    EXPECT_EQ(StoredText(SETTING_HOURS), "8");
}

TEST_F(Dialogs, NextDueDayWithTheWarningOpenOpensNoSecond)
{
    StoreCycleStartedDaysAgo(7);
    Store(SETTING_FREQUENCY, 1);
    int warnings = 0;
    RunModal(CheckReminder, [&](HWND first) {
        warnings++;
        /* As if midnight had passed with the warning open: it was yesterday's. */
        reminderState.lastDueDay = 0;
        Store(SETTING_LAST_WARNING_DAY, GetDayNumber() - 1);
        lastDialog = NULL;
        CheckReminder();
        EXPECT_FALSE(lastDialog) << "a second warning opened";
        EXPECT_EQ(reminderState.warningPending, 0);
        EXPECT_EQ(ReadSettingInt(SETTING_LAST_WARNING_DAY), GetDayNumber()); /* it counts as shown */
        EXPECT_TRUE(IsWindowVisible(first));
        SendMessageA(first, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(warnings, 1);
}

TEST_F(Dialogs, MissingAlarmStillShowsTheWarning)
{
    HMODULE bare = LoadLibraryA("bare_resources.dll");
    ASSERT_TRUE(bare);
    hInst = bare;
    StoreCycleStartedDaysAgo(7);
    bool shown = false;
    RunModal(CheckReminder, [&](HWND warning) {
        shown = true;
        SendMessageA(warning, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(shown);
    hInst = GetModuleHandleA(NULL);
    FreeLibrary(bare);
}

TEST_F(Dialogs, HandEditedValuesOfAnyTypeNeverShowGarbage)
{
    const struct {
        DWORD type;
        std::string data;
        int selection; /* of the period list */
    } cases[] = {
        {REG_DWORD, std::string("\x0c\0\0\0", 4), 6},       /* not text: reads as 0, the default */
        {REG_BINARY, "12", 11},
        {REG_SZ, "", 6},                                      /* 0 bytes */
        {REG_SZ, std::string(18, '0') + "5", 4},              /* 19 bytes, no terminator */
        {REG_SZ, std::string(19, '0') + "5", 6},              /* 20 bytes: does not fit with one */
        {REG_SZ, std::string(21, '9'), 6},
        {REG_SZ, std::string(100, '9'), 6},
        {REG_MULTI_SZ, std::string("40\0\0", 4), 39},
        {REG_QWORD, std::string(8, '\xff'), 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + ", " + std::to_string(c.data.size()) + " bytes");
        ClearSettings();
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, PRODUCT_KEY "\\Options", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                                  NULL), 0);
        RegSetValueExA(key, SETTING_FREQUENCY, 0, c.type, (const BYTE *) c.data.data(), (DWORD) c.data.size());
        RegCloseKey(key);
        RunModal(ShowSetup, [&](HWND dialog) {
            LRESULT selected = SendDlgItemMessageA(dialog, IDC_FREQUENCY, CB_GETCURSEL, 0, 0);
            EXPECT_EQ(selected, c.selection);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(StoredText(SETTING_FREQUENCY), std::to_string(c.selection + 1));
    }
}

TEST_F(Dialogs, NestedDialogsOwnTheirSkinsAndLeakNothing)
{
    int before = 0;
    for (int round = 0; round < 4; round++) {
        if (round == 1)
            before = GdiHeadroom(); /* after one round has warmed Wine's caches */
        RunModal(ShowSetup, [](HWND setup) {
            DialogSkin *outer = DialogSkinOf(setup);
            /* A warning over Setup, a second Setup over both, and a warning over the warning. */
            RunModal(ShowWarning, [outer](HWND warning) {
                DialogSkin *inner = DialogSkinOf(warning);
                ASSERT_TRUE(inner && inner != outer);
                EXPECT_NE(inner->bitmap, outer->bitmap);
                EXPECT_NE(inner->handCursor, outer->handCursor);
                RunModal(ShowSetup, [](HWND second) {
                    RunModal(ShowWarning, [](HWND w) { SendMessageA(w, WM_COMMAND, IDOK, 0); });
                    SendMessageA(second, WM_COMMAND, IDCANCEL, 0);
                });
                SendMessageA(warning, WM_COMMAND, IDOK, 0);
            });
            /* The outer dialog's skin and cursor survive the inner ones. */
            ICONINFO cursor;
            ASSERT_TRUE(GetIconInfo(outer->handCursor, &cursor));
            DeleteObject(cursor.hbmMask);
            DeleteObject(cursor.hbmColor);
            BITMAP info;
            EXPECT_EQ(GetObjectA(outer->bitmap, sizeof info, &info), (int) sizeof info);
            Surface s = MakeSurface(SKIN_SIZE);
            FillBackground(s);
            PaintSkin(s.dc, outer->bitmap, outer->palette, SETUP_KEY_COLOUR);
            GdiFlush();
            int keyPixels;
            EXPECT_EQ(KeyedMismatches(s, BitmapPixels(outer->bitmap), SETUP_KEY_COLOUR, &keyPixels), 0);
            FreeSurface(s);
            SendMessageA(setup, WM_COMMAND, IDCANCEL, 0);
        });
    }
    EXPECT_EQ(GdiHeadroom(), before);
}

} // namespace

int main(int argc, char **argv)
{
    hInst = GetModuleHandleA(NULL);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
