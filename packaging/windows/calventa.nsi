; The Windows installer of Calventa (NSIS 3, Debian's makensis). The build's `installer`
; target gives it:
;   VERSION       the program's version
;   OUTFILE       the setup program to write
;   STAGE         the folder of the stripped programs, README.txt, LICENSE.txt and boards\demo.json
;   HAVE_DESKTOP  defined when the desktop program calventa.exe is among them
;   ICON          the program's icon, for the setup and the uninstaller (optional)
; Everything lands in one folder; the disk service is registered and removed by calventasvc's
; own /install and /uninstall, never by hand-made service entries.
Unicode true
; The 64-bit stub: the 32-bit one does nothing (and still ends with 0) on a 64-bit-only Wine.
Target amd64-unicode

!ifndef VERSION | OUTFILE | STAGE
  !error "makensis -DVERSION=... -DOUTFILE=... -DSTAGE=... calventa.nsi"
!endif

!include "LogicLib.nsh"

!define PRODUCT "Calventa"
!define PUBLISHER "Morvalt Software"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Calventa"
; The programs' own key (the disk service's "sysdata", "Svc", "PATH", "WakeDisks") and the
; value the options dialog writes for "start with Windows".
!define VENDOR_KEY "Software\Morvalt Software"
!define PROGRAM_KEY "Software\Morvalt Software\Calventa Beta 1.0"
!define AUTORUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AUTORUN_VALUE "Calventa"
!define MENU_FOLDER "$SMPROGRAMS\Calventa"
!ifdef HAVE_DESKTOP
  !define MAIN_PROGRAM "calventa.exe"
!else
  !define MAIN_PROGRAM "calventa-cli.exe"
!endif

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Calventa"
; A second installation goes where the first one is.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
LicenseData "${STAGE}\LICENSE.txt"
!ifdef ICON
  Icon "${ICON}"
  UninstallIcon "${ICON}"
!endif
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "2026 The Calventa developers"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Stops with a message (a line in the details when silent) and the status 2 of an aborted
; setup: a step that failed is never reported as an installed or removed program.
!macro FailWith TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort "${TEXT}"
!macroend

Section "Calventa"
  SetShellVarContext all
  SetRegView 64

  ; An earlier installation's service runs the calventasvc.exe about to be replaced: it goes
  ; first, through that program's own command.
  ${If} ${FileExists} "$INSTDIR\calventasvc.exe"
    DetailPrint "Removing the disk service of the earlier installation: calventasvc /uninstall"
    nsExec::ExecToLog '"$INSTDIR\calventasvc.exe" /uninstall'
    Pop $0
    ${If} $0 != 0
      !insertmacro FailWith "calventasvc /uninstall failed ($0): the earlier installation is left as it is."
    ${EndIf}
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${STAGE}\calventa-cli.exe"
  File "${STAGE}\calventasvc.exe"
!ifdef HAVE_DESKTOP
  File "${STAGE}\calventa.exe"
!endif
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\boards"
  File "${STAGE}\boards\demo.json"
  SetOutPath "$INSTDIR"

  ; The uninstaller and its key come before the service: a setup that stops at the service
  ; can still be removed.
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${MAIN_PROGRAM}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0

  CreateDirectory "${MENU_FOLDER}"
!ifdef HAVE_DESKTOP
  CreateShortcut "${MENU_FOLDER}\Calventa.lnk" "$INSTDIR\calventa.exe"
!endif
  ; calventa-cli is a console program: its entry opens a console in the program's folder
  ; (the shortcut's working folder is the output path).
  CreateShortcut "${MENU_FOLDER}\Calventa command line.lnk" "$SYSDIR\cmd.exe" \
    "/k calventa-cli.exe --help" "$INSTDIR\calventa-cli.exe"
  CreateShortcut "${MENU_FOLDER}\Uninstall Calventa.lnk" "$INSTDIR\uninstall.exe"

  ; The disk service reads the disks with the local system's rights for every user's
  ; monitor; calventasvc registers itself (started with Windows) and says how it went.
  DetailPrint "Registering the disk service: calventasvc /install"
  nsExec::ExecToLog '"$INSTDIR\calventasvc.exe" /install'
  Pop $0
  ${If} $0 != 0
    !insertmacro FailWith "calventasvc /install failed ($0): the disk service is not registered."
  ${EndIf}
  ; It starts with Windows; started now, the monitor has the disks without a restart. A
  ; service that does not start yet is no failed installation.
  DetailPrint "Starting the disk service"
  nsExec::ExecToLog '"$SYSDIR\sc.exe" start calventasvc'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The disk service did not start now ($0); it starts with Windows."
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64

  ; The services go first, while their programs are still there. `calventa uninstall` also
  ; removes the port driver's service when `calventa install` created it.
  ${If} ${FileExists} "$INSTDIR\calventa.exe"
    DetailPrint "Removing the services: calventa uninstall"
    nsExec::ExecToLog '"$INSTDIR\calventa.exe" uninstall'
    Pop $0
    ${If} $0 != 0
      !insertmacro FailWith "calventa uninstall failed ($0): nothing was removed."
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\calventasvc.exe"
    DetailPrint "Stopping and removing the disk service: calventasvc /uninstall"
    nsExec::ExecToLog '"$INSTDIR\calventasvc.exe" /uninstall'
    Pop $0
    ${If} $0 != 0
      !insertmacro FailWith "calventasvc /uninstall failed ($0): nothing was removed."
    ${EndIf}
  ${EndIf}

  ; "Start with Windows" names calventa.exe: it goes only when it names this installation's.
  ReadRegStr $0 HKLM "${AUTORUN_KEY}" "${AUTORUN_VALUE}"
  ${If} $0 == "$INSTDIR\calventa.exe"
  ${OrIf} $0 == '"$INSTDIR\calventa.exe"'
    DeleteRegValue HKLM "${AUTORUN_KEY}" "${AUTORUN_VALUE}"
  ${EndIf}
  DeleteRegKey HKLM "${PROGRAM_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"

  Delete "${MENU_FOLDER}\Calventa.lnk"
  Delete "${MENU_FOLDER}\Calventa command line.lnk"
  Delete "${MENU_FOLDER}\Uninstall Calventa.lnk"
  RMDir "${MENU_FOLDER}"

  ; The installed files and what the programs write beside themselves (settings, start-up
  ; log, temporaries of an interrupted save); by name, so that anything else a user put in
  ; the folder stays, and the folder with it.
  Delete "$INSTDIR\calventa.exe"
  Delete "$INSTDIR\calventa-cli.exe"
  Delete "$INSTDIR\calventasvc.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\boards\demo.json"
  RMDir "$INSTDIR\boards"
  Delete "$INSTDIR\settings.dat"
  Delete "$INSTDIR\settings.dat.*.tmp"
  Delete "$INSTDIR\debug.txt"
  Delete "$INSTDIR\debug.txt.*.tmp"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "$INSTDIR holds files of its own and stays."
  ${EndIf}

  ; Last: while the key is there, the installation is listed and can be removed again.
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
