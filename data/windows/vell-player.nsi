; The Windows installer: for the current user by default (%LOCALAPPDATA%\Programs), for all
; users on request (Program Files, the first page or /AllUsers), /S for a silent run. It makes
; the player one that can open media files without taking any type over, and leaves the user's
; files in %APPDATA%\Vell Player alone, so an upgrade or an uninstall keeps them.
;   makensis -DVERSION=0.9.0 -DSTAGE=<cmake --install folder> -DICON=<.ico> -DOUTFILE=<setup.exe>
Unicode true
Target amd64-unicode  ; wine and 64-bit Windows both run it; the program is 64-bit anyway
ManifestDPIAware true
SetCompressor /SOLID lzma

!define APP "Vell Player"
!define EXE "vell-player.exe"
!define PUBLISHER "Vell Player developers"
!define PROGID "VellPlayer.Media"
!define APP_KEY "Software\Vell Player"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VellPlayer"

Name "${APP}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${APP}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${APP} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 the Vell Player developers"

; An earlier installation's mode and folder are found through its uninstall entry; the
; uninstaller is told its mode on its command line.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINST_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINST_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one shown when the system's is neither.
!insertmacro MUI_LANGUAGE "English"
; NSIS's Korean file has no words for the page that picks the users.
!define MULTIUSER_TEXT_INSTALLMODE_TITLE "사용자 선택"
!define MULTIUSER_TEXT_INSTALLMODE_SUBTITLE "$(^NameDA)을(를) 설치할 사용자를 선택하세요."
!define MULTIUSER_INNERTEXT_INSTALLMODE_TOP "$(^NameDA)을(를) 나만 쓸지, 이 컴퓨터의 모든 사용자가 쓸지 선택하세요. $(^ClickNext)"
!define MULTIUSER_INNERTEXT_INSTALLMODE_ALLUSERS "이 컴퓨터의 모든 사용자용으로 설치 (관리자 권한 필요)"
!define MULTIUSER_INNERTEXT_INSTALLMODE_CURRENTUSER "나만 사용하도록 설치"
!insertmacro MUI_LANGUAGE "Korean"
LangString PROGID_NAME ${LANG_ENGLISH} "Media file (Vell Player)"
LangString PROGID_NAME ${LANG_KOREAN} "미디어 파일 (Vell Player)"

; The media types it opens; each is offered under "Open with", none is taken over.
!macro MediaTypes DO
  !insertmacro ${DO} .mp4
  !insertmacro ${DO} .m4v
  !insertmacro ${DO} .mkv
  !insertmacro ${DO} .webm
  !insertmacro ${DO} .avi
  !insertmacro ${DO} .mov
  !insertmacro ${DO} .wmv
  !insertmacro ${DO} .flv
  !insertmacro ${DO} .mpg
  !insertmacro ${DO} .mpeg
  !insertmacro ${DO} .3gp
  !insertmacro ${DO} .ogv
  !insertmacro ${DO} .vob
  !insertmacro ${DO} .ts
  !insertmacro ${DO} .mp3
  !insertmacro ${DO} .flac
  !insertmacro ${DO} .wav
  !insertmacro ${DO} .aac
  !insertmacro ${DO} .ogg
  !insertmacro ${DO} .oga
  !insertmacro ${DO} .opus
  !insertmacro ${DO} .wma
  !insertmacro ${DO} .m4a
  !insertmacro ${DO} .mka
  !insertmacro ${DO} .ape
  !insertmacro ${DO} .aiff
  !insertmacro ${DO} .pls
  !insertmacro ${DO} .m3u8
!macroend

!macro RegisterType EXT
  WriteRegStr SHCTX "${APP_KEY}\Capabilities\FileAssociations" "${EXT}" "${PROGID}"
  WriteRegNone SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
!macroend

; Only what was added goes: the type's key stays when anything else is in it.
!macro UnregisterType EXT
  DeleteRegValue SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${EXT}"
!macroend

; What an installation puts in its folder; an upgrade first removes the DLLs of the version
; before, whose names carry the libraries' versions.
!macro RemoveProgramFiles
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\streams.ini"
  Delete "$INSTDIR\avcodec-*.dll"
  Delete "$INSTDIR\avformat-*.dll"
  Delete "$INSTDIR\avutil-*.dll"
  Delete "$INSTDIR\swresample-*.dll"
  Delete "$INSTDIR\swscale-*.dll"
  Delete "$INSTDIR\libass-*.dll"
  Delete "$INSTDIR\libfreetype-*.dll"
  Delete "$INSTDIR\libfribidi-*.dll"
  Delete "$INSTDIR\libharfbuzz-*.dll"
  RMDir /r "$INSTDIR\LICENSES"
!macroend

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  !insertmacro RemoveProgramFiles
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${EXE}"

  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" "$0"

  ; A player the system can offer: its capabilities, one ProgID, "Open with" for each type.
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "$(PROGID_NAME)"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  WriteRegStr SHCTX "${APP_KEY}\Capabilities" "ApplicationName" "${APP}"
  WriteRegStr SHCTX "${APP_KEY}\Capabilities" "ApplicationDescription" "$(PROGID_NAME)"
  WriteRegStr SHCTX "${APP_KEY}\Capabilities" "ApplicationIcon" "$INSTDIR\${EXE},0"
  !insertmacro MediaTypes RegisterType
  WriteRegStr SHCTX "Software\RegisteredApplications" "${APP}" "${APP_KEY}\Capabilities"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; SHCNE_ASSOCCHANGED
SectionEnd

Section "Uninstall"
  !insertmacro RemoveProgramFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"  ; only when nothing else is left in it
  Delete "$SMPROGRAMS\${APP}.lnk"

  !insertmacro MediaTypes UnregisterType
  DeleteRegValue SHCTX "Software\RegisteredApplications" "${APP}"
  DeleteRegKey /ifempty SHCTX "Software\RegisteredApplications"
  DeleteRegKey SHCTX "${APP_KEY}"
  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "${UNINST_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
