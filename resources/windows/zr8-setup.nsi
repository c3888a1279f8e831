; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer, built with NSIS (makensis) by the build:
;   makensis -DVERSION=1.1.0 -DPROGRAM=zr8-setup.exe [-DALPACA=zr8-alpaca.exe]
;            -DREADME=README.txt -DLICENSE=LICENSE.txt -DICON=zr8-setup.ico
;            -DOUTFILE=Setup.exe zr8-setup.nsi
; With ALPACA, the ASCOM Alpaca server comes along, with a Start-menu entry
; of its own.
; A 64-bit installer: NSIS's default 32-bit one would put a 64-bit program
; among the 32-bit ones. "/S" installs and "Uninstall.exe /S" removes
; without asking.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "ZR8 Encoder setup"
!define ALPACA_ENTRY "ZR8 Alpaca server"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zr8-setup"

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
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=zr8-setup.exe" "${PROGRAM}"
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

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${ALPACA_ENTRY}.lnk"
  Delete "$INSTDIR\zr8-alpaca.exe"
  Delete "$INSTDIR\zr8-setup.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
