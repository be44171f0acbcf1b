; Varnosklen's setup program. It installs for the current user alone, with no
; administrator, finds the switch's library and copies it beside the program,
; upgrades in place (ending and restarting a running copy), and its
; uninstaller removes what it installed and nothing that belongs to another
; copy.
;
;   makensis -INPUTCHARSET UTF8 -DBIN_DIR=... -DICON=... -DREADME=... -DLICENSE=...
;            -DNOTICES=... -DOUT_FILE=... [-DX64] installer.nsi
;
; BIN_DIR holds the built programs; README, LICENSE and NOTICES are installed
; as DIAVASE-README.txt, LICENSE.txt and NOTICES.txt. X64 makes the setup of the 64-bit twin,
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
!define EXIT_ELEVATED 4
!ifdef X64
  !define OPTIONAL_MAGIC 0x20B
!else
  !define OPTIONAL_MAGIC 0x10B
!endif
; In the entry: 1 while the library beside the program is the one setup
; copied there, which alone the uninstaller may remove; beside it, that
; file's size and last write time, which tell it from a file put in its place.
!define LIBRARY_COPIED "LibraryCopied"
!define LIBRARY_STAMP "LibraryStamp"
!define DRIVE_REMOTE 4
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
Var Restart        ; how the ended program ran: "" (it did not), "shown" or "tray"
Var OldDir         ; the installed copy's folder, which an install elsewhere replaces
Var CarryStart     ; 1 when the copy moved here was started with Windows
Var OldCopied      ; 1 when setup had copied the library into $OldDir
Var Aside          ; the name the folder's own library is kept under, or ""

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

; The program's own choice of language, el or en in any case, as the program
; reads it; absent or anything else leaves Windows' display language.
!define LANGUAGE_VALUE "Language"
!macro FOLLOW_LANGUAGE un
Function ${un}FollowLanguage
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "${LANGUAGE_VALUE}"
  ${If} $0 == "el"
    StrCpy $LANGUAGE ${LANG_GREEK}
  ${ElseIf} $0 == "en"
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FOLLOW_LANGUAGE ""
!insertmacro FOLLOW_LANGUAGE "un."

