/* Skinned dialogs: bitmap skins drawn with one key colour left transparent,
   the behaviour both dialogs share, and the Setup and Warning dialogs. */
#ifndef QUILMAREN_SKIN_H
#define QUILMAREN_SKIN_H

#include <windows.h>

#define SKIN_SIZE 250        /* dialog width and height in pixels */
#define SKIN_PANEL_INSET 10  /* the white panel behind the skin */
#define SETUP_KEY_COLOUR 0x00FF00FF   /* magenta */
#define WARNING_KEY_COLOUR 0x0000FF00 /* green */
#define LINK_TEXT_SIZE 100

/* What the taskbar, Alt+Tab and screen readers show; the skin hides the title bar. */
#define SETUP_TITLE "Quilmaren Filters Setup"
#define WARNING_TITLE "Quilmaren Filters: clean your dust filters now"

/* Link colours as COLORREF. */
#define LINK_COLOUR 0x00FFFFFF
#define LINK_PRESSED_COLOUR 0x000000FF
#define TEXT_COLOUR 0x00000000

/* One open dialog's skin state; every dialog has its own. */
struct DialogSkin {
    HBITMAP bitmap;      /* null when the skin resource is missing */
    HPALETTE palette;    /* null for skins of more than 8 bits per pixel */
    HCURSOR handCursor;  /* "KAVRICUR", destroyed with the dialog */
    HCURSOR arrowCursor; /* shared system arrow, never destroyed */
    int overLink;
    int linkPressed;
    int dpi;            /* what the dialog is laid out and drawn for */
    int fontDpi;        /* what the template's font was made for */
    HFONT font;         /* the controls' font made for dpi, or null for the template's */
    LPCSTR skinName;    /* the artwork's resource name, for another scale */
};

HBITMAP LoadSkinBitmap(LPCSTR name, HINSTANCE instance, HPALETTE *palette);
HBITMAP CreateSkinBitmap(const BITMAPINFOHEADER *header, HPALETTE *palette);
HPALETTE CreateDibPalette(const BITMAPINFOHEADER *header, int *entries);
void DrawKeyedBitmap(HDC target, HBITMAP bitmap, HPALETTE palette, COLORREF key, int width, int height);
void PaintSkin(HDC target, HBITMAP bitmap, HPALETTE palette, COLORREF key);

DialogSkin *CreateDialogSkin(HWND dialog, LPCSTR skinName);
DialogSkin *DialogSkinOf(HWND dialog);
INT_PTR SkinnedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DialogSkin *skin,
                          COLORREF key);
void SizeSkinnedDialog(HWND dialog);
void CenterWindow(HWND window);
void FitControlsToText(HWND dialog);
void FreeSkin(DialogSkin *skin);
/* A second start came while a warning was on its way: the warning takes the front as it shows. */
extern BOOL warningForwardWanted;

/* Placement on the monitors. */
#define MONITORS_KNOWN 16 /* monitors looked at, at most */
struct ScreenMonitor {
    HMONITOR handle;
    RECT area; /* the whole monitor, in virtual-screen coordinates */
    RECT work; /* less the taskbar and docked bars */
    BOOL primary;
};
/* What the choice of a monitor looks at. */
struct MonitorView {
    ScreenMonitor monitors[MONITORS_KNOWN];
    int count;
    HMONITOR frontMonitor; /* the window in front's, or null: nothing, or the desktop, is in front */
    DWORD frontProcess;    /* the process of the window in front */
    DWORD ownProcess;
    BOOL pointerKnown;
    POINT pointer;
};
int ChooseMonitor(const MonitorView *view);
void CentreOnWorkMonitor(HWND window);
void KeepOnMonitors(HWND window);
/* Scale: every pixel measure above is at 96 DPI and scales with the dialog's DPI. */
void BecomeDpiAware(void);
int WindowDpi(HWND window);
int ScaleToDpi(int pixels, int dpi);
int ArtworkSize(int percent);
HBITMAP LoadArtworkForDpi(LPCSTR name, int dpi, HPALETTE *palette);
void InitDialogDpi(HWND dialog, LPCSTR skinName);
void ChangeDialogDpi(HWND dialog, DialogSkin *skin, int dpi, const RECT *suggested);
void SetControlsFont(HWND dialog, DialogSkin *skin, HFONT font);
void FreeDialogFont(DialogSkin *skin);

INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WarningDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
