; The Vantel installer for Windows, for people without administrator rights.
; scripts/package.sh builds it with makensis from the files of the zip:
;   makensis -DVERSION=1.0.0 -DSTAGE=DIR -DOUTFILE=FILE packaging/vantel.nsi
;
; It installs under the user's local application data, registers both
; VantelUS.dll for the current user (the DLL registers machine-wide instead
; when the process may write there, that is when the installer runs elevated),
; puts the folder on the user's PATH for vantel.exe, and writes an uninstaller
; that takes all of it away again. /S installs and uninstalls silently; the
; exit status is 0 on success and 2 when it failed (and undid what it had done).

Unicode true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include WinMessages.nsh
!include x64.nsh

!define PRODUCT "Vantel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantel"
!define ENVIRONMENT_KEY "Environment"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vantel"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "MIT License"

LicenseData "${STAGE}\LICENSE.txt"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---- The user's PATH, a list of folders separated by ";" in
; HKCU\Environment. A value this installer cannot read whole (longer than its
; strings, or not text) is left as it is.

; $R0 a PATH value, $R1 a folder. Gives $R2, the value without the entries
; that name the folder (with or without a final "\"; case ignored), every
; other entry kept as it was, and $R3 = 1 when there was such an entry.
!macro PATH_WITHOUT un
Function ${un}PathWithout
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $R2 ""
  StrCpy $R3 ""
  StrCpy $R4 ""  ; the entry read so far
  StrCpy $R6 0   ; the position
  StrCpy $R7 ""  ; the separator before the next entry kept
  ${Do}
    StrCpy $R5 $R0 1 $R6
    ${If} $R5 == ";"
    ${OrIf} $R5 == ""
      ${If} $R4 == $R1
      ${OrIf} $R4 == "$R1\"
        StrCpy $R3 1
      ${Else}
        StrCpy $R2 "$R2$R7$R4"
        StrCpy $R7 ";"
      ${EndIf}
      StrCpy $R4 ""
      ${IfThen} $R5 == "" ${|} ${ExitDo} ${|}
    ${Else}
      StrCpy $R4 "$R4$R5"
    ${EndIf}
    IntOp $R6 $R6 + 1
  ${Loop}
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT ""
!insertmacro PATH_WITHOUT "un."

; Reads the user's PATH into $R0. $R3 = "read" (also when there is none: $R0
; is then empty) or "unreadable" (there is one, but not of a kind or length
; this installer can change without losing some of it).
!macro READ_PATH un
Function ${un}ReadPath
  Push $R5
  Push $R6
  ClearErrors
  ReadRegStr $R0 HKCU "${ENVIRONMENT_KEY}" "Path"
  StrCpy $R3 "read"
  ${If} ${Errors}
    StrCpy $R0 ""
    ; No value at all, or one that could not be read: tell them apart.
    StrCpy $R6 0
    ${Do}
      ClearErrors
      EnumRegValue $R5 HKCU "${ENVIRONMENT_KEY}" $R6
      ${If} ${Errors}
      ${OrIf} $R5 == ""
        ${ExitDo}
      ${EndIf}
      ${If} $R5 == "Path"
        StrCpy $R3 "unreadable"
        ${ExitDo}
      ${EndIf}
      IntOp $R6 $R6 + 1
    ${Loop}
  ${EndIf}
  Pop $R6
  Pop $R5
FunctionEnd
!macroend
!insertmacro READ_PATH ""
!insertmacro READ_PATH "un."

!macro PATH_CHANGED
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

Function AddToPath
  Call ReadPath
  ${If} $R3 == "unreadable"
    DetailPrint "Your PATH is too long for this installer to change: add $INSTDIR to it yourself."
    MessageBox MB_ICONEXCLAMATION|MB_OK "Your PATH is too long for this installer to change safely.$\r$\nAdd $INSTDIR to it yourself to run vantel from any folder." /SD IDOK
    Return
  ${EndIf}
  StrCpy $R1 $INSTDIR
  Call PathWithout
  ${If} $R3 == 1
    DetailPrint "$INSTDIR is on your PATH already."
    Return
  ${EndIf}
  StrLen $R4 $R0
  StrLen $R5 $INSTDIR
  IntOp $R4 $R4 + $R5
  ${If} $R4 >= ${NSIS_MAX_STRLEN}
    DetailPrint "Your PATH would be too long for this installer: add $INSTDIR to it yourself."
    MessageBox MB_ICONEXCLAMATION|MB_OK "Your PATH is too long for this installer to change safely.$\r$\nAdd $INSTDIR to it yourself to run vantel from any folder." /SD IDOK
    Return
  ${EndIf}
  StrCpy $R5 $R0 1 -1
  ${If} $R0 == ""
    StrCpy $R0 $INSTDIR
  ${ElseIf} $R5 == ";"
    StrCpy $R0 "$R0$INSTDIR"
  ${Else}
    StrCpy $R0 "$R0;$INSTDIR"
  ${EndIf}
  WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R0
  !insertmacro PATH_CHANGED
  DetailPrint "Added $INSTDIR to your PATH."