!define E ${LANG_ENGLISH}
!define G ${LANG_GREEK}
LangString SEC_PROGRAM ${E} "Varnosklen and its command line"
LangString SEC_PROGRAM ${G} "Το Varnosklen και η γραμμή εντολών του"
LangString SEC_START ${E} "Start with Windows"
LangString SEC_START ${G} "Εκκίνηση μαζί με τα Windows"
LangString SEC_UN_SETTINGS ${E} "Its settings in the registry"
LangString SEC_UN_SETTINGS ${G} "Οι ρυθμίσεις του στο μητρώο"
LangString SHORTCUT_TIP ${E} "Shows the Varnosklen switch and connects the shared USB device"
LangString SHORTCUT_TIP ${G} "Δείχνει τον διακόπτη κοινής χρήσης USB και τον χειρίζεται"
LangString ENDING ${E} "Ending the running Varnosklen..."
LangString ENDING ${G} "Τερματισμός του Varnosklen που εκτελείται..."
LangString END_FAILED ${E} "Varnosklen, running from $0, did not close. Right-click its icon in the notification area, choose Exit, then choose Retry."
LangString END_FAILED ${G} "Το Varnosklen, που εκτελείται από το $0, δεν τερματίστηκε. Κλείστε το από το μενού του στην περιοχή ειδοποιήσεων και μετά επιλέξτε Επανάληψη."
LangString LIB_TITLE ${E} "The switch's library"
LangString LIB_TITLE ${G} "Η βιβλιοθήκη του διακόπτη"
LangString LIB_SUBTITLE ${E} "Varnosklen talks to the switch only through the vendor's ${LIBRARY}."
LangString LIB_SUBTITLE ${G} "Το Varnosklen επικοινωνεί με τον διακόπτη μόνο μέσω του ${LIBRARY} του κατασκευαστή."
LangString LIB_HERE ${E} "${LIBRARY} is already beside the program and stays there. To replace it, choose another file."
LangString LIB_HERE ${G} "Το ${LIBRARY} βρίσκεται ήδη δίπλα στο πρόγραμμα και μένει εκεί. Για να το αντικαταστήσετε, επιλέξτε άλλο αρχείο."
LangString LIB_FOUND ${E} "${LIBRARY} was found where Varnosklen looks for it: $Library. Setup will copy it beside the program."
LangString LIB_FOUND ${G} "Το ${LIBRARY} βρέθηκε εκεί όπου το αναζητά το Varnosklen: $Library. Η εγκατάσταση θα το αντιγράψει δίπλα στο πρόγραμμα."
LangString LIB_NOT_FOUND ${E} "${LIBRARY} was not found where Varnosklen looks for it. Choose it, for example on the switch's CD; Setup will copy it beside the program."
LangString LIB_NOT_FOUND ${G} "Το ${LIBRARY} δεν βρέθηκε εκεί όπου το αναζητά το Varnosklen. Επιλέξτε το, π.χ. από το CD του διακόπτη· η εγκατάσταση θα το αντιγράψει δίπλα στο πρόγραμμα."
LangString LIB_SKIP ${E} "Continue without the library: Varnosklen will show in red that it is missing until it is put beside the program."
LangString LIB_SKIP ${G} "Συνέχεια χωρίς τη βιβλιοθήκη: το Varnosklen θα δείχνει σε κόκκινο ότι λείπει, ώσπου να μπει δίπλα στο πρόγραμμα."
LangString LIB_FILTER ${E} "${LIBRARY}|${LIBRARY}|Libraries (*.dll)|*.dll"
LangString LIB_FILTER ${G} "${LIBRARY}|${LIBRARY}|Βιβλιοθήκες (*.dll)|*.dll"
LangString LIB_EMPTY ${E} "Choose ${LIBRARY}, or select the check box to continue without it."
LangString LIB_EMPTY ${G} "Επιλέξτε το ${LIBRARY} ή σημειώστε το πλαίσιο για να συνεχίσετε χωρίς αυτό."
LangString LIB_CHOSEN ${E} "Setup will copy $Library beside the program."
LangString LIB_CHOSEN ${G} "Η εγκατάσταση θα αντιγράψει το $Library δίπλα στο πρόγραμμα."
LangString LIB_ASIDE ${E} "Setup never writes over the ${LIBRARY} already in the folder: if it copies another, it keeps that one as $Aside."
LangString LIB_ASIDE ${G} "Η εγκατάσταση δεν γράφει ποτέ πάνω στο ${LIBRARY} που υπάρχει ήδη στον φάκελο: αν αντιγράψει άλλο, το κρατά ως $Aside."
LangString LIB_KEPT ${E} "The ${LIBRARY} already in the folder is kept as $Aside."
LangString LIB_KEPT ${G} "Το ${LIBRARY} που υπήρχε ήδη στον φάκελο διατηρείται ως $Aside."
LangString ELEVATED ${E} "Setup is running as another account, $7, with administrator rights: it would install Varnosklen for $7 only, not for $6. To install it for yourself, cancel and run setup again without administrator rights. Continue anyway?"
LangString ELEVATED ${G} "Η εγκατάσταση εκτελείται ως άλλος λογαριασμός, $7, με δικαιώματα διαχειριστή: θα εγκαταστήσει το Varnosklen μόνο για τον $7, όχι για τον $6. Για να το εγκαταστήσετε για εσάς, επιλέξτε Άκυρο και εκτελέστε ξανά την εγκατάσταση χωρίς δικαιώματα διαχειριστή. Να συνεχιστεί παρ' όλα αυτά;"
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

; Ends the program if it runs from the folder $0, through its Exit, and
; sets $Restart to how it ran, so that it can be started again as it was.
; Another copy, running from elsewhere, is left alone.
!macro END_PROGRAM un
Function ${un}EndProgram
  StrCpy $1 0
  ${Do}
    FindWindow $1 "${WINDOW_CLASS}" "" "" $1
    ${IfThen} $1 = 0 ${|} ${Break} ${|}
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r2) p .r3' ; SYNCHRONIZE, PROCESS_QUERY_LIMITED_INFORMATION
    ${IfThen} $3 P= 0 ${|} ${Continue} ${|}
    StrCpy $4 ""
    System::Call 'kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r4, *i ${NSIS_MAX_STRLEN})'
    ${If} $4 == "$0\${PROGRAM}"
      DetailPrint "$(ENDING)"
      System::Call 'user32::IsWindowVisible(p r1) i .r6'
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
      StrCpy $Restart "shown"
      ${IfThen} $6 = 0 ${|} StrCpy $Restart "tray" ${|}
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

