; The installer of Kelo - Das Spiel for 64-bit Windows. Made by the build
; (dist/windows/CMakeLists.txt), which defines VERSION, VERSION4, PUBLISHER,
; ICON, FILES (the folder with the lists of files) and OUTFILE.
;
; Installs into Program Files with two Start-menu entries (full screen, and in
; a window) and the entry in the list of installed programs; a new version
; takes the place of the one installed. Beside kelo.exe it leaves
; installed.txt, by which the game keeps the player's settings and highscores
; in %APPDATA%\kelo\, however it is started. The uninstaller removes what was
; installed and leaves what the game wrote.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define NAME "Kelo - Das Spiel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelo"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=1031 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1031 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileDescription" "${NAME} - Installation"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
;
; The finish page starts no game: the installer runs with administrator rights,
; which the game would inherit, and Windows gives an installer no sure way to
; start a program as the desktop's user instead.
!define MUI_FINISHPAGE_TEXT "$(^NameDA) wurde auf Ihrem Computer installiert. Sie starten es im Startmenü mit „${NAME}“.$\r$\n$\r$\nKlicken Sie auf Fertigstellen, um den Installationsassistenten zu schließen."
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderWhenInstalled
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${NAME} braucht ein 64-Bit-Windows."
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; A new version goes where the game is installed already.
Function SkipFolderWhenInstalled
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\kelo.exe"
    Abort
  ${EndIf}
FunctionEnd

; Windows lets no one write to the file of a running program: while kelo.exe
; runs from the folder, nothing there is replaced or removed.
!macro GameNotRunning UN
Function ${UN}GameNotRunning
  retry:
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\kelo.exe"
    FileOpen $0 "$INSTDIR\kelo.exe" a
    ${If} ${Errors}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${NAME} läuft noch aus dem Ordner $INSTDIR.$\r$\n$\r$\nBitte beenden Sie das Spiel und versuchen Sie es dann noch einmal." /SD IDCANCEL IDRETRY retry
      Abort "${NAME} läuft noch: nichts wurde geändert."
    ${EndIf}
    FileClose $0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro GameNotRunning ""
!insertmacro GameNotRunning "un."

Section "Install"
  SetShellVarContext all
  Call GameNotRunning
  ; The mark first: no kelo.exe of this installer runs without it.
  CreateDirectory "$INSTDIR"
  ClearErrors
  FileOpen $0 "$INSTDIR\installed.txt" w
  FileWrite $0 "${NAME} ist hier installiert: die Einstellungen (kelo.ini) und Highscores$\r$\n"
  FileWrite $0 "(high1.sco bis high3.sco) liegen im Ordner %APPDATA%\kelo\ des Spielers.$\r$\n"
  FileClose $0
  ${IfThen} ${Errors} ${|} Abort "$INSTDIR\installed.txt konnte nicht geschrieben werden." ${|}
  !include "${FILES}\install-files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\kelo.exe" "" "$INSTDIR\kelo.exe" 0
  CreateShortcut "$SMPROGRAMS\${NAME} (im Fenster).lnk" "$INSTDIR\kelo.exe" "--window" "$INSTDIR\kelo.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelo.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.GameNotRunning
  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$SMPROGRAMS\${NAME} (im Fenster).lnk"
  ; Only what was installed: kelo.ini and the highscore files stay, and with
  ; them the folder.
  !include "${FILES}\remove-files.nsh"
  Delete "$INSTDIR\installed.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
