; Per-user installer: no administrator rights, start at logon, and an uninstaller
; in the Apps list. makensis -DVERSION=1.0.0 -DEXE=... -DREADME=... -DICON=... -DOUTFILE=...
Unicode true
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

!define PRODUCT "Quilmaren Filters"
!define PUBLISHER "Quilmaren"
!define EXE_NAME "QuilmarenFilters.exe"
!define WINDOW_CLASS "KAVRI_Class"
!define SETTINGS_KEY "Software\Quilmaren Filters"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is running. Its orange star is in the notification area, at the right of the taskbar: on Windows 10 and 11 usually behind the ^ arrow (Show hidden icons). To keep it on the taskbar, drag the star from there onto the taskbar.$\r$\n$\r$\nClick the star and choose Setup to pick how often and when you are reminded."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var WasRunning ; a copy was running when we closed it: it is started again if we give up

; Asks every running copy to close through its hidden window, then waits until the
; executable is free, so an upgrade or removal never meets a locked file.
!macro CloseRunningProgram
    StrCpy $WasRunning 0
    StrCpy $R1 0
    ${Do}
        FindWindow $R0 "${WINDOW_CLASS}"
        ${If} $R0 == 0
        ${OrIf} $R1 >= 50
            ${Break}
        ${EndIf}
        StrCpy $WasRunning 1
        SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
        Sleep 100
        IntOp $R1 $R1 + 1
    ${Loop}
    StrCpy $R1 0
    ${DoWhile} ${FileExists} "$INSTDIR\${EXE_NAME}"
        ClearErrors
        FileOpen $R0 "$INSTDIR\${EXE_NAME}" a
        ${IfNot} ${Errors}
            FileClose $R0
            ${Break}
        ${EndIf}
        ${If} $R1 >= 50
            ${Break}
        ${EndIf}
        Sleep 100
        IntOp $R1 $R1 + 1
    ${Loop}
!macroend

Section "${PRODUCT}" SecProgram
    SectionIn RO
    !insertmacro CloseRunningProgram
    SetOutPath "$INSTDIR"
    File "/oname=${EXE_NAME}" "${EXE}"
    File "/oname=readme.txt" "${README}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE_NAME}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://quilmaren.com"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" 400
SectionEnd

Section "Start ${PRODUCT} when I log on" SecStartup
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${EXE_NAME}"'
SectionEnd

Section "-Start now"
    ; Unticked on an upgrade: the old entry goes too.
    ${IfNot} ${SectionIsSelected} ${SecStartup}
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}
    Exec '"$INSTDIR\${EXE_NAME}"'
SectionEnd

Section "Uninstall"
    !insertmacro CloseRunningProgram
    ; Our own copy is closed by now, so another program holds the file (a virus scanner or
    ; a backup, say). Give the reminders back if they were running, say so, and leave the
    ; uninstaller and the Apps entry in place so that it can be run again.
    ClearErrors
    Delete "$INSTDIR\${EXE_NAME}"
    ${If} ${Errors}
    ${OrIf} ${FileExists} "$INSTDIR\${EXE_NAME}"
        ${If} $WasRunning == 1
            Exec '"$INSTDIR\${EXE_NAME}"'
        ${EndIf}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} could not be removed: another program, such as a virus scanner or a backup, is using $INSTDIR\${EXE_NAME}. Wait until it has finished, then run the uninstaller again." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    Delete "$INSTDIR\readme.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; A silent uninstall keeps the settings, so a later install picks them up.
    MessageBox MB_YESNO|MB_ICONQUESTION "Also delete your ${PRODUCT} settings (how often and when you are reminded)?" /SD IDNO IDNO keep
        DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep:
SectionEnd

; An install over an earlier one keeps the start-at-logon choice made then: a removed
; Run entry stays removed, also on a silent upgrade.
Function .onInit
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $0 != ""
    ${AndIf} $1 == ""
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
FunctionEnd