; Sets $2 to the size and last write time of the library in the folder $0,
; or "" when there is none.
!macro OWNS_LIBRARY un
Function ${un}LibraryStamp
  StrCpy $2 ""
  ClearErrors
  GetFileTime "$0\${LIBRARY}" $3 $4
  ${IfThen} ${Errors} ${|} Return ${|}
  FileOpen $5 "$0\${LIBRARY}" r
  ${IfThen} ${Errors} ${|} Return ${|}
  FileSeek $5 0 END $6
  FileClose $5
  StrCpy $2 "$6 $3 $4"
FunctionEnd

; Sets $1 to 1 when the library in the folder $0 is still the one setup
; copied there, else to 0: a file put in its place since (the vendor's newer
; library, say) is the user's.
Function ${un}IsSetupsLibrary
  ReadRegDWORD $1 HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}"
  ReadRegStr $7 HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}"
  Call ${un}LibraryStamp
  ${If} $1 = 1
  ${AndIf} $2 != ""
  ${AndIf} $2 == $7
    Return
  ${EndIf}
  StrCpy $1 0
FunctionEnd

; The same, and a file that is not setup's loses the mark.
Function ${un}OwnsLibrary
  Call ${un}IsSetupsLibrary
  ${IfThen} $1 = 1 ${|} Return ${|}
  DeleteRegValue HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}"
  DeleteRegValue HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}"
FunctionEnd
!macroend
!insertmacro OWNS_LIBRARY ""
!insertmacro OWNS_LIBRARY "un."

; Sets $0 to 1 when Task Manager's Startup tab has disabled the start at
; logon: the first byte of its mark is odd, as the program reads it.
Function StartDisabled
  StrCpy $0 0
  System::Alloc 64
  Pop $1
  System::Call 'advapi32::RegGetValueW(p 0x80000001, w "${APPROVED_KEY}", w "${VALUE}", i 0x8, p 0, p r1, *i 64) i .r2'
  ${If} $2 = 0
    System::Call '*$1(&i1 .r2)'
    IntOp $0 $2 & 1
  ${EndIf}
  System::Free $1
FunctionEnd

; ---------------------------------------------------------------------------
; Setup

Section "$(SEC_PROGRAM)" SecProgram
  SectionIn RO
  ; Nothing is written before the running copies have ended: a copy that
  ; does not end leaves everything as it was.
  ${If} $OldDir != ""
  ${AndIf} $OldDir != $INSTDIR
  ${AndIf} ${FileExists} "$OldDir\${PROGRAM}"
    StrCpy $0 $OldDir
    Call EndProgram
  ${Else}
    StrCpy $OldDir ""
  ${EndIf}
  StrCpy $0 $INSTDIR
  Call EndProgram
  ; The library setup copied into the old folder, if still as it was copied,
  ; comes along, unless one was chosen or the new folder has its own.
  StrCpy $0 $INSTDIR
  ${IfThen} $OldDir != "" ${|} StrCpy $0 $OldDir ${|}
  Call OwnsLibrary
  StrCpy $OldCopied $1
  ${If} $OldDir != ""
    DeleteRegValue HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}"
    DeleteRegValue HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}"
    ${If} $OldCopied = 1
    ${AndIf} $LibraryChosen == ""
    ${AndIf} $Library != "$INSTDIR\${LIBRARY}"
    ${AndIf} ${FileExists} "$OldDir\${LIBRARY}"
      StrCpy $Library "$OldDir\${LIBRARY}"
    ${EndIf}
  ${EndIf}
  ; The uninstaller and the entry come before anything that can fail, so
  ; that whatever is copied can be removed.
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  Call WriteEntry
  File "/oname=${PROGRAM}" "${BIN_DIR}/Varnosklen.exe"
  File "${BIN_DIR}/varnosklen-cli.exe"
  File "/oname=DIAVASE-README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  File "/oname=NOTICES.txt" "${NOTICES}"
  ${If} $Library != ""
  ${AndIf} $Library != "$INSTDIR\${LIBRARY}"
    Call AsideName
    ${If} $Aside != ""
      DetailPrint "$(LIB_KEPT)"
      ClearErrors
      Rename "$INSTDIR\${LIBRARY}" "$INSTDIR\$Aside"
      ${If} ${Errors}
        SetErrorLevel ${EXIT_FAILED}
        Abort
      ${EndIf}
    ${EndIf}
    ClearErrors
    CopyFiles /SILENT /FILESONLY "$Library" "$INSTDIR\${LIBRARY}"
    ${If} ${Errors}
      SetErrorLevel ${EXIT_FAILED}
      Abort
    ${EndIf}
    StrCpy $0 $INSTDIR
    Call LibraryStamp
    WriteRegStr HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}" $2
    WriteRegDWORD HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}" 1
  ${EndIf}
  ${If} $OldDir != ""
    Call RemoveOldCopy
  ${EndIf}
  CreateShortCut "${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 SW_SHOWNORMAL "" "$(SHORTCUT_TIP)"
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${ENTRY_KEY}" "EstimatedSize" $0
SectionEnd

