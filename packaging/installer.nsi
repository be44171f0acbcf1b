; Varnosklen's setup program. It installs for the current user alone, with no
; administrator, finds the switch's library and copies it beside the program,
; upgrades in place (ending and restarting a running copy), and its
; uninstaller removes what it installed and nothing that belongs to another
; copy.
;
;   makensis -INPUTCHARSET UTF8 -DBIN_DIR=... -DICON=... -DREADME=... -DLICENSE=...
;            -DOUT_FILE=... [-DX64] installer.nsi
;
; BIN_DIR holds the built programs; README and LICENSE are installed as
; DIAVASE-README.txt and LICENSE.txt. X64 makes the setup of the 64-bit twin,
; which exists only to be tested where 32-bit programs cannot run.

!ifdef X64
  Target amd64-unicode
  !define MACHINE 0x8664
  !define BITS 64
  !define OTHER_MACHINE 0x14C
  !define OTHER_BITS 32
!else
  Unicode true
  !define MACHINE 0x14C
  !define BITS 32
  !define OTHER_MACHINE 0x8664
  !define OTHER_BITS 64
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!getdllversion "${BIN_DIR}/Varnosklen.exe" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}"
!define PUBLISHER "The Varnosklen developers"

!define PROGRAM "Varnosklen.exe"
!define LIBRARY "AVR309.dll"
; The running program is found by its window's class and ended by the command
; of its tray menu's Exit, so it ends exactly as when the user exits it.
!define WINDOW_CLASS "Varnosklen.Form1"
!define EXIT_COMMAND 202
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define ENTRY_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnosklen"
!define SETTINGS_KEY "Software\Varnosklen"
!define VALUE "Varnosklen"
!define SHORTCUT "$SMPROGRAMS\Varnosklen.lnk"
; Exit codes besides NSIS's 0 (done) and 1 (cancelled): 2 when the work could
; not be done, as NSIS gives for any abort, and 3 for a library refused.
!define EXIT_FAILED 2
!define EXIT_LIBRARY_REFUSED 3
; How long a running program gets to end: long enough for a slow library call.
!define END_WAIT_MS 15000

Name "Varnosklen"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Varnosklen"
InstallDirRegKey HKCU "${ENTRY_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
AllowSkipFiles off
; The same sources make the same setup program: no file times inside.
SetDateSave off
BrandingText "Varnosklen ${VERSION}"

VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey /LANG=1033 "ProductName" "Varnosklen"
VIAddVersionKey /LANG=1033 "FileDescription" "Varnosklen setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT License"

Var Library        ; the library to copy beside the program, or "" for none
Var LibraryChosen  ; "" while the search decides, "hand" once chosen, "skip" to go without
Var LibraryField
Var LibrarySkip
Var Restart        ; the command that starts the ended program again, or ""

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
Page custom LibraryPage LibraryPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; English first: the language of systems in neither language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Greek"

