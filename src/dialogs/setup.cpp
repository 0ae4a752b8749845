#include "reminder.h"
#include "resource.h"
#include "skin.h"

#define SETUP_ITEM_TEXT_SIZE 50

/* Stored values are list index + 1 (hour 00 is stored as 1); one outside its list of count
   items selects nothing (-1). Wide: a hand-edited value may be the least int. */
static WPARAM ListIndex(int stored, int count)
{
    long long index = (long long) stored - 1;
    return (WPARAM) (index >= 0 && index < count ? index : -1);
}

/* The lists and the settings they show. */
static const struct {
    int list;
    const char *setting;
} setupLists[] = {{IDC_FREQUENCY, SETTING_FREQUENCY}, {IDC_HOURS, SETTING_HOURS}, {IDC_MINUTES, SETTING_MINUTES}};

/* Fills the three lists and selects the period and time as they apply (or the defaults); a
   list an organisation's policy sets shows its value, greyed. */
static void InitSetupLists(HWND dialog)
{
    int period = ReadAppliedOr(SETTING_FREQUENCY, DEFAULT_FREQUENCY);
    int hour = ReadAppliedOr(SETTING_HOURS, DEFAULT_HOURS);
    int minute = ReadAppliedOr(SETTING_MINUTES, DEFAULT_MINUTES);

    SendDlgItemMessageA(dialog, IDC_FREQUENCY, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(dialog, IDC_HOURS, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(dialog, IDC_MINUTES, CB_RESETCONTENT, 0, 0);
    char text[SETUP_ITEM_TEXT_SIZE];
    for (int i = 0; i < 100; i++) {
        wsprintfA(text, "%i", i + 1);
        SendDlgItemMessageA(dialog, IDC_FREQUENCY, CB_ADDSTRING, 0, (LPARAM) text);
        wsprintfA(text, "%02i", i);
        if (i < 24)
            SendDlgItemMessageA(dialog, IDC_HOURS, CB_ADDSTRING, 0, (LPARAM) text);
        if (i < 60)
            SendDlgItemMessageA(dialog, IDC_MINUTES, CB_ADDSTRING, 0, (LPARAM) text);
    }

    SendDlgItemMessageA(dialog, IDC_FREQUENCY, CB_SETCURSEL, ListIndex(period, 100), 0);
    SendDlgItemMessageA(dialog, IDC_HOURS, CB_SETCURSEL, ListIndex(hour, 24), 0);
    SendDlgItemMessageA(dialog, IDC_MINUTES, CB_SETCURSEL, ListIndex(minute, 60), 0);
    for (const auto &l : setupLists)
        EnableWindow(GetDlgItem(dialog, l.list), !PolicyManages(l.setting));
}

/* Stores a list's selected index + 1, so 0 (nothing selected) reads back as not set; a
   greyed one, set by policy, stays as the person last stored it. */
static void StoreSelection(HWND dialog, int list, LPCSTR name)
{
    if (IsWindowEnabled(GetDlgItem(dialog, list)))
        WriteSettingInt((int) SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0) + 1, name);
}

/* OK: today starts a new cycle with the chosen period and time, unless an organisation
   sets the first day. */
static void StoreSetup(HWND dialog)
{
    StartCycle();
    for (const auto &l : setupLists)
        StoreSelection(dialog, l.list, l.setting);
}

/* The Setup dialog: period and time of day, on the magenta-keyed skin. */
INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CreateDialogSkin(dialog, "KAVRIBMP");
        InitDialogDpi(dialog, "KAVRIBMP");
        SetWindowTextA(dialog, SETUP_TITLE);
        InitSetupLists(dialog);
        SizeSkinnedDialog(dialog);
        FitControlsToText(dialog);
        CenterWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: StoreSetup(dialog); EndDialog(dialog, 1); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        }
        break;
    }
    return SkinnedDialogProc(dialog, message, wParam, lParam, DialogSkinOf(dialog), SETUP_KEY_COLOUR);
}

/* Shows the Setup dialog modally and returns once it is closed: with the line that says
   an organisation sets some of it, where one does. */
void ShowSetup(void)
{
    BOOL managed = PolicyManages(SETTING_START_DAY);
    for (const auto &l : setupLists)
        managed = managed || PolicyManages(l.setting);
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(managed ? IDD_SETUP_MANAGED : IDD_SETUP), GetDesktopWindow(),
                    SetupDlgProc, 0);
}