; The quiet uninstall command runs the uninstaller in place (_?=), so that
; it waits for the work and ends with its exit code.
Function WriteEntry
  WriteRegStr HKCU "${ENTRY_KEY}" "DisplayName" "Varnosklen"
  WriteRegStr HKCU "${ENTRY_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${ENTRY_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${ENTRY_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}"
  WriteRegStr HKCU "${ENTRY_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${ENTRY_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${ENTRY_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${ENTRY_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${ENTRY_KEY}" "NoRepair" 1
FunctionEnd

; The copy installed before in another folder goes as its uninstaller would
; take it away; its start at logon moves here, and the library setup had
; copied there came here unless another was chosen.
Function RemoveOldCopy
  StrCpy $R9 $INSTDIR
  StrCpy $INSTDIR $OldDir
  Call StartsThis
  ${If} ${Silent}
    StrCpy $CarryStart $0
  ${EndIf}
  Call ForgetStart
  StrCpy $INSTDIR $R9
  Delete "$OldDir\${PROGRAM}"
  Delete "$OldDir\varnosklen-cli.exe"
  ${If} $OldCopied = 1
    Delete "$OldDir\${LIBRARY}"
  ${EndIf}
  Delete "$OldDir\DIAVASE-README.txt"
  Delete "$OldDir\LICENSE.txt"
  Delete "$OldDir\NOTICES.txt"
  Delete "$OldDir\Uninstall.exe"
  RMDir "$OldDir"
FunctionEnd

; Whatever setup ended starts again as it was, whichever way setup ends.
Function RestartProgram
  ${If} $Restart == ""
    Return
  ${EndIf}
  StrCpy $0 "$INSTDIR\${PROGRAM}"
  ${IfNot} ${FileExists} $0
    StrCpy $0 "$OldDir\${PROGRAM}"
  ${EndIf}
  ${If} $Restart == "tray"
    Exec '"$0" /tray'
  ${Else}
    Exec '"$0"'
  ${EndIf}
FunctionEnd

Function .onInstFailed
  Call RestartProgram
FunctionEnd

; The same value as the tray menu's item writes; ticked, it also takes away
; a disable mark of Task Manager's, as the item does.
Section /o "$(SEC_START)" SecStart
SectionEnd

Section "-Start at logon, and again now"
  ${If} ${SectionIsSelected} ${SecStart}
  ${OrIf} $CarryStart = 1
    WriteRegStr HKCU "${RUN_KEY}" "${VALUE}" '"$INSTDIR\${PROGRAM}" /tray'
    DeleteRegValue HKCU "${APPROVED_KEY}" "${VALUE}"
  ${Else}
    Call ForgetStart
  ${EndIf}
  Call RestartProgram
SectionEnd

