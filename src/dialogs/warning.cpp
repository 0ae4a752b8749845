#include "reminder.h"
#include "resource.h"
#include "skin.h"

#define WARNING_OK_X 130
#define WARNING_OK_Y 186
#define WARNING_OK_WIDTH 80
#define WARNING_OK_HEIGHT 22

/* The warning itself, on the green-keyed skin. Only OK (or Return) closes it. */
INT_PTR CALLBACK WarningDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CreateDialogSkin(dialog, "KAVRIWARN");
        SetWindowTextA(dialog, WARNING_TITLE);
        SizeSkinnedDialog(dialog);
        /* Pixels, so the button sits in the room the skin leaves whatever the font. */
        MoveWindow(GetDlgItem(dialog, IDOK), WARNING_OK_X, WARNING_OK_Y, WARNING_OK_WIDTH, WARNING_OK_HEIGHT, FALSE);
        FitControlsToText(dialog);
        CenterWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break; /* Esc's IDCANCEL is ignored: the warning must be acknowledged */
    }
    return SkinnedDialogProc(dialog, message, wParam, lParam, DialogSkinOf(dialog), WARNING_KEY_COLOUR);
}

/* Shows the warning modally, above all windows, and returns once it is dismissed. */
void ShowWarning(void)
{
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_WARNING), GetDesktopWindow(), WarningDlgProc, 0);
}
