; The Windows installer: makensis -DVERSION=... -DSTAGE=<folder with the
; program's files> -DOUTFILE=... installer.nsi (scripts/windows.sh does it).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"

!define APPNAME "星梭抽奖"
!define EXE "xingsuo-draw.exe"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\xingsuo-draw"

Name "${APPNAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\xingsuo-draw"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
BrandingText "${APPNAME} ${VERSION}"

!define MUI_ICON "${STAGE}\xingsuo-draw.ico"
!define MUI_UNICON "${STAGE}\xingsuo-draw.ico"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${APPNAME} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "GPL-3.0-or-later"

Function .onInit
    SetRegView 64
FunctionEnd

; Result.txt goes to the folder the program starts in; Program Files is not
; writable, so the shortcuts start it in the user's Documents folder.
Function StartProgram
    SetOutPath "$DOCUMENTS"
    Exec '"$INSTDIR\${EXE}"'
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    File "${STAGE}\${EXE}"
    File "${STAGE}\xingsuo-draw.ico"
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\README.txt"
    SetOutPath "$INSTDIR\translations"
    File "${STAGE}\translations\qtbase_zh_CN.qm"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext current
    SetOutPath "$DOCUMENTS" ; the shortcuts' start-in folder
    CreateDirectory "$SMPROGRAMS\${APPNAME}"
    CreateShortCut "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\xingsuo-draw.ico"
    CreateShortCut "$SMPROGRAMS\${APPNAME}\卸载 ${APPNAME}.lnk" "$INSTDIR\uninstall.exe"
    CreateShortCut "$DESKTOP\${APPNAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\xingsuo-draw.ico"

    WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\xingsuo-draw.ico"
    WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

; The organiser's Result.txt files and saved event stay: they are the
; organiser's, not the program's.
Section "Uninstall"
    SetRegView 64
    SetShellVarContext current
    Delete "$DESKTOP\${APPNAME}.lnk"
    Delete "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk"
    Delete "$SMPROGRAMS\${APPNAME}\卸载 ${APPNAME}.lnk"
    RMDir "$SMPROGRAMS\${APPNAME}"
    Delete "$INSTDIR\translations\qtbase_zh_CN.qm"
    RMDir "$INSTDIR\translations"
    Delete "$INSTDIR\${EXE}"
    Delete "$INSTDIR\xingsuo-draw.ico"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
