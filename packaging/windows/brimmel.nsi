; The Windows setup program, made by Debian's makensis (cmake/windows.cmake passes VERSION, STAGE,
; the folder the zip is packed from, FILES, the list setup_files.cmake makes of it, ICON, WIZARD, the
; finish page's picture, and OUTFILE). It installs for the player alone (the default: no
; administrator, no approval asked) or for every user of the machine (Windows asks an
; administrator's approval then, for that part only), adds the Start-menu entry and, when asked, a
; desktop one, and registers an uninstaller. No TORIDEN.ini goes beside the program: that is what
; tells the game it is installed (see the README's Windows section).
;
; What it writes is listed as it is written in the folder's Uninstall.log: each file (F), each
; folder it made (D; "D" alone for the install folder), each shortcut (L). The uninstaller removes
; exactly those, then the folders on the list that are left empty, so a folder the player chose
; keeps whatever was there before, and the player's settings, log and pictures stay.
;
; The install mode and folder are remembered (InstallLocation under HKCU or HKLM\Software\BRIMMEL):
; a setup run again updates that copy in place, in its mode, and an uninstaller started by hand
; removes what that copy registered, asking for an administrator's approval where it was
; installed for every user.
;
; Silent use: BRIMMEL-<version>-win64-setup.exe /S [/CurrentUser | /AllUsers] [/DesktopShortcut]
;             [/D=C:\Folder With Spaces]   (/D= last, unquoted, absolute; without a mode, the mode
;             of a copy already installed, else the player's own)
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
!define LOG "Uninstall.log"
; FOLDERID_UserProgramFiles: %LOCALAPPDATA%\Programs
!define USER_PROGRAMS {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}

Name "${APP}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"
; Browse adds this last folder name to the folder picked, so the files never go loose into it. The
; folder itself is chosen for the install mode in .onInit.
InstallDir "$PROGRAMFILES64\${APP}"
; The player's own install needs no administrator; one for every user asks for approval when it
; starts writing (InstallElevated).
RequestExecutionLevel user

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include TextFunc.nsh
!include nsDialogs.nsh
!include "${FILES}"

!define KEPT_TEXT "Your settings (%APPDATA%\${APP}), log (%LOCALAPPDATA%\${APP}) and screenshots (Pictures\${APP}) are kept; delete those folders to remove them too."

Var Mode                   ; AllUsers or CurrentUser
Var Elevated               ; 1 when this process has an administrator's rights
Var OldFolder              ; the folder of a copy already installed in this mode, or ""
Var FolderFromCommandLine  ; /D=, which the mode's defaults must not replace
Var ModeFromCommandLine    ; 1 when /AllUsers or /CurrentUser chose the mode
Var InstallLog
Var ModeMine
Var ModeEveryone
Var ComponentsTop
Var Failed                 ; what the uninstaller could not remove

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "$ComponentsTop"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Play ${APP} now"
!define MUI_FINISHPAGE_RUN_FUNCTION PlayNow
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_UNCONFIRMPAGE_TEXT_TOP "${APP} will be removed from the folder below. ${KEPT_TEXT}"

Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipForAnUpdate
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

; --- what is written, recorded as it is written ---

!macro LogLine TEXT
  FileWriteUTF16LE $InstallLog "${TEXT}$\r$\n"
!macroend

; A folder of the copy: made, and listed, when it was not there before.
!macro InstallFolder DIR
  ${IfNot} ${FileExists} "$INSTDIR\${DIR}\*.*"
    CreateDirectory "$INSTDIR\${DIR}"
    !insertmacro LogLine "D ${DIR}"
  ${EndIf}
!macroend

; A folder an older setup made, which kept no list: taken as the setup's own.
!macro AdoptFolder DIR
  ${If} ${FileExists} "$INSTDIR\${DIR}\*.*"
    !insertmacro LogLine "D ${DIR}"
  ${EndIf}
!macroend

!macro InstallFile DIR NAME SOURCE
  !if "${DIR}" == "."
    SetOutPath "$INSTDIR"
    File "${SOURCE}"
    !insertmacro LogLine "F ${NAME}"
  !else
    SetOutPath "$INSTDIR\${DIR}"
    File "${SOURCE}"
    !insertmacro LogLine "F ${DIR}\${NAME}"
  !endif
!macroend

!macro InstallShortcut LINK
  CreateShortcut "${LINK}" "$INSTDIR\BRIMMEL.exe" "" "$INSTDIR\BRIMMEL.exe" 0
  !insertmacro LogLine "L ${LINK}"
!macroend

; --- installing ---

Section "${APP} (required)" SecGame
  SectionIn RO
  AddSize ${SETUP_SIZE_KB}
  Call InstallTheCopy
SectionEnd

; Made with the rest by InstallTheCopy, so that an approved copy of the setup makes it too.
Section /o "Desktop shortcut" SecDesktop
SectionEnd

Function InstallTheCopy
  ${If} $Mode == AllUsers
  ${AndIf} $Elevated == 0
    DetailPrint "Installing for everyone: Windows asks for an administrator's approval."
    Call InstallElevated
    ${If} $0 != ""
      Abort $0
    ${EndIf}
    Return
  ${EndIf}

  ; The list grows with every update in place: an older version's files stay listed for the
  ; uninstaller, and so do the folders it made.
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $0 "D"
  ${Else}
    StrCpy $0 ""
  ${EndIf}
  CreateDirectory "$INSTDIR"
  ${If} $OldFolder == $INSTDIR
  ${AndIfNot} ${FileExists} "$INSTDIR\${LOG}"
    StrCpy $0 "D"
    StrCpy $1 "adopt"
  ${Else}
    StrCpy $1 ""
  ${EndIf}
  ClearErrors
  FileOpen $InstallLog "$INSTDIR\${LOG}" a
  ${If} ${Errors}
    Abort "Cannot write into $INSTDIR."
  ${EndIf}
  FileSeek $InstallLog 0 END
  ${If} $0 != ""
    !insertmacro LogLine "D"
  ${EndIf}
  ${If} $1 == "adopt"
    !insertmacro ForEachSetupFolder AdoptFolder
  ${EndIf}
  !insertmacro ForEachSetupFolder InstallFolder
  !insertmacro ForEachSetupFile InstallFile
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  !insertmacro LogLine "F Uninstall.exe"
  ; The shortcuts start in the program's folder; the game finds everything from its own path.
  !insertmacro InstallShortcut "$SMPROGRAMS\${APP}.lnk"
  ${If} ${SectionIsSelected} ${SecDesktop}
    !insertmacro InstallShortcut "$DESKTOP\${APP}.lnk"
  ${EndIf}
  FileClose $InstallLog

  WriteRegStr SHCTX "${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${APP_KEY}" "InstallMode" "$Mode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\BRIMMEL.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$Mode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /$Mode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; Windows no longer measures the folder of an installer that is not an MSI package.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

; --- the install mode ---

; The mode's context, folder and what is already installed in it.
Function UseMode
  ${If} $Mode == AllUsers
    SetShellVarContext all
    ReadRegStr $OldFolder HKLM "${APP_KEY}" "InstallLocation"
    StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
  ${Else}
    SetShellVarContext current
    ReadRegStr $OldFolder HKCU "${APP_KEY}" "InstallLocation"
    GetKnownFolderPath $INSTDIR ${USER_PROGRAMS}
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\${APP}"
  ${EndIf}
  ${If} $OldFolder != ""
    StrCpy $INSTDIR $OldFolder
  ${EndIf}
  ${If} $FolderFromCommandLine != ""
    StrCpy $INSTDIR $FolderFromCommandLine
  ${EndIf}
  ${If} $OldFolder == $INSTDIR
    ${If} $Mode == AllUsers
      StrCpy $ComponentsTop "${APP} is installed for everyone on this computer, in $INSTDIR: it is updated there, and your settings and files are kept."
    ${Else}
      StrCpy $ComponentsTop "${APP} is installed for you, in $INSTDIR: it is updated there, and your settings and files are kept."
    ${EndIf}
  ${Else}
    StrCpy $ComponentsTop "Check the shortcuts you want."
  ${EndIf}
FunctionEnd

Function .onInit
  ${If} $INSTDIR != "$PROGRAMFILES64\${APP}"
    StrCpy $FolderFromCommandLine $INSTDIR
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == Admin
    StrCpy $Elevated 1
  ${Else}
    StrCpy $Elevated 0
  ${EndIf}
  ; The mode of a copy already installed (the player's own first), else the player's own.
  StrCpy $Mode CurrentUser
  ReadRegStr $0 HKCU "${APP_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${APP_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${AndIf} $1 != ""
    StrCpy $Mode AllUsers
  ${EndIf}
  StrCpy $ModeFromCommandLine 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    StrCpy $Mode AllUsers
    StrCpy $ModeFromCommandLine 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    StrCpy $Mode CurrentUser
    StrCpy $ModeFromCommandLine 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/DesktopShortcut" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecDesktop}
  ${EndIf}
  Call UseMode
  ; Unattended, for every user, without the rights: the same setup, approved, does the work.
  ${If} ${Silent}
  ${AndIf} $Mode == AllUsers
  ${AndIf} $Elevated == 0
    Call InstallElevated
    ${If} $0 != ""
      SetErrorLevel 2
    ${EndIf}
    Quit
  ${EndIf}
FunctionEnd

Function ModePage
  ; An update keeps its mode; so does a mode the command line chose.
  ${If} $OldFolder != ""
  ${OrIf} $ModeFromCommandLine == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Choose who plays" "Install ${APP} for yourself alone or for everyone on this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 30u "For yourself, ${APP} goes into your own folders and needs no administrator. For everyone, it goes into Program Files, and Windows asks for an administrator's approval."
  Pop $0
  ReadEnvStr $1 USERNAME
  ${NSD_CreateRadioButton} 10u 40u -10u 12u "Only for me ($1)"
  Pop $ModeMine
  ${NSD_CreateRadioButton} 10u 58u -10u 12u "For everyone who uses this computer"
  Pop $ModeEveryone
  ${If} $Mode == AllUsers
    ${NSD_Check} $ModeEveryone
  ${Else}
    ${NSD_Check} $ModeMine
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeEveryone $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Mode AllUsers
  ${Else}
    StrCpy $Mode CurrentUser
  ${EndIf}
  Call UseMode
FunctionEnd

Function SkipForAnUpdate
  ${If} $OldFolder == $INSTDIR
    Abort
  ${EndIf}
FunctionEnd

; Runs this setup again, approved by an administrator, silently, to install for every user into
; $INSTDIR; $0 is "" when that copy is then there, else why not.
Function InstallElevated
  StrCpy $1 "/S /AllUsers"
  ${If} ${SectionIsSelected} ${SecDesktop}
    StrCpy $1 "$1 /DesktopShortcut"
  ${EndIf}
  ClearErrors
  ExecShellWait "runas" "$EXEPATH" "$1 /D=$INSTDIR"
  ${If} ${Errors}
    StrCpy $0 "Installing for everyone needs an administrator's approval, which was not given."
    Return
  ${EndIf}
  ReadRegStr $1 HKLM "${APP_KEY}" "InstallLocation"
  ${If} $1 != $INSTDIR
  ${OrIfNot} ${FileExists} "$INSTDIR\BRIMMEL.exe"
    StrCpy $0 "${APP} could not be installed for everyone in $INSTDIR."
    Return
  ${EndIf}
  StrCpy $0 ""
FunctionEnd

; An elevated setup would start the game elevated, writing its files as the administrator: the
; shell starts it instead, as the player.
Function PlayNow
  ${If} $Elevated == 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\BRIMMEL.exe"'
  ${Else}
    Exec '"$INSTDIR\BRIMMEL.exe"'
  ${EndIf}
FunctionEnd

; --- uninstalling ---

Var Registered  ; 1 when the registration names this folder

Function un.onInit
  ; $INSTDIR is the folder the uninstaller came from (it runs from a copy of itself, given _?=).
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == Admin
    StrCpy $Elevated 1
  ${Else}
    StrCpy $Elevated 0
  ${EndIf}
  ; The mode this folder was installed in, whatever the command line says.
  StrCpy $Registered 1
  ReadRegStr $0 HKLM "${APP_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${APP_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $Mode AllUsers
  ${ElseIf} $1 == $INSTDIR
    StrCpy $Mode CurrentUser
  ${Else}
    StrCpy $Registered 0
    StrCpy $Mode CurrentUser
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AllUsers" $R1
    ${IfNot} ${Errors}
      StrCpy $Mode AllUsers
    ${EndIf}
  ${EndIf}
  ${If} $Mode == AllUsers
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} $Mode == AllUsers
  ${AndIf} $Registered == 1
  ${AndIf} $Elevated == 0
    ; What was installed for everyone is removed with an administrator's approval: this same
    ; uninstaller runs again, approved, and this one goes.
    ${GetParameters} $R0
    ClearErrors
    ExecShellWait "runas" "$EXEPATH" "$R0 _?=$INSTDIR"
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "${APP} was installed for everyone on this computer: removing it needs an administrator's approval, which was not given. Nothing was removed." /SD IDOK
      SetErrorLevel 2
    ${EndIf}
    Quit
  ${EndIf}
FunctionEnd

; Does to every line of kind $R0 on the list (a copy in $PLUGINSDIR) what the uninstaller does to
; it: F a file of the folder, L a shortcut, D a folder the setup made (when empty).
Function un.ActOnList
  ClearErrors
  FileOpen $R1 "$PLUGINSDIR\${LOG}" r
  ${If} ${Errors}
    Return
  ${EndIf}
  ${Do}
    ClearErrors
    FileReadUTF16LE $R1 $R2
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    ${un.TrimNewLines} $R2 $R2
    StrCpy $R3 $R2 1
    StrCpy $R4 $R2 "" 2
    ${If} $R3 != $R0
      ${Continue}
    ${EndIf}
    ${If} $R0 == D
      ${If} $R4 == ""
        RMDir "$INSTDIR"
      ${Else}
        RMDir "$INSTDIR\$R4"
      ${EndIf}
      ${Continue}
    ${EndIf}
    ${If} $R0 == F
      StrCpy $R4 "$INSTDIR\$R4"
    ${EndIf}
    ${If} ${FileExists} $R4
      Delete $R4
      ${If} ${FileExists} $R4
        IntOp $Failed $Failed + 1
        DetailPrint "Could not remove $R4"
      ${EndIf}
    ${EndIf}
  ${Loop}
  FileClose $R1
FunctionEnd

; A copy installed by a setup that kept no list: this version's files by name, and its folders
; when empty. A desktop shortcut of that name may be the player's own: it stays.
!macro ForgetFile DIR NAME SOURCE
  !if "${DIR}" == "."
    Delete "$INSTDIR\${NAME}"
  !else
    Delete "$INSTDIR\${DIR}\${NAME}"
  !endif
!macroend
!macro ForgetFolder DIR
  RMDir "$INSTDIR\${DIR}"
!macroend

Section "Uninstall"
  StrCpy $Failed 0
  InitPluginsDir
  ${If} ${FileExists} "$INSTDIR\${LOG}"
    CopyFiles /SILENT "$INSTDIR\${LOG}" "$PLUGINSDIR\${LOG}"
    StrCpy $R0 F
    Call un.ActOnList
    StrCpy $R0 L
    Call un.ActOnList
    Delete "$INSTDIR\${LOG}"
    Delete "$INSTDIR\Uninstall.exe"
    ; Each pass empties one more level of folders.
    ${For} $R9 1 8
      StrCpy $R0 D
      Call un.ActOnList
    ${Next}
  ${Else}
    !insertmacro ForEachSetupFile ForgetFile
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\${APP}.lnk"
    !insertmacro ForEachSetupFolderDeepestFirst ForgetFolder
    RMDir "$INSTDIR"
  ${EndIf}
  ${If} $Registered == 1
    ClearErrors
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    DeleteRegKey SHCTX "${APP_KEY}"
    ${If} ${Errors}
      IntOp $Failed $Failed + 1
      DetailPrint "Could not remove the registration under Settings > Apps"
    ${EndIf}
  ${EndIf}
  DetailPrint "${KEPT_TEXT}"
  ${If} $Failed != 0
    SetErrorLevel 1
  ${EndIf}
SectionEnd

Function un.onUninstSuccess
  ${If} $Failed == 0
    MessageBox MB_OK|MB_ICONINFORMATION "${APP} has been removed. ${KEPT_TEXT}" /SD IDOK
  ${Else}
    MessageBox MB_OK|MB_ICONEXCLAMATION "${APP} could not remove everything: $Failed item(s) are left (a file in use, or one this account may not delete). ${KEPT_TEXT}" /SD IDOK
  ${EndIf}
FunctionEnd