; Start with Windows is ticked when asked (/STARTWITHWINDOWS) or when Windows
; already starts this copy, so that an upgrade keeps it. The library is the
; one given (/LIBRARY=), refused with its own exit code in a silent setup, or
; else the one the search finds.
Function .onInit
  Call FollowLanguage
  Call RefuseElevation
  ReadRegStr $OldDir HKCU "${ENTRY_KEY}" "InstallLocation"
  ${GetParameters} $R0
  Call StartDisabled
  StrCpy $R1 $0
  Call StartsThis
  ${If} $R1 = 1
    StrCpy $0 0
  ${EndIf}
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

; An elevation prompt answered with an administrator's password runs setup
; as that administrator: it would install into that account's profile and
; start the program as that account. Setup notices an elevated token
; (TokenElevationTypeFull) of another account than the session's user, says
; so and offers to stop; a silent setup stops with its own exit code. An
; account elevating itself installs into its own profile, as it should.
Function RefuseElevation
  System::Call 'kernel32::GetCurrentProcess() p .r0'
  System::Call 'advapi32::OpenProcessToken(p r0, i 0x8, *p .r1) i .r2' ; TOKEN_QUERY
  ${IfThen} $2 = 0 ${|} Return ${|}
  System::Call 'advapi32::GetTokenInformation(p r1, i 18, *i .r3, i 4, *i .r4) i .r2' ; TokenElevationType
  System::Call 'kernel32::CloseHandle(p r1)'
  ${If} $2 = 0
  ${OrIf} $3 <> 2
    Return
  ${EndIf}
  StrCpy $6 ""
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r4, *i .r5) i .r2' ; the session's WTSUserName
  ${If} $2 <> 0
    System::Call '*$4(&w${NSIS_MAX_STRLEN} .r6)'
    System::Call 'wtsapi32::WTSFreeMemory(p r4)'
  ${EndIf}
  System::Call 'advapi32::GetUserNameW(w .r7, *i ${NSIS_MAX_STRLEN})'
  ${If} $6 != ""
  ${AndIf} $6 != $7
  ${AndIfNot} ${Cmd} `MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(ELEVATED)" /SD IDCANCEL IDOK`
    SetErrorLevel ${EXIT_ELEVATED}
    Quit
  ${EndIf}
FunctionEnd

; Sets $1 to "" when $0 is a Windows library for this program's processor,
; else to the sentence that says why it is not. Reads the file's headers only,
; and only inside the file: a header placed outside it, or cut short, is no
; library's.
Function CheckLibrary
  StrCpy $1 "$(LIB_UNREADABLE)"
  ClearErrors
  FileOpen $2 "$0" r
  ${IfThen} ${Errors} ${|} Return ${|}
  StrCpy $1 "$(LIB_NOT_DLL)"
  FileSeek $2 0 END $9              ; the file's size
  FileSeek $2 0
  FileReadWord $2 $3                ; "MZ"
  FileSeek $2 0x3C
  FileReadWord $2 $4                ; where the PE header starts
  FileReadWord $2 $5
  IntOp $5 $5 << 16
  IntOp $4 $4 | $5
  ; The PE header, its file header (20 bytes) and the optional header's
  ; magic must lie after the DOS header and inside the file.
  IntOp $5 $9 - 26
  ${If} $4 < 0x40
  ${OrIf} $4 > $5
    FileClose $2
    Return
  ${EndIf}
  FileSeek $2 $4
  FileReadWord $2 $5                ; "PE", 0
  FileReadWord $2 $6
  FileReadWord $2 $7                ; the machine
  FileSeek $2 16 CUR
  FileReadWord $2 $8                ; the characteristics
  FileReadWord $2 $9                ; the optional header's magic
  ${IfNot} ${Errors}
  ${AndIf} $3 = 0x5A4D
  ${AndIf} $5 = 0x4550
  ${AndIf} $6 = 0
    IntOp $8 $8 & 0x2000            ; a DLL
    ${If} $8 = 0
    ${ElseIf} $7 = ${MACHINE}
      ${IfThen} $9 = ${OPTIONAL_MAGIC} ${|} StrCpy $1 "" ${|}
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
; PATH's folders are skipped as the program skips them: relative ones, which
; would be the current folder, and network ones (UNC paths, mapped drives),
; which could keep setup waiting; the program's own folder counts wherever
; it is.
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
      StrCpy $R3 $R2 2
      System::Call 'kernel32::GetDriveTypeW(w "$R3\") i .R4'
      ${If} $R4 <> ${DRIVE_REMOTE}
        StrCpy $0 "$R2\${LIBRARY}"
        Call CheckLibrary
        ${IfThen} $1 == "" ${|} Return ${|}
      ${EndIf}
    ${EndIf}
  ${LoopUntil} $R1 == ""
  StrCpy $0 ""
