; SPDX-FileCopyrightText: the Installer utilities authors
; SPDX-License-Identifier: MIT
; A prerequisites setup: installs the Visual C++ 2013 x86 runtime through
; Tarbel.exe, before the application's own package runs. Build it with
;   makensis -DPAYLOAD=<folder> [-DARCH=x86|amd64] [-DOUTFILE=<setup.exe>] prerequisites.nsi
; where <folder> holds Tarbel.exe and vcredist_x86.exe. Run it as
;   setup.exe /S
; for a silent installation.
;
; Exit codes: 0, the runtime is in place; 3010, it is installed and Windows must
; restart before it is used; 1603 (ERROR_INSTALL_FAILURE), it is not installed.
; Each run replaces %TEMP%\prerequisites-setup.log with what Tarbel answered and
; what the setup made of it.

!ifndef PAYLOAD
  !error "Name the folder that holds Tarbel.exe and vcredist_x86.exe: -DPAYLOAD=<folder>"
!endif
!ifndef ARCH
  !define ARCH x86
!endif
!ifndef OUTFILE
  !define OUTFILE prerequisites-setup.exe
!endif

!include LogicLib.nsh

Target ${ARCH}-unicode
Name "Example App Prerequisites"
OutFile "${OUTFILE}"
; The runtime is installed for the whole machine.
RequestExecutionLevel admin
ShowInstDetails show
Page instfiles

!define SETUP_LOG "$TEMP\prerequisites-setup.log"
; Tarbel and the redistributable run elevated: they are unpacked into a new
; folder under Program Files, which only administrators can change, not into
; the temporary folder, which the user's programs can change while they run.
!define UNPACK_DIR "$PROGRAMFILES\Example App Prerequisites"
!define TARBEL_LOG "$TEMP\ovt18helper.log"
!define RUNTIME "Visual C++ 2013 x86 runtime"

!macro Log text
  FileOpen $9 "${SETUP_LOG}" a
  FileSeek $9 0 END
  FileWrite $9 "${text}$\r$\n"
  FileClose $9
!macroend

; Ends the setup as failed, with the reason in the log and, unless silent, on screen.
!macro Fail text
  !insertmacro Log "${text}"
  !insertmacro Log "Setup exit code: 1603"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel 1603
  Abort
!macroend

Section
  Delete "${SETUP_LOG}"
  ; Extracted together: Tarbel runs the redistributable that sits beside it.
  RMDir /r "${UNPACK_DIR}"
  ClearErrors
  CreateDirectory "${UNPACK_DIR}"
  ${If} ${Errors}
    !insertmacro Fail "The ${RUNTIME} was not installed: ${UNPACK_DIR} cannot be created. Run the setup as an administrator."
  ${EndIf}
  SetOutPath "${UNPACK_DIR}"
  File "${PAYLOAD}\Tarbel.exe"
  File "${PAYLOAD}\vcredist_x86.exe"
  ; Out of the folder again, so that it can be removed.
  SetOutPath "$TEMP"

  DetailPrint "Installing the ${RUNTIME}..."
  StrCpy $0 ""
  ClearErrors
  ; Tarbel does nothing without an argument; its text is not read.
  ExecWait '"${UNPACK_DIR}\Tarbel.exe" install' $0
  ${If} ${Errors}
    RMDir /r "${UNPACK_DIR}"
    !insertmacro Fail "Tarbel.exe could not be started; the ${RUNTIME} was not installed."
  ${EndIf}
  RMDir /r "${UNPACK_DIR}"
  !insertmacro Log "Tarbel.exe exit code: $0"

  ${Select} $0
  ${Case} 0
    !insertmacro Log "The ${RUNTIME} is in place."
    !insertmacro Log "Setup exit code: 0"
  ${Case} 3010
    !insertmacro Log "The ${RUNTIME} is installed; Windows must restart before it is used."
    !insertmacro Log "Setup exit code: 3010"
    SetRebootFlag true
    SetErrorLevel 3010
  ${Case} 3
    !insertmacro Fail "The ${RUNTIME} could not be installed. Tarbel.exe's log says why: ${TARBEL_LOG}"
  ${Case} 5
    !insertmacro Fail "Tarbel.exe could not write its log, ${TARBEL_LOG}, and installed nothing. Is another installation running?"
  ${Case} 1
    !insertmacro Fail "Packaging error: Tarbel.exe was started without an argument."
  ${CaseElse}
    !insertmacro Fail "Tarbel.exe ended unexpectedly; the ${RUNTIME} may not be installed. Its log, if any: ${TARBEL_LOG}"
  ${EndSelect}
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    MessageBox MB_YESNO|MB_ICONQUESTION "Windows must restart to finish installing the ${RUNTIME}. Restart now?" /SD IDNO IDNO +2
    Reboot
  ${EndIf}
FunctionEnd
