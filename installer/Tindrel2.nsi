; The setup program for workshop PCs: one copy of Tindrel2.exe per machine
; in Program Files (the x86 one on 64-bit Windows; the 64-bit test build's
; setup installs into the other), registered by the
; program's own /REGSERVER and removed again by its /UNREGSERVER.
;
; Built by scripts/package:
;   makensis -DPACKAGE_NSH=<tree>/app/package.nsh -DEXE=<tree>/app/Tindrel2.exe
;            -DOUTDIR=<folder> [-DSIGN_UNINSTALLER=<command>] installer/Tindrel2.nsi
; package.nsh (written by app/CMakeLists.txt) carries the version and says
; whether the build knows the production service. SIGN_UNINSTALLER, given
; when the package is signed, signs the file named after it in place;
; scripts/package signs EXE before and the setup after.
;
; Switches: /S silent, /D=<folder> another folder (first installation
; only; an upgrade stays where the installed copy is). The uninstaller:
; /S silent.

!include "${PACKAGE_NSH}"
; x86-unicode for the program that workshops install; amd64-unicode only for
; the 64-bit test build, on machines where a 32-bit setup cannot run.
Target ${NSIS_TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifdef SIGN_UNINSTALLER
; The uninstaller is signed as makensis writes it, before it is packed, so
; that the uninstall.exe the setup writes is the signed one. A failed
; signing stops the build.
!uninstfinalize `${SIGN_UNINSTALLER} "%1"` = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Tindrel 2.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tindrel2"
!define MAIN_WINDOW_CLASS "Tindrel2MainForm"
; Half-seconds to wait for running instances to end before giving up.
!define END_WAIT_STEPS 60

Name "${PRODUCT}${VERSION_NOTE}"
OutFile "${OUTDIR}/Tindrel2-${VERSION}${PACKAGE_SUFFIX}-setup.exe"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1044 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1044 "CompanyName" "ORV AS"
VIAddVersionKey /LANG=1044 "FileDescription" "Installasjon av ${PRODUCT}"
VIAddVersionKey /LANG=1044 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1044 "ProductVersion" "${VERSION}${VERSION_NOTE}"
VIAddVersionKey /LANG=1044 "LegalCopyright" "ORV AS"

Var Upgrade

!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Norwegian"

; Asks every instance of the program to end (its main window, shown or
; hidden, is closed as if by the user; a job ends by itself) and waits until
; no process holds the installed program file. Returns with the error flag
; set when one still does after the wait.
!macro END_RUNNING_INSTANCES UN
Function ${UN}EndRunningInstances
  Push $0
  Push $1
  Push $2
  StrCpy $1 0
  ${Do}
    IfFileExists "$INSTDIR\Tindrel2.exe" 0 free
    ClearErrors
    FileOpen $2 "$INSTDIR\Tindrel2.exe" a
    ${IfNot} ${Errors}
      FileClose $2
      Goto free
    ${EndIf}
    ${If} $1 >= ${END_WAIT_STEPS}
      SetErrors
      Goto done
    ${EndIf}
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
    ${If} $0 <> 0
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    ${EndIf}
    Sleep 500
    IntOp $1 $1 + 1
  ${Loop}
free:
  ClearErrors
done:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_INSTANCES ""
!insertmacro END_RUNNING_INSTANCES "un."

Function .onInit
  SetShellVarContext all
  ; An installed copy is upgraded where it is.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\Tindrel2.exe"
    StrCpy $INSTDIR $0
    StrCpy $Upgrade 1
  ${EndIf}
FunctionEnd

Function SkipDirectoryOnUpgrade
  ${If} $Upgrade == 1
    Abort
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
retry:
  Call EndRunningInstances
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} kjører fortsatt og kan ikke oppdateres. Avslutt programmet og velg Prøv igjen." \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "${PRODUCT} kjører fortsatt; ingenting ble endret."
  ${EndIf}

  ; Written in place: the registration of an older copy names this same
  ; file, so it never points at a missing one.
  File "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The classes, the type library and the .orv association of this copy,
  ; written by the program itself (an elevated start refreshes them all).
  ExecWait '"$INSTDIR\Tindrel2.exe" /REGSERVER' $0

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Tindrel2.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}${VERSION_NOTE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ORV AS"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tindrel2.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

; Removes what the setup installed. The users' own files (the token cache
; in each user's application data) stay.
Section Uninstall
  Call un.EndRunningInstances
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "${PRODUCT} kjører fortsatt. Avslutt programmet og avinstaller på nytt." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  ; The classes, the type library and the .orv association, the last only
  ; while it still opens this copy.
  ExecWait '"$INSTDIR\Tindrel2.exe" /UNREGSERVER'

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\Tindrel2.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
