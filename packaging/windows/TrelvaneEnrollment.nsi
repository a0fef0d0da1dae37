; The Windows setup program of the enrollment station, made by packaging/windows/make-setup:
;   makensis -DVERSION=1.0 -DSTAGE=<folder of the files> -DOUTFILE=<setup.exe> TrelvaneEnrollment.nsi
; The program and its libraries go under Program Files (only administrators may change them);
; the station's data (configuration, enroll password, logs, templates) goes to
; ProgramData\Trelvane Enrollment ($APPDATA in the all-users context), which the users of the
; machine may change, and which the uninstaller leaves in place.
Unicode true
; A 64-bit setup program for a 64-bit station (and a 64-bit-only Wine runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "TrelvaneEnrollment-${VERSION}-setup.exe"
!endif

!define PRODUCT "Trelvane Enrollment"
!define PROGRAM "TrelvaneEnrollment.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TrelvaneEnrollment"
; Built-in Users group, named by its SID so that it holds in every language of Windows.
!define USERS_SID "*S-1-5-32-545"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var DataFolder

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ; An upgrade goes where the last version went.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 "" +2
  StrCpy $INSTDIR $0
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Station"
  StrCpy $DataFolder "$APPDATA\${PRODUCT}"
  SetOutPath "$INSTDIR"
  !include "${STAGE}/install-files.nsh"

  ; The data folder: made once, never emptied by an upgrade.
  CreateDirectory "$DataFolder"
  ; The users of the machine may create and change the station's files there.
  nsExec::ExecToLog 'icacls "$DataFolder" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0
  StrCmp $0 "0" +2
  DetailPrint "The rights of $DataFolder could not be set (icacls: $0): give the station's users the right to change it."

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}" \
      '--folder "$DataFolder"' "$INSTDIR\${PROGRAM}" 0

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only the files this setup installed: the folder may hold others (a site's own notes).
  !include "${STAGE}/uninstall-files.nsh"
  ; The uninstaller runs from a copy of itself; the original may still be held for a moment
  ; by the process that started the copy.
  StrCpy $1 0
  retryDelete:
    Delete "$INSTDIR\Uninstall.exe"
    IfFileExists "$INSTDIR\Uninstall.exe" 0 deleted
    IntOp $1 $1 + 1
    IntCmp $1 40 deleted
    Sleep 250
    Goto retryDelete
  deleted:
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The data folder stays: it holds the site's configuration, logs and templates.
  DetailPrint "The station's data stays in $APPDATA\${PRODUCT}"
SectionEnd