FunctionEnd

; Sets $Aside to a free name to keep the library already in the folder
; under should another be copied, or to "" when there is none or it is the
; copy setup made: setup never writes over a file it did not put there.
Function AsideName
  StrCpy $Aside ""
  ${IfNotThen} ${FileExists} "$INSTDIR\${LIBRARY}" ${|} Return ${|}
  ${If} $OldDir == ""
  ${OrIf} $OldDir == $INSTDIR
    StrCpy $0 $INSTDIR
    Call IsSetupsLibrary
    ${IfThen} $1 = 1 ${|} Return ${|}
  ${EndIf}
  StrCpy $Aside "${LIBRARY}.previous"
  StrCpy $1 1
  ${While} ${FileExists} "$INSTDIR\$Aside"
    IntOp $1 $1 + 1
    StrCpy $Aside "${LIBRARY}.previous$1"
  ${EndWhile}
FunctionEnd

Function LibraryPage
  ${If} $LibraryChosen == ""
    Call FindLibrary
    StrCpy $Library $0
  ${EndIf}
  Call AsideName
  !insertmacro MUI_HEADER_TEXT "$(LIB_TITLE)" "$(LIB_SUBTITLE)"
  nsDialogs::Create 1018
  Pop $0
  ; The label names the file that will be copied, never a second search's.
  ${If} $Library == "$INSTDIR\${LIBRARY}"
    StrCpy $1 "$(LIB_HERE)"
  ${ElseIf} $LibraryChosen == "hand"
    StrCpy $1 "$(LIB_CHOSEN)"
  ${ElseIf} $Library != ""
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
  ${If} $Aside != ""
    ${NSD_CreateLabel} 0 100u 100% 24u "$(LIB_ASIDE)"
    Pop $0
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
  StrCpy $0 $INSTDIR
  Call un.EndProgram
  Call un.ForgetStart
  Delete "$INSTDIR\${PROGRAM}"
  Delete "$INSTDIR\varnosklen-cli.exe"
  Delete "$INSTDIR\DIAVASE-README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICES.txt"
  ; The entry, the shortcut and the library setup copied belong to the copy
  ; installed last; a library that was there before, or put there since,
  ; is the user's and stays.
  ReadRegStr $0 HKCU "${ENTRY_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == "$INSTDIR"
    StrCpy $0 $INSTDIR
    Call un.OwnsLibrary
    ${IfThen} $1 = 1 ${|} Delete "$INSTDIR\${LIBRARY}" ${|}
    DeleteRegKey HKCU "${ENTRY_KEY}"
    Delete "${SHORTCUT}"
  ${EndIf}
  ; Run in place by the quiet uninstall command (_?=), the uninstaller cannot
  ; delete its own file: a copy of it in the temporary folder, as NSIS's own
  ; copy lives there, does that and removes the folder once it has ended.
  ${If} $EXEDIR == $INSTDIR
    GetTempFileName $1
    CopyFiles /SILENT /FILESONLY "$EXEPATH" $1
    System::Call 'kernel32::GetCurrentProcessId() i .r2'
    Exec '"$1" /CLEANUP=$2 _?=$INSTDIR'
  ${Else}
    Delete "$INSTDIR\Uninstall.exe"
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.$(SEC_UN_SETTINGS)" SecUnSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

; /REMOVESETTINGS ticks the removal of the settings for a silent uninstall.
Function un.onInit
  Call un.FollowLanguage
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CLEANUP=" $R1
  ${IfNot} ${Errors}
    System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i R1) p .r1' ; SYNCHRONIZE
    ${If} $1 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r1, i ${END_WAIT_MS})'
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd
