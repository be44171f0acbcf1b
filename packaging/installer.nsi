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
!include WordFunc.nsh
!include x64.nsh

!getdllversion "${BIN_DIR}/Varnosklen.exe" VERSION_
; Major, minor and patch: a patch release is told apart in Apps & features.
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}"
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
; not be done, as NSIS gives for any abort, and 3 for a library refused; the
; others each for one reason to stop before anything is written, and 8 for an
; uninstall that left files behind. docs/setup.md names them all.
!define EXIT_FAILED 2
!define EXIT_LIBRARY_REFUSED 3
!define EXIT_ELEVATED 4 ; the account: SYSTEM, another than the session's, or not the entry's
!define EXIT_FOLDER 5
!define EXIT_ANOTHER_SETUP 6
!define EXIT_NEWER_INSTALLED 7
!define EXIT_FILES_LEFT 8
; Held by a setup or uninstaller while it runs, so that two never work at once.
!define SETUP_MUTEX "Local\Varnosklen.Setup"
!define ERROR_ALREADY_EXISTS 183
!define UAC_KEY "Software\Microsoft\Windows\CurrentVersion\Policies\System"
; Where the quiet uninstall's clean-up copy learns the folder to remove.
!define CLEANUP_ENV "VARNOSKLEN_CLEANUP"
!ifdef X64
  !define OPTIONAL_MAGIC 0x20B
!else
  !define OPTIONAL_MAGIC 0x10B
!endif
; In the entry: 1 while the library beside the program is the one setup
; copied there, which alone the uninstaller may remove; beside it, that
; file's SHA-256 and the identity of the folder it was copied to, which tell
; it from a file put in its place or the user's copy of the same library in
; another folder. An earlier build's stamp (size and time, LibraryStamp) is
; no longer trusted: its file counts as the user's.
!define LIBRARY_COPIED "LibraryCopied"
!define LIBRARY_STAMP "LibraryContent"
!define OLD_LIBRARY_STAMP "LibraryStamp"
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
Var Fresh          ; 1 when $INSTDIR holds no installation: a failure takes back all setup wrote
Var Made           ; the folder that existed above $INSTDIR, up to which a failure removes folders
Var Step           ; how many of setup's files are in place, in the order written
Var SetAside       ; 1 once the folder's own library is renamed to $Aside

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
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

; Setup that stops before writing, and an uninstall that reports what it left.
LangString FOLDER_UNUSABLE ${E} "Setup cannot make the folder $INSTDIR or write in it. Choose another folder."
LangString FOLDER_UNUSABLE ${G} "Η εγκατάσταση δεν μπορεί να δημιουργήσει τον φάκελο $INSTDIR ή να γράψει σε αυτόν. Επιλέξτε άλλο φάκελο."
LangString SYSTEM_ACCOUNT ${E} "Setup is running as the system account (SYSTEM), which is no user to install Varnosklen for. Run it as the user who will use Varnosklen."
LangString SYSTEM_ACCOUNT ${G} "Η εγκατάσταση εκτελείται ως ο λογαριασμός του συστήματος (SYSTEM), που δεν είναι χρήστης για τον οποίο να εγκατασταθεί το Varnosklen. Εκτελέστε την ως ο χρήστης που θα χρησιμοποιεί το Varnosklen."
LangString ANOTHER_SETUP ${E} "Another Varnosklen setup or uninstaller is running. Let it finish, then run this one again."
LangString ANOTHER_SETUP ${G} "Εκτελείται ήδη άλλη εγκατάσταση ή απεγκατάσταση του Varnosklen. Αφήστε την να τελειώσει και μετά εκτελέστε ξανά αυτήν."
; $0 is the installed version.
LangString NEWER_INSTALLED ${E} "Varnosklen $0 is installed, which is newer than this setup's ${VERSION}. Install the older version over it?"
LangString NEWER_INSTALLED ${G} "Είναι εγκατεστημένο το Varnosklen $0, νεότερο από το ${VERSION} αυτής της εγκατάστασης. Να εγκατασταθεί η παλαιότερη έκδοση πάνω του;"
LangString START_AT_LOGON ${E} "Setup runs with administrator rights, so it does not start Varnosklen itself: Varnosklen will start at the next logon."
LangString START_AT_LOGON ${G} "Η εγκατάσταση εκτελείται με δικαιώματα διαχειριστή, γι' αυτό δεν ξεκινά η ίδια το Varnosklen: θα ξεκινήσει στην επόμενη σύνδεση."
LangString START_YOURSELF ${E} "Setup runs with administrator rights, so it does not start Varnosklen itself: start it from the Start menu."
LangString START_YOURSELF ${G} "Η εγκατάσταση εκτελείται με δικαιώματα διαχειριστή, γι' αυτό δεν ξεκινά η ίδια το Varnosklen: ξεκινήστε το από το μενού Έναρξη."
LangString UN_NOT_OURS ${E} "The folder $INSTDIR is not the Varnosklen installed for this account, so the uninstaller leaves it as it is."
LangString UN_NOT_OURS ${G} "Ο φάκελος $INSTDIR δεν είναι το Varnosklen που εγκαταστάθηκε για αυτόν τον λογαριασμό, γι' αυτό η απεγκατάσταση τον αφήνει όπως είναι."
LangString UN_FILES_LEFT ${E} "Some files in $INSTDIR could not be removed: a program may be using them. Close it, then run the uninstaller again."
LangString UN_FILES_LEFT ${G} "Ορισμένα αρχεία στο $INSTDIR δεν αφαιρέθηκαν: ίσως τα χρησιμοποιεί κάποιο πρόγραμμα. Κλείστε το και μετά εκτελέστε ξανά την απεγκατάσταση."

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

; Sets $2 to the identity of the folder $0 (its volume's serial number and
; its file index), the same whatever the spelling (a short name, a subst
; drive, a junction), or "" when it cannot be opened.
!macro FOLDER_ID un
Function ${un}FolderId
  StrCpy $2 ""
  ; FILE_READ_ATTRIBUTES, any sharing, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS (a folder)
  System::Call 'kernel32::CreateFileW(w r0, i 0x80, i 7, p 0, i 3, i 0x02000000, p 0) p .r3'
  ${IfThen} $3 P= -1 ${|} Return ${|}
  System::Alloc 52
  Pop $4
  System::Call 'kernel32::GetFileInformationByHandle(p r3, p r4) i .r5'
  System::Call 'kernel32::CloseHandle(p r3)'
  ${If} $5 <> 0
    ; the volume's serial number at 28, the file index at 44 (high) and 48;
    ; what comes between is read into $6 and written over
    System::Call '*$4(i .r6, i .r6, i .r6, i .r6, i .r6, i .r6, i .r6, i .r5, i .r6, i .r6, i .r6, i .r6, i .r7)'
    StrCpy $2 "$5:$6:$7"
  ${EndIf}
  System::Free $4
FunctionEnd

; Sets $2 to 1 when the folders $0 and $1 are the same folder, else 0; by
; their spelling only when either cannot be opened.
Function ${un}SameFolder
  Push $0
  Push $1
  Call ${un}FolderId
  StrCpy $8 $2
  StrCpy $0 $1
  Call ${un}FolderId
  Pop $1
  Pop $0
  ${If} $8 != ""
  ${AndIf} $2 != ""
    StrCpy $9 $2
    StrCpy $2 0
    ${IfThen} $8 == $9 ${|} StrCpy $2 1 ${|}
    Return
  ${EndIf}
  StrCpy $2 0
  ${IfThen} $0 == $1 ${|} StrCpy $2 1 ${|}
FunctionEnd
!macroend
!insertmacro FOLDER_ID ""
!insertmacro FOLDER_ID "un."