!define E ${LANG_ENGLISH}
!define G ${LANG_GREEK}
LangString SEC_PROGRAM ${E} "Varnosklen and its command line"
LangString SEC_PROGRAM ${G} "Το Varnosklen και η γραμμή εντολών του"
LangString SEC_START ${E} "Start with Windows"
LangString SEC_START ${G} "Εκκίνηση μαζί με τα Windows"
LangString SEC_UN_SETTINGS ${E} "Its settings in the registry"
LangString SEC_UN_SETTINGS ${G} "Οι ρυθμίσεις του στο μητρώο"
LangString SHORTCUT_TIP ${E} "Shows the USB sharing switch and switches it"
LangString SHORTCUT_TIP ${G} "Δείχνει τον διακόπτη κοινής χρήσης USB και τον χειρίζεται"
LangString ENDING ${E} "Ending the running Varnosklen..."
LangString ENDING ${G} "Τερματισμός του Varnosklen που εκτελείται..."
LangString END_FAILED ${E} "Varnosklen, running from $INSTDIR, did not end. Exit it from its menu in the notification area, then choose Retry."
LangString END_FAILED ${G} "Το Varnosklen, που εκτελείται από το $INSTDIR, δεν τερματίστηκε. Κλείστε το από το μενού του στην περιοχή ειδοποιήσεων και μετά επιλέξτε Επανάληψη."
LangString LIB_TITLE ${E} "The switch's library"
LangString LIB_TITLE ${G} "Η βιβλιοθήκη του διακόπτη"
LangString LIB_SUBTITLE ${E} "Varnosklen talks to the switch only through the vendor's ${LIBRARY}."
LangString LIB_SUBTITLE ${G} "Το Varnosklen επικοινωνεί με τον διακόπτη μόνο μέσω του ${LIBRARY} του κατασκευαστή."
LangString LIB_HERE ${E} "${LIBRARY} is already beside the program and stays there. To replace it, choose another file."
LangString LIB_HERE ${G} "Το ${LIBRARY} βρίσκεται ήδη δίπλα στο πρόγραμμα και μένει εκεί. Για να το αντικαταστήσετε, επιλέξτε άλλο αρχείο."
LangString LIB_FOUND ${E} "${LIBRARY} was found where Varnosklen looks for it. Setup will copy it beside the program."
LangString LIB_FOUND ${G} "Το ${LIBRARY} βρέθηκε εκεί όπου το αναζητά το Varnosklen. Η εγκατάσταση θα το αντιγράψει δίπλα στο πρόγραμμα."
LangString LIB_NOT_FOUND ${E} "${LIBRARY} was not found where Varnosklen looks for it. Choose it, for example on the switch's CD; Setup will copy it beside the program."
LangString LIB_NOT_FOUND ${G} "Το ${LIBRARY} δεν βρέθηκε εκεί όπου το αναζητά το Varnosklen. Επιλέξτε το, π.χ. από το CD του διακόπτη· η εγκατάσταση θα το αντιγράψει δίπλα στο πρόγραμμα."
LangString LIB_SKIP ${E} "Continue without the library: Varnosklen will say on red that it is missing until it is put beside the program."
LangString LIB_SKIP ${G} "Συνέχεια χωρίς τη βιβλιοθήκη: το Varnosklen θα δείχνει σε κόκκινο ότι λείπει, ώσπου να μπει δίπλα στο πρόγραμμα."
LangString LIB_FILTER ${E} "${LIBRARY}|${LIBRARY}|Libraries (*.dll)|*.dll"
LangString LIB_FILTER ${G} "${LIBRARY}|${LIBRARY}|Βιβλιοθήκες (*.dll)|*.dll"
LangString LIB_EMPTY ${E} "Choose ${LIBRARY}, or tick the box to continue without it."
LangString LIB_EMPTY ${G} "Επιλέξτε το ${LIBRARY} ή σημειώστε το πλαίσιο για να συνεχίσετε χωρίς αυτό."
; $0 is the file refused.
LangString LIB_UNREADABLE ${E} "$0 cannot be opened: it does not exist or cannot be read."
LangString LIB_UNREADABLE ${G} "Το $0 δεν ανοίγει: δεν υπάρχει ή δεν διαβάζεται."
LangString LIB_NOT_DLL ${E} "$0 is not a Windows library (DLL), so it cannot be the switch's ${LIBRARY}."
LangString LIB_NOT_DLL ${G} "Το $0 δεν είναι βιβλιοθήκη των Windows (DLL), άρα δεν μπορεί να είναι το ${LIBRARY} του διακόπτη."
LangString LIB_OTHER_BITS ${E} "$0 is a ${OTHER_BITS}-bit library: Varnosklen is a ${BITS}-bit program and can use only the ${BITS}-bit ${LIBRARY}."
LangString LIB_OTHER_BITS ${G} "Το $0 είναι βιβλιοθήκη ${OTHER_BITS} bit: το Varnosklen είναι πρόγραμμα ${BITS} bit και μπορεί να χρησιμοποιήσει μόνο το ${LIBRARY} των ${BITS} bit."
LangString LIB_OTHER_CPU ${E} "$0 is a library for another kind of processor: Varnosklen can use only the ${BITS}-bit ${LIBRARY} for x86 processors."
LangString LIB_OTHER_CPU ${G} "Το $0 είναι βιβλιοθήκη για άλλο είδος επεξεργαστή: το Varnosklen μπορεί να χρησιμοποιήσει μόνο το ${LIBRARY} των ${BITS} bit για επεξεργαστές x86."

