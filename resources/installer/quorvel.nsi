; The Windows installer: a per-user install under %LOCALAPPDATA%\Programs\Quorvel
; with no administrator rights, a Start-menu shortcut and an uninstaller
; registered under the user's Uninstall key. Made on Linux by scripts/package.sh:
;   makensis -DVERSION=1.0.0 -DVERSION4=1.0.0.0 -DPROGRAMS=<folder with the .exe
;            files and LICENSE.txt> -DICON=<quorvel.ico> -DOUTFILE=<installer.exe> quorvel.nsi
; The licence page shows LICENSE.txt (the MIT licence, in Windows line ends),
; which is installed beside the programs.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Quorvel"
!define PUBLISHER "Ombrask"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running program: its hidden main window and its one-copy mutex.
!define MAIN_WINDOW_CLASS "TMainForm"
!define MAIN_WINDOW_TITLE "MainForm"
!define MUTEX_NAME "Quorvel"
!define SYNCHRONIZE 0x00100000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quorvel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\quorvel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Quorvel を起動する"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${PROGRAMS}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; Asks a running Quorvel to end (as its menu's "終了" does: a check under way
; runs to its end first) and waits until its mutex is gone. A copy that does
; not end within two minutes is reported; the user may try again or cancel.
!macro EndRunningCopy un
Function ${un}EndRunningCopy
  retry:
  FindWindow $0 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_TITLE}"
  ${If} $0 <> 0
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
  ${EndIf}
  StrCpy $1 0
  ${Do}
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${MUTEX_NAME}") p .r2'
    ${If} $2 P= 0
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r2)'
    Sleep 250
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 480
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Quorvel が終了しません。Quorvel を終了してから「再試行」を押してください。" /SD IDCANCEL IDRETRY retry
  Abort
FunctionEnd
!macroend
!insertmacro EndRunningCopy ""
!insertmacro EndRunningCopy "un."

Section "Quorvel" SecMain
  SectionIn RO
  SetShellVarContext current
  Call EndRunningCopy
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}\quorvel.exe"
  File "${PROGRAMS}\quorvel-check.exe"
  File "${PROGRAMS}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quorvel.lnk" "$INSTDIR\quorvel.exe" "" "$INSTDIR\quorvel.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvel.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The Run value is removed only when it starts this copy: quoted or not,
; compared without regard to case.
Function un.RemoveRunValue
  ReadRegStr $0 HKCU "${RUN_KEY}" "Quorvel"
  ${If} $0 == "$INSTDIR\quorvel.exe"
  ${OrIf} $0 == '"$INSTDIR\quorvel.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "Quorvel"
  ${EndIf}
FunctionEnd

; The settings under HKCU\Software\Ombrask\Quorvel stay: a user who installs
; again gets the accounts back.
Section "Uninstall"
  SetShellVarContext current
  Call un.EndRunningCopy
  Call un.RemoveRunValue
  Delete "$SMPROGRAMS\Quorvel.lnk"
  Delete "$INSTDIR\quorvel.exe"
  Delete "$INSTDIR\quorvel-check.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