; Sets $2 to the SHA-256 of the library in the folder $0 (Windows' own
; hashing, bcrypt) and the folder's identity, or "" when there is none.
!macro OWNS_LIBRARY un
Function ${un}LibraryStamp
  Call ${un}FolderId
  Push $2
  StrCpy $2 ""
  System::Call 'kernel32::CreateFileW(w "$0\${LIBRARY}", i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r3' ; GENERIC_READ
  ${If} $3 P= -1
    Pop $3
    Return
  ${EndIf}
  System::Call 'kernel32::GetFileSize(p r3, p 0) i .r4'
  IntOp $4 $4 + 0
  System::Alloc $4
  Pop $5
  System::Call 'kernel32::ReadFile(p r3, p r5, i r4, *i .r6, p 0) i .r7'
  System::Call 'kernel32::CloseHandle(p r3)'
  ${If} $7 <> 0
  ${AndIf} $6 = $4
  ${AndIf} $5 P<> 0
    System::Call 'bcrypt::BCryptOpenAlgorithmProvider(*p .r8, w "SHA256", p 0, i 0) i .r7'
    ${If} $7 = 0
      System::Alloc 32
      Pop $9
      System::Call 'bcrypt::BCryptCreateHash(p r8, *p .r1, p 0, i 0, p 0, i 0, i 0) i .r7'
      ${If} $7 = 0
        System::Call 'bcrypt::BCryptHashData(p r1, p r5, i r4, i 0) i .r7'
        ${If} $7 = 0
          System::Call 'bcrypt::BCryptFinishHash(p r1, p r9, i 32, i 0) i .r7'
        ${EndIf}
        System::Call 'bcrypt::BCryptDestroyHash(p r1)'
        ${If} $7 = 0
          ; The 32 bytes as eight little-endian words, each written byte by byte.
          Push $0
          Push $5
          Push $8
          System::Call '*$9(i .r0, i .r1, i .r3, i .r4, i .r5, i .r6, i .r7, i .r8)'
          Push $8
          Push $7
          Push $6
          Push $5
          Push $4
          Push $3
          Push $1
          Push $0
          StrCpy $6 0
          ${Do}
            Pop $3
            StrCpy $7 0
            ${Do}
              IntOp $4 $3 >> $7
              IntOp $4 $4 & 0xFF
              IntFmt $4 "%02x" $4
              StrCpy $2 "$2$4"
              IntOp $7 $7 + 8
            ${LoopUntil} $7 = 32
            IntOp $6 $6 + 1
          ${LoopUntil} $6 = 8
          Pop $8
          Pop $5
          Pop $0
        ${EndIf}
      ${EndIf}
      System::Free $9
      System::Call 'bcrypt::BCryptCloseAlgorithmProvider(p r8, i 0)'
    ${EndIf}
  ${EndIf}
  ${IfThen} $5 P<> 0 ${|} System::Free $5 ${|}
  Pop $3
  ${IfThen} $2 != "" ${|} StrCpy $2 "$2 $3" ${|}
FunctionEnd

; Sets $1 to 1 when the library in the folder $0 is still the one setup
; copied there, else to 0: a file put in its place since (the vendor's newer
; library, say), or the user's copy in another folder, is the user's.
Function ${un}IsSetupsLibrary
  Call ${un}LibraryStamp
  ReadRegDWORD $1 HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}"
  ReadRegStr $7 HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}"
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
  Call ${un}ForgetLibrary
FunctionEnd

Function ${un}ForgetLibrary
  DeleteRegValue HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}"
  DeleteRegValue HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}"
  DeleteRegValue HKCU "${ENTRY_KEY}" "${OLD_LIBRARY_STAMP}"
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

; Stops the install with code 2; .onInstFailed takes back what was written.
!macro FAIL_IF_ERRORS
  ${If} ${Errors}
    SetErrorLevel ${EXIT_FAILED}
    Abort
  ${EndIf}
!macroend

