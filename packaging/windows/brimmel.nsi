; The Windows setup program, made by Debian's makensis (cmake/windows.cmake passes VERSION, STAGE,
; the folder the zip is packed from, ICON, WIZARD, the finish page's picture, and OUTFILE). It
; installs for the player alone (no administrator needed; the default) or for every user of the
; machine, adds the Start-menu entry and, when asked, a desktop one, and registers an uninstaller
; that removes the program and its data but keeps the player's own files. No TORIDEN.ini goes
; beside the program: that is what tells the game it is installed (see the README's Windows
; section).
;
; Silent use: BRIMMEL-<version>-win64-setup.exe /S [/CurrentUser | /AllUsers] [/DesktopShortcut]
;             [/D=C:\Folder With Spaces]   (/D= last, unquoted, absolute)
;             "<folder>\Uninstall.exe" /S  (the registered QuietUninstallString)

; A 64-bit setup, as the game is: Debian's NSIS has the amd64 stubs, and Wine without its 32-bit
; half runs only those.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!define APP "BRIMMEL"
!define PUBLISHER "The BRIMMEL developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define APP_KEY "Software\${APP}"

Name "${APP}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${APP_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_FUNCTION KeepFolderFromCommandLine
!define MULTIUSER_INSTALLMODE_UNFUNCTION un.KeepOwnFolder
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\BRIMMEL.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Play ${APP} now"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define KEPT_TEXT "Your settings (%APPDATA%\${APP}), log (%LOCALAPPDATA%\${APP}) and screenshots (Pictures\${APP}) are kept; delete those folders to remove them too."
!define MUI_UNCONFIRMPAGE_TEXT_TOP "${APP} will be removed from the folder below. ${KEPT_TEXT}"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${APP}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${APP} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

; The folder a script gave with /D=, which the install mode's own defaults must not replace.
Var FolderFromCommandLine

Section "${APP} (required)" SecGame
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/BRIMMEL.exe"
  File "${STAGE}/README.txt"
  File /r "${STAGE}/data"
  File /r "${STAGE}/fonts"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; The shortcut starts in the program's folder; the game finds everything from its own path.
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\BRIMMEL.exe" "" "$INSTDIR\BRIMMEL.exe" 0

  WriteRegStr SHCTX "${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\BRIMMEL.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; Windows no longer measures the folder of an installer that is not an MSI package.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Desktop shortcut" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${APP}.lnk" "$INSTDIR\BRIMMEL.exe" "" "$INSTDIR\BRIMMEL.exe" 0
SectionEnd

Function KeepFolderFromCommandLine
  ${If} $FolderFromCommandLine != ""
    StrCpy $INSTDIR $FolderFromCommandLine
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $FolderFromCommandLine $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DesktopShortcut" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecDesktop}
  ${EndIf}
FunctionEnd

; The program, its data and what the setup wrote; never the player's settings, log or pictures,
; nor anything the player put into the folder (which then stays).
Section "Uninstall"
  Delete "$INSTDIR\BRIMMEL.exe"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\data"
  RMDir /r "$INSTDIR\fonts"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$DESKTOP\${APP}.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${APP_KEY}"
  DetailPrint "${KEPT_TEXT}"
SectionEnd

; The uninstaller runs from a copy of itself with _?= naming the folder it came from: that is
; the folder to remove, whatever the install mode's default would be.
Var OwnFolder

Function un.KeepOwnFolder
  ${If} $OwnFolder != ""
    StrCpy $INSTDIR $OwnFolder
  ${EndIf}
FunctionEnd

Function un.onInit
  StrCpy $OwnFolder $INSTDIR
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Function un.onUninstSuccess
  MessageBox MB_OK|MB_ICONINFORMATION "${APP} has been removed. ${KEPT_TEXT}" /SD IDOK
FunctionEnd
