#include "reminder.h"
#include "resource.h"
#include "skin.h"

#define WARNING_OK_X 130
#define WARNING_OK_Y 186
#define WARNING_OK_WIDTH 80
#define WARNING_OK_HEIGHT 22
/* Later stands above OK, right of the picture and below the message. */
#define WARNING_LATER_Y 158

/* Later, made here so that the template stays as it always was: a push button of OK's size
   in the controls' font, last in the tab order, so OK stays the default. None where an
   organisation allows no putting off. */
static void AddLaterButton(HWND dialog)
{
    if (!PolicyAllows(POLICY_ALLOW_LATER))
        return;
    HWND later = CreateWindowExA(0, "BUTTON", "Later", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                 0, 0, dialog, (HMENU) IDC_LATER, hInst, NULL);
    SendMessageA(later, WM_SETFONT, SendDlgItemMessageA(dialog, IDOK, WM_GETFONT, 0, 0), FALSE);
}

/* Pixels at 96 DPI, scaled with the dialog, so the buttons sit in the room the skin leaves
   whatever the font. */
static void PlaceWarningButtons(HWND dialog)
{
    DialogSkin *skin = DialogSkinOf(dialog);
    int dpi = skin ? skin->dpi : USER_DEFAULT_SCREEN_DPI;
    int x = ScaleToDpi(WARNING_OK_X, dpi), width = ScaleToDpi(WARNING_OK_WIDTH, dpi);
    int height = ScaleToDpi(WARNING_OK_HEIGHT, dpi);
    MoveWindow(GetDlgItem(dialog, IDOK), x, ScaleToDpi(WARNING_OK_Y, dpi), width, height, FALSE);
    MoveWindow(GetDlgItem(dialog, IDC_LATER), x, ScaleToDpi(WARNING_LATER_Y, dpi), width, height, FALSE);
}

/* Later's menu, opened below the button: when the warning comes again, or 0 when the menu
   closed without a choice. */
static int ChooseLater(HWND dialog)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, ANSWER_IN_1_HOUR, "In 1 hour");
    AppendMenuA(menu, MF_STRING, ANSWER_IN_4_HOURS, "In 4 hours");
    AppendMenuA(menu, MF_STRING, ANSWER_TOMORROW, "Tomorrow");
    RECT button;
    GetWindowRect(GetDlgItem(dialog, IDC_LATER), &button);
    int answer = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, button.left,
                                button.bottom, 0, dialog, NULL);
    DestroyMenu(menu);
    return answer;
}

/* Esc, or a close by other means: an hour later, unless there is no Later (an organisation
   allows none), when OK is the only answer. */
static void PutOffAnHour(HWND dialog)
{
    if (GetDlgItem(dialog, IDC_LATER))
        EndDialog(dialog, ANSWER_IN_1_HOUR);
}

/* The warning itself, on the green-keyed skin. OK means done; Later comes back at the chosen
   time; Esc or any other close, in an hour: a reflex never throws the reminder away. */
INT_PTR CALLBACK WarningDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CreateDialogSkin(dialog, "KAVRIWARN");
        InitDialogDpi(dialog, "KAVRIWARN");
        SetWindowTextA(dialog, WARNING_TITLE);
        SizeSkinnedDialog(dialog);
        AddLaterButton(dialog);
        PlaceWarningButtons(dialog);
        FitControlsToText(dialog);
        CenterWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: EndDialog(dialog, ANSWER_DONE); return TRUE;
        case IDCANCEL: PutOffAnHour(dialog); return TRUE;
        case IDC_LATER: {
            int answer = ChooseLater(dialog);
            if (answer)
                EndDialog(dialog, answer);
            return TRUE;
        }
        }
        break;
    case WM_DPICHANGED: /* onto a monitor of another scale */
        if (DialogSkinOf(dialog)) {
            ChangeDialogDpi(dialog, DialogSkinOf(dialog), LOWORD(wParam), (const RECT *) lParam);
            PlaceWarningButtons(dialog);
            FitControlsToText(dialog);
        }
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0); /* processed: zero */
        return TRUE;
    case WM_WINDOWPOSCHANGED: /* shown at last: a second start that came meanwhile brings it forward */
        if ((((WINDOWPOS *) lParam)->flags & SWP_SHOWWINDOW) && warningForwardWanted) {
            warningForwardWanted = FALSE;
            SetForegroundWindow(dialog);
        }
        break;
    }
    return SkinnedDialogProc(dialog, message, wParam, lParam, DialogSkinOf(dialog), WARNING_KEY_COLOUR);
}

/* Shows the warning modally, above all windows, and returns the person's answer: none when
   it could not be shown or ended unanswered. */
int ShowWarning(void)
{
    INT_PTR answer = DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_WARNING), GetDesktopWindow(), WarningDlgProc, 0);
    warningForwardWanted = FALSE; /* shown or not, this warning is over */
    return answer > 0 ? (int) answer : ANSWER_NONE;
}