Section "$(SEC_PROGRAM)" SecProgram
  SectionIn RO
  ; The installed folder by another spelling is no move.
  ${If} $OldDir != ""
    StrCpy $0 $OldDir
    StrCpy $1 $INSTDIR
    Call SameFolder
    ${If} $2 = 1
      ${IfThen} $Library == "$INSTDIR\${LIBRARY}" ${|} StrCpy $Library "$OldDir\${LIBRARY}" ${|}
      StrCpy $INSTDIR $OldDir
    ${EndIf}
  ${EndIf}
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
  ; A folder with no installation in it gets back to what it was if a step
  ; fails: the entry, naming the old folder or none, is written last.
  StrCpy $Fresh 1
  ReadRegStr $0 HKCU "${ENTRY_KEY}" "InstallLocation"
  ${IfThen} $0 == $INSTDIR ${|} StrCpy $Fresh 0 ${|}
  ; The library setup copied into the old folder, if still as it was copied,
  ; comes along, unless one was chosen or the new folder has its own.
  StrCpy $0 $INSTDIR
  ${IfThen} $OldDir != "" ${|} StrCpy $0 $OldDir ${|}
  Call IsSetupsLibrary
  StrCpy $OldCopied $1
  ${If} $OldDir != ""
  ${AndIf} $OldCopied = 1
  ${AndIf} $LibraryChosen == ""
  ${AndIf} $Library != "$INSTDIR\${LIBRARY}"
  ${AndIf} ${FileExists} "$OldDir\${LIBRARY}"
    StrCpy $Library "$OldDir\${LIBRARY}"
  ${EndIf}
  StrCpy $Step 0
  ClearErrors
  CreateDirectory "$INSTDIR"
  !insertmacro FAIL_IF_ERRORS
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  !insertmacro FAIL_IF_ERRORS
  ; A file that cannot be written stops setup (AllowSkipFiles off).
  StrCpy $Step 1
  File "/oname=${PROGRAM}" "${BIN_DIR}/Varnosklen.exe"
  StrCpy $Step 2
  File "${BIN_DIR}/varnosklen-cli.exe"
  StrCpy $Step 3
  File "/oname=DIAVASE-README.txt" "${README}"
  StrCpy $Step 4
  File "/oname=LICENSE.txt" "${LICENSE}"
  StrCpy $Step 5
  File "/oname=NOTICES.txt" "${NOTICES}"
  StrCpy $Step 6
  StrCpy $2 ""
  ${If} $Library != ""
  ${AndIf} $Library != "$INSTDIR\${LIBRARY}"
    Call AsideName
    ${If} $Aside != ""
      DetailPrint "$(LIB_KEPT)"
      ClearErrors
      Rename "$INSTDIR\${LIBRARY}" "$INSTDIR\$Aside"
      !insertmacro FAIL_IF_ERRORS
      StrCpy $SetAside 1
    ${EndIf}
    ClearErrors
    CopyFiles /SILENT /FILESONLY "$Library" "$INSTDIR\${LIBRARY}"
    !insertmacro FAIL_IF_ERRORS
    StrCpy $Step 7
    StrCpy $0 $INSTDIR
    Call LibraryStamp
  ${EndIf}
  ; Everything is in place: now the entry says so.
  StrCpy $Step 8
  ClearErrors
  Call WriteEntry
  ${If} $2 != ""
    WriteRegStr HKCU "${ENTRY_KEY}" "${LIBRARY_STAMP}" $2
    WriteRegDWORD HKCU "${ENTRY_KEY}" "${LIBRARY_COPIED}" 1
  ${EndIf}
  !insertmacro FAIL_IF_ERRORS
  ; Values that may be absent, whose deletion sets the error flag.
  ${If} $2 != ""
    DeleteRegValue HKCU "${ENTRY_KEY}" "${OLD_LIBRARY_STAMP}"
  ${ElseIf} $Fresh = 1
    Call ForgetLibrary
  ${Else}
    StrCpy $0 $INSTDIR
    Call OwnsLibrary
  ${EndIf}
  ${If} $OldDir != ""
    Call RemoveOldCopy
  ${EndIf}
  CreateShortCut "${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 SW_SHOWNORMAL "" "$(SHORTCUT_TIP)"
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${ENTRY_KEY}" "EstimatedSize" $0
SectionEnd

