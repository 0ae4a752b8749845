#include "reminder.h"
#include "resource.h"
#include "shell.h"
#include "skin.h"

#include <shellapi.h>
#include <stdlib.h>
#include <windowsx.h>

/* Loads a dialog's skin and cursors; the state lives with the dialog until WM_DESTROY. */
DialogSkin *CreateDialogSkin(HWND dialog, LPCSTR skinName)
{
    DialogSkin *skin = (DialogSkin *) calloc(1, sizeof(DialogSkin));
    if (!skin)
        return NULL;
    skin->bitmap = LoadSkinBitmap(skinName, hInst, &skin->palette);
    /* A private copy: LoadCursorA's would be one handle shared by every dialog,
       and the first dialog to close would destroy it under the others. */
    skin->handCursor = (HCURSOR) LoadImageA(hInst, "KAVRICUR", IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE);
    skin->arrowCursor = LoadCursorA(NULL, IDC_ARROW);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR) skin);
    return skin;
}

/* The skin state of an open dialog, or null before WM_INITDIALOG and after WM_DESTROY. */
DialogSkin *DialogSkinOf(HWND dialog)
{
    return (DialogSkin *) GetWindowLongPtrA(dialog, GWLP_USERDATA);
}

/* Releases the skin's bitmap, palette and hand cursor. */
void FreeSkin(DialogSkin *skin)
{
    if (skin->bitmap) {
        DeleteObject(skin->bitmap);
        if (skin->palette)
            DeleteObject(skin->palette);
    }
    if (skin->handCursor) {
        /* One closed from the keyboard may still show it: a cursor in use is not destroyed. */
        if (GetCursor() == skin->handCursor)
            SetCursor(skin->arrowCursor);
        DestroyCursor(skin->handCursor);
    }
    skin->bitmap = NULL;
    skin->palette = NULL;
    skin->handCursor = NULL;
}

/* Moves a window to the middle of the monitor the person works on, keeping its size. */
void CenterWindow(HWND window)
{
    CentreOnWorkMonitor(window);
    /* Placed, still hidden, on a monitor of another scale: where Windows did not tell the
       dialog, it takes that scale now, and is centred again at its new size. */
    DialogSkin *skin = DialogSkinOf(window);
    int dpi = WindowDpi(window);
    if (skin && dpi != skin->dpi) {
        RECT at;
        GetWindowRect(window, &at);
        at.right = at.left + ScaleToDpi(SKIN_SIZE, dpi);
        at.bottom = at.top + ScaleToDpi(SKIN_SIZE, dpi);
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), (LPARAM) &at);
        CentreOnWorkMonitor(window);
    }
}

/* Both dialogs are exactly the skin's size at their DPI, whatever the dialog font. Where
   they stand is for CenterWindow alone: nowhere else in between. */