; ---------------------------------------------------------------------------
; Shared by setup and the uninstaller

; Ends the program if it runs from this folder, through its Exit; $Restart
; then starts it again as it was, in the notification area if it was hidden.
; Another copy, running from elsewhere, is left alone.
!macro END_PROGRAM un
Function ${un}EndProgram
  StrCpy $Restart ""
  StrCpy $1 0
  ${Do}
    FindWindow $1 "${WINDOW_CLASS}" "" "" $1
    ${IfThen} $1 = 0 ${|} ${Break} ${|}
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r2) p .r3' ; SYNCHRONIZE, PROCESS_QUERY_LIMITED_INFORMATION
    ${IfThen} $3 P= 0 ${|} ${Continue} ${|}
    StrCpy $4 ""
    System::Call 'kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r4, *i ${NSIS_MAX_STRLEN})'
    ${If} $4 == "$INSTDIR\${PROGRAM}"
      DetailPrint "$(ENDING)"
      System::Call 'user32::IsWindowVisible(p r1) i .r5'
      StrCpy $Restart '"$INSTDIR\${PROGRAM}"'
      ${If} $5 = 0
        StrCpy $Restart "$Restart /tray"
      ${EndIf}
      System::Call 'user32::PostMessageW(p r1, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)'
      System::Call 'kernel32::WaitForSingleObject(p r3, i ${END_WAIT_MS}) i .r5'
      ${If} $5 <> 0
        System::Call 'kernel32::CloseHandle(p r3)'
        ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(END_FAILED)" /SD IDCANCEL IDRETRY`
          StrCpy $1 0
          ${Continue}
        ${EndIf}
        SetErrorLevel ${EXIT_FAILED}
        Abort
      ${EndIf}
      StrCpy $1 0 ; from the top: its window is gone
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r3)'
  ${Loop}
FunctionEnd
!macroend
!insertmacro END_PROGRAM ""
!insertmacro END_PROGRAM "un."

; Sets $0 to 1 when Windows starts this copy at logon, else 0. The program
; writes its path quoted, then /tray.
!macro STARTS_THIS un
Function ${un}StartsThis
  ReadRegStr $1 HKCU "${RUN_KEY}" "${VALUE}"
  StrLen $2 '"$INSTDIR\${PROGRAM}"'
  StrCpy $1 $1 $2
  StrCpy $0 0
  ${IfThen} $1 == '"$INSTDIR\${PROGRAM}"' ${|} StrCpy $0 1 ${|}
FunctionEnd

; Takes away this copy's start at logon and its mark in Task Manager; a mark
; with no start left beside it too, as no copy can own it. Another copy's
; start is left alone, and its mark with it.
Function ${un}ForgetStart
  Call ${un}StartsThis
  ${If} $0 = 1
    DeleteRegValue HKCU "${RUN_KEY}" "${VALUE}"
  ${EndIf}
  ClearErrors
  ReadRegStr $1 HKCU "${RUN_KEY}" "${VALUE}"
  ${If} ${Errors}
    DeleteRegValue HKCU "${APPROVED_KEY}" "${VALUE}"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro STARTS_THIS ""
!insertmacro STARTS_THIS "un."

; ---------------------------------------------------------------------------
; Setup

Section "$(SEC_PROGRAM)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call EndProgram
  File "/oname=${PROGRAM}" "${BIN_DIR}/Varnosklen.exe"
  File "${BIN_DIR}/varnosklen-cli.exe"
  File "/oname=DIAVASE-README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  ${If} $Library != ""
  ${AndIf} $Library != "$INSTDIR\${LIBRARY}"
    ClearErrors
    CopyFiles /SILENT /FILESONLY "$Library" "$INSTDIR\${LIBRARY}"
    ${If} ${Errors}
      SetErrorLevel ${EXIT_FAILED}
      Abort
    ${EndIf}
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 SW_SHOWNORMAL "" "$(SHORTCUT_TIP)"

  WriteRegStr HKCU "${ENTRY_KEY}" "DisplayName" "Varnosklen"
  WriteRegStr HKCU "${ENTRY_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${ENTRY_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${ENTRY_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}"
  WriteRegStr HKCU "${ENTRY_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${ENTRY_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${ENTRY_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${ENTRY_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${ENTRY_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${ENTRY_KEY}" "EstimatedSize" $0