; A failed install into a folder that held no installation takes back what
; it wrote there, in the reverse order; the entry is as it was (none, or the
; old folder's). A failed upgrade in place keeps its entry and uninstaller,
; so that it can be run again or uninstalled.
Function TakeBack
  ${IfThen} $Fresh != 1 ${|} Return ${|}
  ${If} $Step >= 8
    ; The entry itself could not be written whole.
    ${If} $OldDir == ""
      DeleteRegKey HKCU "${ENTRY_KEY}"
    ${Else}
      StrCpy $R9 $INSTDIR
      StrCpy $INSTDIR $OldDir
      Call WriteEntry
      StrCpy $INSTDIR $R9
    ${EndIf}
  ${EndIf}
  SetOutPath $TEMP ; not the folder, which is to go
  ${If} $Step >= 7
    Delete "$INSTDIR\${LIBRARY}"
  ${EndIf}
  ${If} $SetAside = 1
    Rename "$INSTDIR\$Aside" "$INSTDIR\${LIBRARY}"
  ${EndIf}
  ${IfThen} $Step >= 6 ${|} Delete "$INSTDIR\NOTICES.txt" ${|}
  ${IfThen} $Step >= 5 ${|} Delete "$INSTDIR\LICENSE.txt" ${|}
  ${IfThen} $Step >= 4 ${|} Delete "$INSTDIR\DIAVASE-README.txt" ${|}
  ${IfThen} $Step >= 3 ${|} Delete "$INSTDIR\varnosklen-cli.exe" ${|}
  ${IfThen} $Step >= 2 ${|} Delete "$INSTDIR\${PROGRAM}" ${|}
  ${IfThen} $Step >= 1 ${|} Delete "$INSTDIR\Uninstall.exe" ${|}
  Call RemoveMadeFolders
FunctionEnd

; Removes, while empty, the folders made for $INSTDIR up to $Made, which was
; there before.
Function RemoveMadeFolders
  ${IfThen} $Made == "" ${|} Return ${|}
  StrCpy $3 $INSTDIR
  ${DoWhile} $3 != $Made
    RMDir $3
    ${GetParent} $3 $4
    ${IfThen} $4 == $3 ${|} ${ExitDo} ${|}
    StrCpy $3 $4
  ${LoopUntil} $3 == ""
FunctionEnd

; Sets $0 to "" when the folder $INSTDIR can be made and written, else to the
; sentence that says it cannot. Whatever it makes to find out, it removes.
Function CheckFolder
  StrCpy $0 "$(FOLDER_UNUSABLE)"
  ; $Made: the nearest folder there is above (or at) $INSTDIR
  StrCpy $Made $INSTDIR
  ${Do}
    ${IfThen} ${FileExists} "$Made\*.*" ${|} ${ExitDo} ${|}
    ${IfThen} ${FileExists} "$Made" ${|} Return ${|} ; a file in the way
    ${GetParent} $Made $1
    ${If} $1 == ""
    ${OrIf} $1 == $Made
      StrCpy $Made ""
      Return
    ${EndIf}
    StrCpy $Made $1
  ${Loop}
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${IfNot} ${Errors}
    System::Call 'kernel32::GetTempFileNameW(w "$INSTDIR", w "vns", i 0, w .r1) i .r2'
    ${If} $2 <> 0
      Delete $1
      StrCpy $0 ""
    ${EndIf}
  ${EndIf}
  Call RemoveMadeFolders
FunctionEnd

; The folder page keeps the user on it while the folder cannot be used.
Function DirectoryLeave
  Call CheckFolder
  ${If} $0 != ""
    MessageBox MB_ICONEXCLAMATION "$0"
    Abort
  ${EndIf}
FunctionEnd

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

; Sets $0 to 1 when setup runs elevated while UAC is on: what it started
; would run with the administrator's token, which a later setup or
; uninstaller, run as the user, could not end.
Function IsElevated
  StrCpy $0 0
!ifdef X64
  ReadRegDWORD $1 HKLM "${UAC_KEY}" "EnableLUA"
!else
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegDWORD $1 HKLM "${UAC_KEY}" "EnableLUA"
  SetRegView lastused
!endif
  ${IfThen} $1 <> 1 ${|} Return ${|}
  System::Call 'kernel32::GetCurrentProcess() p .r1'
  System::Call 'advapi32::OpenProcessToken(p r1, i 0x8, *p .r2) i .r3' ; TOKEN_QUERY
  ${IfThen} $3 = 0 ${|} Return ${|}
  System::Call 'advapi32::GetTokenInformation(p r2, i 18, *i .r4, i 4, *i .r5) i .r3' ; TokenElevationType
  System::Call 'kernel32::CloseHandle(p r2)'
  ${If} $3 <> 0
  ${AndIf} $4 = 2 ; TokenElevationTypeFull
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; Whatever setup ended starts again as it was, whichever way setup ends;
; an elevated setup leaves it to the next logon or to the user.
Function RestartProgram
  ${If} $Restart == ""
    Return
  ${EndIf}
  Call IsElevated
  ${If} $0 = 1
    ReadRegStr $1 HKCU "${RUN_KEY}" "${VALUE}"
    ${If} $1 != ""
      MessageBox MB_ICONINFORMATION "$(START_AT_LOGON)" /SD IDOK
    ${Else}
      MessageBox MB_ICONINFORMATION "$(START_YOURSELF)" /SD IDOK
    ${EndIf}
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
  Call TakeBack
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
  Call OneAtATime
  Call RefuseAccount
  ReadRegStr $OldDir HKCU "${ENTRY_KEY}" "InstallLocation"
  ; An older setup over a newer installation: silently refused, on pages asked.
  ReadRegStr $0 HKCU "${ENTRY_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} $0 "${VERSION}" $1
    ${If} $1 = 1
    ${AndIfNot} ${Cmd} `MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NEWER_INSTALLED)" /SD IDNO IDYES`
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
  ${EndIf}
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
    ; A relative name is the starting folder's file, found now: setup moves
    ; its own current folder as it works.
    System::Call 'kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
    ${IfThen} $2 <> 0 ${|} StrCpy $0 $1 ${|}
    StrCpy $Library $0
    StrCpy $LibraryChosen "hand"
    Call CheckLibrary
    ${If} $1 != ""
    ${AndIf} ${Silent}
      SetErrorLevel ${EXIT_LIBRARY_REFUSED}
      Quit
    ${EndIf}
  ${EndIf}
  ; /D= or the installed folder, or an error: never another folder. NSIS
  ; puts its default in place of a folder it finds unusable, and cuts /D=
  ; off its own copy of the command line: the one Windows keeps tells.
  ${If} ${Silent}
    StrCpy $4 $OldDir
    System::Call 'kernel32::GetCommandLineW() w .r1'
    StrLen $2 $1
    StrCpy $3 0
    ${DoWhile} $3 < $2
      StrCpy $5 $1 4 $3
      ${If} $5 == " /D="
        IntOp $3 $3 + 4
        StrCpy $4 $1 "" $3
        ${ExitDo}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
    ${If} $4 != ""
      ; spelled as NSIS keeps folders: full, with no trailing blank or "\"
      System::Call 'kernel32::GetFullPathNameW(w r4, i ${NSIS_MAX_STRLEN}, w .r5, p 0) i .r6'
      ${IfThen} $6 <> 0 ${|} StrCpy $4 $5 ${|}
      StrCpy $5 $4 "" -1
      ${IfThen} $5 == "\" ${|} StrCpy $4 $4 -1 ${|}
      ${If} $4 != $INSTDIR
        SetErrorLevel ${EXIT_FOLDER}
        Quit
      ${EndIf}
    ${EndIf}
    Call CheckFolder
    ${If} $0 != ""
      SetErrorLevel ${EXIT_FOLDER}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; One setup or uninstaller at a time: the second stops with its own code.
!macro ONE_AT_A_TIME un
Function ${un}OneAtATime
  System::Call 'kernel32::CreateMutexW(p 0, i 1, w "${SETUP_MUTEX}") p .r0 ?e'
  Pop $1
  ${If} $1 = ${ERROR_ALREADY_EXISTS}
    MessageBox MB_ICONEXCLAMATION "$(ANOTHER_SETUP)" /SD IDOK
    SetErrorLevel ${EXIT_ANOTHER_SETUP}
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ONE_AT_A_TIME ""
!insertmacro ONE_AT_A_TIME "un."

; Setup installs for the account it runs as, into its profile and its
; registry. It refuses the system account (a management tool's "system"
; context), which is no user; and it notices another account than the
; session's user (an elevation prompt answered with an administrator's
; password, runas), says so naming both and offers to stop; a silent setup
; stops with its own exit code. Accounts are compared by SID, so two
; accounts of one name in two domains differ; an account elevating itself
; installs into its own profile, as it should.
Function RefuseAccount
  System::Call 'kernel32::GetCurrentProcess() p .r0'
  System::Call 'advapi32::OpenProcessToken(p r0, i 0x8, *p .r1) i .r2' ; TOKEN_QUERY
  ${IfThen} $2 = 0 ${|} Return ${|}
  System::Alloc 256
  Pop $8
  System::Call 'advapi32::GetTokenInformation(p r1, i 1, p r8, i 256, *i .r4) i .r2' ; TokenUser
  System::Call 'kernel32::CloseHandle(p r1)'
  ${If} $2 = 0
    System::Free $8
    Return
  ${EndIf}
  System::Call '*$8(p .r5)' ; TOKEN_USER's SID
  System::Call 'advapi32::IsWellKnownSid(p r5, i 22) i .r2' ; WinLocalSystemSid, S-1-5-18
  ${If} $2 <> 0
    System::Free $8
    MessageBox MB_ICONSTOP "$(SYSTEM_ACCOUNT)" /SD IDOK
    SetErrorLevel ${EXIT_ELEVATED}
    Quit
  ${EndIf}
  ; The session's user, by name from the session, then by SID.
  StrCpy $6 ""
  StrCpy $3 ""
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r4, *i .r2) i .r2' ; WTSUserName
  ${If} $2 <> 0
    System::Call '*$4(&w${NSIS_MAX_STRLEN} .r6)'
    System::Call 'wtsapi32::WTSFreeMemory(p r4)'
  ${EndIf}
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r4, *i .r2) i .r2' ; WTSDomainName
  ${If} $2 <> 0
    System::Call '*$4(&w${NSIS_MAX_STRLEN} .r3)'
    System::Call 'wtsapi32::WTSFreeMemory(p r4)'
  ${EndIf}
  System::Call 'advapi32::GetUserNameW(w .r7, *i ${NSIS_MAX_STRLEN})'
  ${If} $6 == ""
    System::Free $8
    Return
  ${EndIf}
  StrCpy $0 $6
  ${IfThen} $3 != "" ${|} StrCpy $0 "$3\$6" ${|}
  System::Alloc 256
  Pop $9
  System::Call 'advapi32::LookupAccountNameW(p 0, w r0, p r9, *i 256, w .r1, *i ${NSIS_MAX_STRLEN}, *i .r4) i .r2'
  ${If} $2 <> 0
    System::Call 'advapi32::EqualSid(p r5, p r9) i .r2'
  ${Else}
    ; No SID for the session's user: by name, as well as can be told.
    StrCpy $2 0
    ${IfThen} $6 == $7 ${|} StrCpy $2 1 ${|}
  ${EndIf}
  System::Free $9
  System::Free $8
  ${If} $2 = 0
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