void SizeSkinnedDialog(HWND dialog)
{
    DialogSkin *skin = DialogSkinOf(dialog);
    int size = ScaleToDpi(SKIN_SIZE, skin ? skin->dpi : USER_DEFAULT_SCREEN_DPI);
    SetWindowPos(dialog, NULL, 0, 0, size, size, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

/* Pixels each side of a push button's text: its 3D edge and the focus rectangle inside it. */
#define BUTTON_TEXT_MARGIN 4
#define FIT_TEXT_SIZE 256

enum FitKind { FIT_NONE, FIT_LABEL, FIT_BUTTON, FIT_GROUP };

/* What a child control is to the fitting: a text label, a push button, a group box or other. */
static FitKind FitKindOf(HWND control)
{
    char name[16];
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (!GetClassNameA(control, name, sizeof name))
        return FIT_NONE;
    if (lstrcmpiA(name, "Static") == 0) {
        LONG type = style & SS_TYPEMASK;
        return type <= SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? FIT_LABEL : FIT_NONE;
    }
    if (lstrcmpiA(name, "Button") != 0)
        return FIT_NONE;
    if ((style & BS_TYPEMASK) == BS_GROUPBOX)
        return FIT_GROUP;
    return (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON ? FIT_BUTTON : FIT_NONE;
}

/* A child's rectangle in its dialog's client coordinates. */
static RECT ChildBox(HWND child)
{
    RECT box;
    GetWindowRect(child, &box);
    MapWindowPoints(NULL, GetParent(child), (POINT *) &box, 2);
    return box;
}

/* The rectangle the control's text takes in the control's own font, laid out in width. */
static RECT TextRect(HWND control, UINT format, int width)
{
    char text[FIT_TEXT_SIZE];
    RECT r = {0, 0, width, 0};
    GetWindowTextA(control, text, sizeof text);
    HDC dc = GetDC(control);
    /* Without a font of its own a control draws in the System font, which the DC keeps. */
    HGDIOBJ old = SelectObject(dc, (HGDIOBJ) SendMessageA(control, WM_GETFONT, 0, 0));
    DrawTextA(dc, text, -1, &r, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return r;
}

/* How many pixels wider the control must be to show its whole text; none (0 or less) when
   it does. A label wraps what does not fit and shows only the lines its height holds. */
static int MissingWidth(HWND control, FitKind kind)
{
    RECT client;
    GetClientRect(control, &client);
    if (kind == FIT_BUTTON)
        return TextRect(control, DT_SINGLELINE, 0).right + 2 * BUTTON_TEXT_MARGIN - client.right;
    LONG style = GetWindowLongA(control, GWL_STYLE);
    UINT format = DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0);
    RECT wrapped = TextRect(control, format | ((style & SS_TYPEMASK) <= SS_RIGHT ? DT_WORDBREAK : 0), client.right);
    if (wrapped.right <= client.right && wrapped.bottom <= client.bottom)
        return 0;
    return TextRect(control, format, 0).right - client.right; /* its lines unwrapped */
}

/* The group box that holds a rectangle of the dialog, or null. */
static HWND GroupBoxAround(HWND dialog, RECT box)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT group = ChildBox(child), both;
        if (FitKindOf(child) == FIT_GROUP && UnionRect(&both, &group, &box) && EqualRect(&both, &group))
            return child;
    }
    return NULL;
}

/* Widens a control by some pixels, to the left when its text is right-aligned, else to the
   right; what stands beyond it on the same line in the same group box moves along. */
static void Widen(HWND dialog, HWND control, int by, BOOL leftwards)
{
    RECT box = ChildBox(control);
    HWND group = GroupBoxAround(dialog, box);
    for (HWND other = GetWindow(dialog, GW_CHILD); other; other = GetWindow(other, GW_HWNDNEXT)) {
        RECT o = ChildBox(other);
        BOOL sameLine = o.top < box.bottom && o.bottom > box.top;
        BOOL beyond = leftwards ? o.right <= box.left : o.left >= box.right;
        if (other != control && sameLine && beyond && FitKindOf(other) != FIT_GROUP &&
            GroupBoxAround(dialog, o) == group)
            SetWindowPos(other, NULL, o.left + (leftwards ? -by : by), o.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowPos(control, NULL, box.left - (leftwards ? by : 0), box.top, box.right - box.left + by,
                 box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

/* Gives a label the height of the lines its text takes at its width, where that is more. */
static void GrowToLines(HWND control)
{
    RECT client;
    GetClientRect(control, &client);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    UINT format = DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0) |
                  ((style & SS_TYPEMASK) <= SS_RIGHT ? DT_WORDBREAK : DT_SINGLELINE);
    int lines = TextRect(control, format, client.right).bottom;
    if (lines <= client.bottom)
        return;
    RECT box = ChildBox(control);
    SetWindowPos(control, NULL, 0, 0, box.right - box.left, box.bottom - box.top + lines - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

/* One pass in the controls' font: each label and push button whose text does not show
   whole grows to it; a grown button stays inside the panel. */
static void FitPass(HWND dialog, RECT panel)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        FitKind kind = FitKindOf(child);
        int missing = kind == FIT_LABEL || kind == FIT_BUTTON ? MissingWidth(child, kind) : 0;
        if (missing > 0)
            Widen(dialog, child, missing,
                  kind == FIT_LABEL && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT);
        if (kind == FIT_LABEL)
            GrowToLines(child);
        RECT box = ChildBox(child);
        if (kind == FIT_BUTTON && box.right > panel.right)
            SetWindowPos(child, NULL, box.left - (box.right - panel.right), box.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

/* Whole and inside: every control within the panel (the link within the window), and no
   two overlapping unless a group box holds the other. */
static BOOL LayoutFits(HWND dialog, RECT panel)
{
    RECT client;
    GetClientRect(dialog, &client);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box = ChildBox(child), both;
        const RECT *room = GetDlgCtrlID(child) == IDC_LINK ? &client : &panel;
        UnionRect(&both, &box, room);
        FitKind kind = FitKindOf(child);
        if (!EqualRect(&both, room) || ((kind == FIT_LABEL || kind == FIT_BUTTON) && MissingWidth(child, kind) > 0))
            return FALSE;
        for (HWND other = GetWindow(dialog, GW_CHILD); other != child; other = GetWindow(other, GW_HWNDNEXT)) {
            RECT o = ChildBox(other), around;
            UnionRect(&around, &box, &o);
            if (IntersectRect(&both, &box, &o) && !(kind == FIT_GROUP && EqualRect(&around, &box)) &&
                !(FitKindOf(other) == FIT_GROUP && EqualRect(&around, &o)))
                return FALSE;
        }
    }
    return TRUE;
}

#define FIT_MAX_CONTROLS 32
#define FIT_SMALLEST_FONT 60 /* per cent of the font the dialog was given */

/* Makes every text show whole inside the skin's panel in whatever font the dialog has:
   labels and buttons grow to their texts, and what is beyond them on the line moves
   along. Where that does not fit (a wider font, a larger one), the font steps down a
   pixel at a time and the fitting starts again from the layout as it was. Where
   everything fits, nothing moves. */
void FitControlsToText(HWND dialog)
{
    DialogSkin *skin = DialogSkinOf(dialog);
    RECT panel;
    GetClientRect(dialog, &panel);
    int inset = ScaleToDpi(SKIN_PANEL_INSET, skin ? skin->dpi : 0);
    InflateRect(&panel, -inset, -inset);
    HWND controls[FIT_MAX_CONTROLS];
    RECT laidOut[FIT_MAX_CONTROLS];
    int count = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child && count < FIT_MAX_CONTROLS;
         child = GetWindow(child, GW_HWNDNEXT), count++) {
        controls[count] = child;
        laidOut[count] = ChildBox(child);
    }
    LOGFONTA font;
    HFONT given = count ? (HFONT) SendMessageA(controls[0], WM_GETFONT, 0, 0) : NULL;
    if (!count || !skin || !given || !GetObjectA(given, sizeof font, &font)) {
        if (count)
            FitPass(dialog, panel);
        return;
    }
    int height = font.lfHeight, smallest = MulDiv(height, FIT_SMALLEST_FONT, 100);
    for (;;) {
        FitPass(dialog, panel);
        if (LayoutFits(dialog, panel) || height == smallest)
            return;
        for (int i = 0; i < count; i++) { /* only texts change size: a list keeps its dropped height */
            FitKind kind = FitKindOf(controls[i]);
            SetWindowPos(controls[i], NULL, laidOut[i].left, laidOut[i].top, laidOut[i].right - laidOut[i].left,
                         laidOut[i].bottom - laidOut[i].top,
                         SWP_NOZORDER | SWP_NOACTIVATE | (kind == FIT_LABEL || kind == FIT_BUTTON ? 0 : SWP_NOSIZE));
        }
        height += height < 0 ? 1 : -1;
        font.lfHeight = height;
        font.lfWidth = 0;
        SetControlsFont(dialog, skin, CreateFontIndirectA(&font));
    }
}

/* Notes each open skinned dialog of this thread: a warning in found[0], Setup in found[1]. */
static BOOL CALLBACK FindOpenDialog(HWND window, LPARAM found)
{
    char name[16], title[sizeof WARNING_TITLE];
    if (!IsWindowVisible(window) || !DialogSkinOf(window) || !GetClassNameA(window, name, sizeof name) ||
        lstrcmpA(name, "#32770") != 0)
        return TRUE;
    GetWindowTextA(window, title, sizeof title);
    ((HWND *) found)[lstrcmpA(title, WARNING_TITLE) == 0 ? 0 : 1] = window;
    return TRUE;
}

BOOL warningForwardWanted;

/* Brings an open dialog to the front, a warning before Setup: the reminder is what the
   person must see. A warning on its way (its alarm playing, its dialog not shown yet)
   comes forward when it shows. FALSE when none is open or on its way. */
BOOL BringDialogForward(void)
{
    HWND found[2] = {NULL, NULL};
    EnumThreadWindows(GetCurrentThreadId(), FindOpenDialog, (LPARAM) found);
    if (!found[0] && warningsUnderWay) {
        warningForwardWanted = TRUE;
        return TRUE;
    }
    HWND dialog = found[0] ? found[0] : found[1];
    if (!dialog || SetForegroundWindow(dialog))
        return dialog != NULL;
    /* Refused, as from a timer while the person works in another window: on top of every
       other top-most window, at least, its taskbar button flashing until it is active. */
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FLASHWINFO flash = {sizeof flash, dialog, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
    return TRUE;
}

/* A dialog procedure's message result: in DWL_MSGRESULT and as the return value. */
static INT_PTR DialogResult(HWND dialog, LONG_PTR result)
{
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return result;
}

static BOOL PointOnLink(HWND dialog, POINT screen)
{
    RECT link;
    GetWindowRect(GetDlgItem(dialog, IDC_LINK), &link);
    return PtInRect(&link, screen);
}

/* Opens the link through the shell, showing it red while that runs. */
static void OpenLink(HWND dialog, DialogSkin *skin)
{
    HWND link = GetDlgItem(dialog, IDC_LINK);
    WCHAR text[LINK_TEXT_SIZE] = {0};

    skin->linkPressed = 1;
    InvalidateRect(link, NULL, FALSE);
    UpdateWindow(link);
    SendMessageW(link, WM_GETTEXT, LINK_TEXT_SIZE, (LPARAM) text);
    OpenThroughShell(dialog, L"The address", text, SW_SHOWDEFAULT);
    skin->linkPressed = 0;
    InvalidateRect(link, NULL, FALSE);
    UpdateWindow(link);
}

/* What both skinned dialogs share: the painted skin, dragging by the body, and the link. */
INT_PTR SkinnedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DialogSkin *skin, COLORREF key)
{
    if (!skin)
        return 0;

    switch (message) {
    case WM_NCHITTEST: {
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        /* Only the link is client area: every other point of the body drags the dialog. */
        return DialogResult(dialog, PointOnLink(dialog, at) ? HTCLIENT : HTCAPTION);
    }
    case WM_CTLCOLORDLG: {
        if (!skin->bitmap)
            return 0;
        HDC dc = (HDC) wParam;
        RECT panel;
        GetClientRect(dialog, &panel);
        int inset = ScaleToDpi(SKIN_PANEL_INSET, skin->dpi);
        InflateRect(&panel, -inset, -inset);
        FillRect(dc, &panel, (HBRUSH) GetStockObject(WHITE_BRUSH));
        PaintSkin(dc, skin->bitmap, skin->palette, key);
        return DialogResult(dialog, (LONG_PTR) GetStockObject(NULL_BRUSH));
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = (HDC) wParam;
        if (GetDlgCtrlID((HWND) lParam) == IDC_LINK)
            SetTextColor(dc, skin->linkPressed ? LINK_PRESSED_COLOUR : LINK_COLOUR);
        else
            SetTextColor(dc, TEXT_COLOUR);
        SetBkMode(dc, TRANSPARENT);
        return DialogResult(dialog, (LONG_PTR) GetStockObject(NULL_BRUSH));
    }
    case WM_MOUSEMOVE: {
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(dialog, &at);
        skin->overLink = PointOnLink(dialog, at);
        SetCursor(skin->overLink ? skin->handCursor : skin->arrowCursor);
        return 0;
    }
    case WM_SETCURSOR:
        /* The link is the only client area; elsewhere the caption's arrow applies. */
        if (LOWORD(lParam) != HTCLIENT)
            return 0;
        SetCursor(skin->overLink ? skin->handCursor : skin->arrowCursor);
        return DialogResult(dialog, TRUE);
    case WM_LBUTTONDOWN:
        /* Only after a move over the link: a click from a resting pointer does nothing. */
        if (skin->overLink)
            OpenLink(dialog, skin);
        return 0;
    case WM_DISPLAYCHANGE:
        KeepOnMonitors(dialog);
        return 0;
    case WM_GETDPISCALEDSIZE: { /* so that Windows suggests exactly the size the dialog takes */
        SIZE *size = (SIZE *) lParam;
        size->cx = size->cy = ScaleToDpi(SKIN_SIZE, LOWORD(wParam));
        return DialogResult(dialog, TRUE);
    }
    case WM_DPICHANGED:
        ChangeDialogDpi(dialog, skin, LOWORD(wParam), (const RECT *) lParam);
        FitControlsToText(dialog);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0); /* processed: zero */
        return TRUE;
    case WM_DESTROY:
        FreeDialogFont(skin);
        FreeSkin(skin);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
        free(skin);
        return 0;
    }
    return 0;
}
