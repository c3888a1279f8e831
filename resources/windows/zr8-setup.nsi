; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer, built with NSIS (makensis) by the build:
;   makensis -DVERSION=1.1.0 -DPROGRAM=zr8-setup.exe -DZR8CTL=zr8ctl.exe
;            -DZR8CTL_MANUAL=zr8ctl.md [-DALPACA=zr8-alpaca.exe]
;            -DREADME=README.txt -DLICENSE=LICENSE.txt -DICON=zr8-setup.ico
;            -DOUTFILE=Setup.exe zr8-setup.nsi
; With ALPACA, the ASCOM Alpaca server comes along, with a Start-menu entry
; of its own.
; A 64-bit installer: NSIS's default 32-bit one would put a 64-bit program
; among the 32-bit ones. "/S" installs and "Uninstall.exe /S" removes
; without asking; "/S /PATH" also adds the folder to PATH, which the
; components page offers unticked.
;
; PATH: the system's, for every user. What the installer appended is kept
; in the uninstall key, and the uninstaller takes exactly that away again
; (the entry wherever it stands, if PATH was changed since). A PATH longer
; than NSIS's strings (1024 characters) is never written: it would be cut.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "WordFunc.nsh"

!define PRODUCT "ZR8 Encoder setup"
!define ALPACA_ENTRY "ZR8 Alpaca server"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zr8-setup"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; A string this long may have been cut by NSIS: PATH is then left alone.
!define /math PATH_LIMIT ${NSIS_MAX_STRLEN} - 1

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\zr8-setup"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "CompanyName" "zr8-setup developers"
VIAddVersionKey "LegalCopyright" "Copyright 2026 the zr8-setup developers; GPL-3.0-or-later"

; The licence is shown for reading; free software needs no acceptance.
LicenseText "${PRODUCT} is free software under the GNU General Public License, version 3 or later:" "Next >"
LicenseData "${LICENSE}"
Page license
Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "ZR8 Encoder setup and zr8ctl" SecProgram
  SectionIn RO
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=zr8-setup.exe" "${PROGRAM}"
  File "/oname=zr8ctl.exe" "${ZR8CTL}"
  File "/oname=zr8ctl.md" "${ZR8CTL_MANUAL}"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zr8-setup.exe"
!ifdef ALPACA
  File "/oname=zr8-alpaca.exe" "${ALPACA}"
  CreateShortcut "$SMPROGRAMS\${ALPACA_ENTRY}.lnk" "$INSTDIR\zr8-alpaca.exe"
!endif
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "zr8-setup developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zr8-setup.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Add the folder to PATH (zr8ctl in every console)" SecPath
  SetRegView 64
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  ${If} ${Errors}
    DetailPrint "PATH cannot be read (or is too long for the installer): add $INSTDIR to it by hand."
    Return
  ${EndIf}
  ; Already there: nothing added, nothing to take away later.
  ${WordReplace} ";$0;" ";$INSTDIR;" "" "+" $1
  ${If} $1 != ";$0;"
    DetailPrint "PATH holds $INSTDIR already."
    Return
  ${EndIf}
  StrCpy $1 "$INSTDIR"
  StrCpy $2 $0 "" -1
  ${If} $0 != ""
  ${AndIf} $2 != ";"
    StrCpy $1 ";$INSTDIR"
  ${EndIf}
  StrLen $2 "$0$1"
  ${If} $2 >= ${PATH_LIMIT}
    DetailPrint "PATH is too long for the installer to change safely: add $INSTDIR to it by hand."
    Return
  ${EndIf}
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0$1"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "AddedToPath" "$1"
  SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}
FunctionEnd

; Takes away what the installer appended to PATH: at the end as it was
; added, or the entry wherever it stands now.
Function un.RemoveFromPath
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
  StrCmp $0 "" done
  ClearErrors
  ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
  StrLen $2 $1
  ${If} ${Errors}
  ${OrIf} $2 >= ${PATH_LIMIT}
    DetailPrint "PATH cannot be read (or is too long for the uninstaller): take $INSTDIR out of it by hand."
    Goto done
  ${EndIf}
  StrLen $2 $0
  StrCpy $3 $1 "" -$2
  ${If} $3 == $0
    StrCpy $1 $1 -$2
  ${Else}
    ${un.WordReplace} ";$1;" ";$INSTDIR;" ";" "+" $1
    StrCpy $1 $1 "" 1
    StrCpy $1 $1 -1
  ${EndIf}
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" $1
  SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
  done:
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Call un.RemoveFromPath
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${ALPACA_ENTRY}.lnk"
  Delete "$INSTDIR\zr8-alpaca.exe"
  Delete "$INSTDIR\zr8-setup.exe"
  Delete "$INSTDIR\zr8ctl.exe"
  Delete "$INSTDIR\zr8ctl.md"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