; A program started again after an upgrade needs no second start, and an
; elevated setup starts none.
Function FinishPageShow
  Call IsElevated
  ${If} $Restart != ""
  ${OrIf} $0 = 1
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
  ; A file that cannot be deleted (held by a running command line, an
  ; editor) is said in the exit code; the entry and the uninstaller stay,
  ; so that a second try can finish. The library setup copied goes with the
  ; rest; one that was there before, or put there since, is the user's and
  ; stays.
  ClearErrors
  Delete "$INSTDIR\${PROGRAM}"
  Delete "$INSTDIR\varnosklen-cli.exe"
  Delete "$INSTDIR\DIAVASE-README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICES.txt"
  Delete "${SHORTCUT}"
  StrCpy $R1 0
  ${IfThen} ${Errors} ${|} StrCpy $R1 1 ${|}
  StrCpy $0 $INSTDIR
  Call un.OwnsLibrary
  ${If} $1 = 1
    ClearErrors
    Delete "$INSTDIR\${LIBRARY}"
    ${IfThen} ${Errors} ${|} StrCpy $R1 1 ${|}
  ${EndIf}
  ${If} $R1 = 1
    DetailPrint "$(UN_FILES_LEFT)"
    MessageBox MB_ICONEXCLAMATION "$(UN_FILES_LEFT)" /SD IDOK
    SetErrorLevel ${EXIT_FILES_LEFT}
    Return
  ${EndIf}
  DeleteRegKey HKCU "${ENTRY_KEY}"
  ; Run in place by the quiet uninstall command (_?=), the uninstaller cannot
  ; delete its own file: a copy of it in the temporary folder does that and
  ; removes the folder once this one has ended, and the command processor
  ; that started it deletes the copy once it has ended in turn.
  ${If} $EXEDIR == $INSTDIR
    GetTempFileName $1
    Delete $1
    StrCpy $1 "$1.exe"
    CopyFiles /SILENT /FILESONLY "$EXEPATH" $1
    System::Call 'kernel32::GetCurrentProcessId() i .r2'
    System::Call 'kernel32::SetEnvironmentVariableW(w "${CLEANUP_ENV}", w "$INSTDIR")'
    ; The copy's own _?= is the temporary folder, escaped for the command line.
    ${GetParent} $1 $3
    ${WordReplace} $3 "^" "^^" "+" $3
    ${WordReplace} $3 "&" "^&" "+" $3
    ${WordReplace} $3 "|" "^|" "+" $3
    ${WordReplace} $3 "<" "^<" "+" $3
    ${WordReplace} $3 ">" "^>" "+" $3
    SetOutPath "$TEMP" ; the folder is to go: no process may start in it
    ExecShell "open" "$SYSDIR\cmd.exe" '/d /c start "" /wait "$1" /S /CLEANUP=$2 _?=$3& del /f /q "$1"' SW_HIDE
  ${Else}
    Delete "$INSTDIR\Uninstall.exe"
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.$(SEC_UN_SETTINGS)" SecUnSettings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

; /REMOVESETTINGS ticks the removal of the settings for a silent uninstall.
; Only the folder this account's entry names is uninstalled: another
; account's installation, or a copy no entry remembers, is left alone.
Function un.onInit
  Call un.FollowLanguage
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CLEANUP=" $R1
  ${IfNot} ${Errors}
    ReadEnvStr $R2 "${CLEANUP_ENV}"
    System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i R1) p .r1' ; SYNCHRONIZE
    ${If} $1 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r1, i ${END_WAIT_MS})'
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    ${If} $R2 != ""
      Delete "$R2\Uninstall.exe"
      RMDir "$R2"
    ${EndIf}
    Quit
  ${EndIf}
  Call un.OneAtATime
  ReadRegStr $0 HKCU "${ENTRY_KEY}" "InstallLocation"
  StrCpy $1 $INSTDIR
  Call un.SameFolder
  ${If} $0 == ""
  ${OrIf} $2 <> 1
    MessageBox MB_ICONSTOP "$(UN_NOT_OURS)" /SD IDOK
    SetErrorLevel ${EXIT_ELEVATED}
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd
