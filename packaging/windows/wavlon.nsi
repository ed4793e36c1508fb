; The Windows installer, wavlon-setup.exe: the program folder into Program Files\Wavlon, a
; Start-menu shortcut, an entry in "Add or remove programs", and uninstall.exe, which removes
; exactly those again and leaves the settings (config.ini, here or in %APPDATA%\Wavlon).
; Both take /S to run silently. cmake/WindowsPackaging.cmake runs makensis with:
;   VERSION      the version shown, e.g. 0.1
;   VERSION4     the same in four numbers, e.g. 0.1.0.0
;   PUBLISHER    who makes it
;   ICON         the program's .ico, the installer's and uninstaller's own icon too
;   PROGRAM_DIR  the program folder: wavlon.exe, readme.txt, copyright.txt
;   OUTFILE      the installer to write
!macro RequireDefine name
  !ifndef ${name}
    !error "makensis needs -D${name}=..."
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine VERSION4
!insertmacro RequireDefine PUBLISHER
!insertmacro RequireDefine ICON
!insertmacro RequireDefine PROGRAM_DIR
!insertmacro RequireDefine OUTFILE

Unicode true
; A 64-bit installer for the 64-bit program: its registry and folders are the 64-bit ones.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wavlon"
; "Open with" for MP3 files: the program as an application that opens them, listed among an
; .mp3 file's programs; and "wavlon" in the Run box.
!define APP_KEY "Software\Classes\Applications\wavlon.exe"
!define OPEN_WITH_KEY "Software\Classes\.mp3\OpenWithList\wavlon.exe"
!define APP_PATH_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\wavlon.exe"

Name "Wavlon"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Wavlon"
BrandingText "Wavlon ${VERSION}"

!include MUI2.nsh
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Wavlon"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Wavlon Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"

; The shortcut is every user's, the registry view the 64-bit one.
Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Wavlon" program
  SetOutPath "$INSTDIR"
  ; The program folder: each file is named in the section "Uninstall" too.
  File "${PROGRAM_DIR}/wavlon.exe"
  File "${PROGRAM_DIR}/readme.txt"
  File "${PROGRAM_DIR}/copyright.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Wavlon.lnk" "$INSTDIR\wavlon.exe" "" "$INSTDIR\wavlon.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Wavlon"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wavlon.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "Wavlon"
  WriteRegStr HKLM "${APP_KEY}\DefaultIcon" "" "$INSTDIR\wavlon.exe,0"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\wavlon.exe" "%1"'
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" ".mp3" ""
  WriteRegStr HKLM "${OPEN_WITH_KEY}" "" ""
  WriteRegStr HKLM "${APP_PATH_KEY}" "" "$INSTDIR\wavlon.exe"
  ; Explorer reads the associations again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  SectionGetSize ${program} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer made goes: never the whole folder, where the program may keep the
; user's config.ini.
Section "Uninstall"
  Delete "$INSTDIR\wavlon.exe"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\copyright.txt"
  Delete "$SMPROGRAMS\Wavlon.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${OPEN_WITH_KEY}"
  DeleteRegKey HKLM "${APP_PATH_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