SectionEnd

; The same value as the tray menu's item writes.
Section /o "$(SEC_START)" SecStart
SectionEnd

Section "-Start at logon, and again now"
  ${If} ${SectionIsSelected} ${SecStart}
    WriteRegStr HKCU "${RUN_KEY}" "${VALUE}" '"$INSTDIR\${PROGRAM}" /tray'
  ${Else}
    Call ForgetStart
  ${EndIf}
  ${If} $Restart != ""
    Exec $Restart
  ${EndIf}
SectionEnd

; Start with Windows is ticked when asked (/STARTWITHWINDOWS) or when Windows
; already starts this copy, so that an upgrade keeps it. The library is the
; one given (/LIBRARY=), refused with its own exit code in a silent setup, or
; else the one the search finds.
Function .onInit
  ${GetParameters} $R0
  Call StartsThis
  ClearErrors
  ${GetOptions} $R0 "/STARTWITHWINDOWS" $R1
  ${IfNot} ${Errors}
  ${OrIf} $0 = 1
    !insertmacro SelectSection ${SecStart}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/LIBRARY=" $0
  ${If} ${Errors}
    Call FindLibrary
    StrCpy $Library $0
  ${Else}
    StrCpy $Library $0
    StrCpy $LibraryChosen "hand"
    Call CheckLibrary
    ${If} $1 != ""
    ${AndIf} ${Silent}
      SetErrorLevel ${EXIT_LIBRARY_REFUSED}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; Sets $1 to "" when $0 is a Windows library for this program's processor,
; else to the sentence that says why it is not. Reads the file's headers only.
Function CheckLibrary
  StrCpy $1 "$(LIB_UNREADABLE)"
  ClearErrors
  FileOpen $2 "$0" r
  ${IfThen} ${Errors} ${|} Return ${|}
  StrCpy $1 "$(LIB_NOT_DLL)"
  FileReadWord $2 $3                ; "MZ"
  FileSeek $2 0x3C
  FileReadWord $2 $4                ; where the PE header starts
  FileReadWord $2 $5
  IntOp $5 $5 << 16
  IntOp $4 $4 | $5
  FileSeek $2 $4
  FileReadWord $2 $5                ; "PE", 0
  FileReadWord $2 $6
  FileReadWord $2 $7                ; the machine
  FileSeek $2 16 CUR
  FileReadWord $2 $8                ; the characteristics
  ${IfNot} ${Errors}
  ${AndIf} $3 = 0x5A4D
  ${AndIf} $5 = 0x4550
  ${AndIf} $6 = 0
    IntOp $8 $8 & 0x2000            ; a DLL
    ${If} $8 = 0
    ${ElseIf} $7 = ${MACHINE}
      StrCpy $1 ""
    ${ElseIf} $7 = ${OTHER_MACHINE}
      StrCpy $1 "$(LIB_OTHER_BITS)"
    ${Else}
      StrCpy $1 "$(LIB_OTHER_CPU)"
    ${EndIf}
  ${EndIf}
  FileClose $2
FunctionEnd

; Sets $0 to the library the program would load: the first usable one in its
; own folder, the system folder, the Windows folder and PATH's folders; or "".
; Relative folders of PATH are never searched, as the program never does; nor
; network folders, which could keep setup waiting.
Function FindLibrary
  StrCpy $0 "$INSTDIR\${LIBRARY}"
  Call CheckLibrary
  ${IfThen} $1 == "" ${|} Return ${|}
  StrCpy $0 "$SYSDIR\${LIBRARY}"
  Call CheckLibrary
  ${IfThen} $1 == "" ${|} Return ${|}
  StrCpy $0 "$WINDIR\${LIBRARY}"
  Call CheckLibrary
  ${IfThen} $1 == "" ${|} Return ${|}
  ReadEnvStr $R1 PATH
  ${Do}
    ; $R2: the next folder of $R1
    StrCpy $R2 ""
    ${Do}
      StrCpy $R3 $R1 1
      StrCpy $R1 $R1 "" 1
      ${IfThen} $R3 == ";" ${|} ${ExitDo} ${|}
      StrCpy $R2 "$R2$R3"
    ${LoopUntil} $R1 == ""
    StrCpy $R3 $R2 2 1
    StrCpy $R4 $R2 "" -1
    ${IfThen} $R4 == "\" ${|} StrCpy $R2 $R2 -1 ${|}
    ${If} $R3 == ":\"
      StrCpy $0 "$R2\${LIBRARY}"
      Call CheckLibrary
      ${IfThen} $1 == "" ${|} Return ${|}
    ${EndIf}
  ${LoopUntil} $R1 == ""
  StrCpy $0 ""
FunctionEnd

Function LibraryPage
  ${If} $LibraryChosen == ""
    Call FindLibrary
    StrCpy $Library $0
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(LIB_TITLE)" "$(LIB_SUBTITLE)"
  nsDialogs::Create 1018
  Pop $0
  Call FindLibrary
  ${If} $0 == "$INSTDIR\${LIBRARY}"
    StrCpy $1 "$(LIB_HERE)"
  ${ElseIf} $0 != ""
    StrCpy $1 "$(LIB_FOUND)"
  ${Else}
    StrCpy $1 "$(LIB_NOT_FOUND)"
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 36u "$1"
  Pop $0
  ${NSD_CreateText} 0 44u -60u 13u "$Library"
  Pop $LibraryField
  ${NSD_CreateBrowseButton} -55u 43u 55u 15u "$(^BrowseBtn)"
  Pop $0
  ${NSD_OnClick} $0 LibraryBrowse
  ${NSD_CreateCheckbox} 0 72u 100% 24u "$(LIB_SKIP)"
  Pop $LibrarySkip
  ${If} $LibraryChosen == "skip"
    ${NSD_Check} $LibrarySkip
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function LibraryBrowse
  ${NSD_GetText} $LibraryField $0
  nsDialogs::SelectFileDialog open "$0" "$(LIB_FILTER)"
  Pop $0
  ${IfThen} $0 != "" ${|} ${NSD_SetText} $LibraryField "$0" ${|}
FunctionEnd

; A refused file keeps the user on the page, with the reason.
Function LibraryPageLeave
  ${NSD_GetState} $LibrarySkip $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $Library ""
    StrCpy $LibraryChosen "skip"
    Return
  ${EndIf}
  ${NSD_GetText} $LibraryField $0
  ${If} $0 == ""
    MessageBox MB_ICONEXCLAMATION "$(LIB_EMPTY)"
    Abort
  ${EndIf}
  Call CheckLibrary
  ${If} $1 != ""
    MessageBox MB_ICONEXCLAMATION "$1"
    Abort
  ${EndIf}
  ${If} $0 != $Library
    StrCpy $LibraryChosen "hand"
  ${EndIf}
  StrCpy $Library $0
FunctionEnd

; A program started again after an upgrade needs no second start.
Function FinishPageShow
  ${If} $Restart != ""
    ${NSD_Uncheck} $mui.FinishPage.Run
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------
; The uninstaller

Section "un.Varnosklen" SecUnProgram
  SectionIn RO
  Call un.EndProgram
  Call un.ForgetStart
  Delete "$INSTDIR\${PROGRAM}"
  Delete "$INSTDIR\varnosklen-cli.exe"
  Delete "$INSTDIR\${LIBRARY}"
  Delete "$INSTDIR\DIAVASE-README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; The entry and the shortcut belong to the copy installed last.
  ReadRegStr $0 HKCU "${ENTRY_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == "$INSTDIR"
    DeleteRegKey HKCU "${ENTRY_KEY}"
    Delete "${SHORTCUT}"
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.$(SEC_UN_SETTINGS)" SecUnSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

; /REMOVESETTINGS ticks the removal of the settings for a silent uninstall.
Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd
