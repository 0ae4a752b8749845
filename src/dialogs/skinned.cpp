#include "reminder.h"
#include "resource.h"
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
    if (skin->handCursor)
        DestroyCursor(skin->handCursor);
    skin->bitmap = NULL;
    skin->palette = NULL;
    skin->handCursor = NULL;
}

/* Moves a window to the middle of the desktop, keeping its size. */
void CenterWindow(HWND window)
{
    RECT w, d;
    HWND desktop = GetDesktopWindow();
    GetWindowRect(window, &w);
    GetClientRect(desktop, &d);
    POINT at = {((d.right - d.left) - (w.right - w.left)) / 2, ((d.bottom - d.top) - (w.bottom - w.top)) / 2};
    ClientToScreen(desktop, &at);
    MoveWindow(window, at.x, at.y, w.right - w.left, w.bottom - w.top, TRUE);
}

/* Both dialogs are exactly the skin's size, whatever the dialog font. */
void SizeSkinnedDialog(HWND dialog)
{
    MoveWindow(dialog, 0, 0, SKIN_SIZE, SKIN_SIZE, FALSE);
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
    if (!dialog)
        return FALSE;
    SetForegroundWindow(dialog);
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
    char text[LINK_TEXT_SIZE] = {0};

    skin->linkPressed = 1;
    InvalidateRect(link, NULL, FALSE);
    UpdateWindow(link);
    SendMessageA(link, WM_GETTEXT, LINK_TEXT_SIZE, (LPARAM) text);
    ShellExecuteA(dialog, "open", text, NULL, NULL, SW_SHOWDEFAULT);
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
        InflateRect(&panel, -SKIN_PANEL_INSET, -SKIN_PANEL_INSET);
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
    case WM_DESTROY:
        FreeSkin(skin);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
        free(skin);
        return 0;
    }
    return 0;
}