FunctionEnd

!macro REMOVE_FROM_PATH un
Function ${un}RemoveFromPath
  Call ${un}ReadPath
  ${If} $R3 == "unreadable"
    DetailPrint "Your PATH is too long for this uninstaller to change: remove $INSTDIR from it yourself."
    Return
  ${EndIf}
  StrCpy $R1 $INSTDIR
  Call ${un}PathWithout
  ${IfThen} $R3 != 1 ${|} Return ${|}
  ${If} $R2 == ""
    DeleteRegValue HKCU "${ENVIRONMENT_KEY}" "Path"
  ${Else}
    WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R2
  ${EndIf}
  !insertmacro PATH_CHANGED
  DetailPrint "Removed $INSTDIR from your PATH."
FunctionEnd
!macroend
!insertmacro REMOVE_FROM_PATH "un."

; ---- Registration, by each DLL itself (regsvr32 calls DllRegisterServer):
; for the current user, or for the machine when the process may write there.
; $0 is 0 when every call succeeded.

!macro REGSVR32 options bits
  ${If} ${bits} == 64
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${options} "$INSTDIR\x64\VantelUS.dll"' $1
    ${EnableX64FSRedirection}
  ${Else}
    ; A 32-bit installer's System32 is the 32-bit one (SysWOW64 on 64-bit Windows).
    ExecWait '"$SYSDIR\regsvr32.exe" /s ${options} "$INSTDIR\x86\VantelUS.dll"' $1
  ${EndIf}
  ${If} $1 != 0
    DetailPrint "regsvr32 ${options} of the ${bits}-bit VantelUS.dll failed (exit status $1)."
    StrCpy $0 1
  ${EndIf}
!macroend

!macro UNREGISTER un
Function ${un}Unregister
  StrCpy $0 0
  ${If} ${FileExists} "$INSTDIR\x86\VantelUS.dll"
    !insertmacro REGSVR32 "/u" 32
  ${EndIf}
  ${If} ${RunningX64}
  ${AndIf} ${FileExists} "$INSTDIR\x64\VantelUS.dll"
    !insertmacro REGSVR32 "/u" 64
  ${EndIf}
FunctionEnd
!macroend
!insertmacro UNREGISTER ""
!insertmacro UNREGISTER "un."

!macro REMOVE_FILES
  Delete "$INSTDIR\x86\VantelUS.dll"
  Delete "$INSTDIR\x64\VantelUS.dll"
  Delete "$INSTDIR\vantel.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR"
!macroend

Section "Vantel"
  SetOutPath "$INSTDIR"
  File "${STAGE}\vantel.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\x86"
  File "${STAGE}\x86\VantelUS.dll"
  SetOutPath "$INSTDIR\x64"
  File "${STAGE}\x64\VantelUS.dll"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  StrCpy $0 0
  !insertmacro REGSVR32 "" 32
  ${If} ${RunningX64}
    !insertmacro REGSVR32 "" 64
  ${EndIf}
  ${If} $0 != 0
    ; Take back what was done, so that a failed install leaves nothing behind.
    Call Unregister
    !insertmacro REMOVE_FILES
    MessageBox MB_ICONSTOP|MB_OK "VantelUS.dll could not be registered; nothing was installed." /SD IDOK
    SetErrorLevel 2
    Abort "VantelUS.dll could not be registered; nothing was installed."
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Vantel authors"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  Call AddToPath
SectionEnd

Section "Uninstall"
  Call un.Unregister
  ${If} $0 != 0
    ; Keep the files, so that the registrations do not point at nothing.
    MessageBox MB_ICONSTOP|MB_OK "VantelUS.dll could not be unregistered; Vantel stays installed." /SD IDOK
    SetErrorLevel 2
    Abort "VantelUS.dll could not be unregistered; Vantel stays installed."
  ${EndIf}
  !insertmacro REMOVE_FILES
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Call un.RemoveFromPath
SectionEnd
