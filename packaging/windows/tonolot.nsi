; The Windows installer of Tonolot, for one person without administrator rights:
;   makensis -DVERSION=0.8 -DPROGRAM=build/windows/tonolot.exe -DOUTFILE=<setup.exe> tonolot.nsi
; (scripts/package-windows.sh does this). The program goes into the person's own program
; folder, so its data file beside it, tonolot.def, stays writable; the uninstaller keeps that
; file, the person's results, unless the person ticks it for removal.

Unicode true
; A 64-bit installer: it writes the person's 64-bit view of the registry and folders.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh

!ifndef VERSION | PROGRAM | OUTFILE
    !error "makensis -DVERSION=... -DPROGRAM=<tonolot.exe> -DOUTFILE=<setup.exe> tonolot.nsi"
!endif

!define PUBLISHER "Seed 4e87f979 maintainers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonolot"
; makensis works in the folder of this script.
!define ICON "../../src/app/win32/tonolot.ico"

Name "Tonolot ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tonolot"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1031 "ProductName" "Tonolot"
VIAddVersionKey /LANG=1031 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileDescription" "Tonolot ${VERSION} Installation"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tonolot.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "$(KeepResultsHint)"
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "German"

LangString ProgramSection ${LANG_GERMAN} "Tonolot"
LangString ProgramDescription ${LANG_GERMAN} "Das Programm, sein Eintrag im Startmenü und in der Liste der installierten Programme."
LangString ResultsSection ${LANG_GERMAN} "Gespeicherte Hörtests"
LangString ResultsDescription ${LANG_GERMAN} "Die Messergebnisse aller Personen (tonolot.def). Ohne Haken bleibt die Datei erhalten und wird bei einer neuen Installation wieder benutzt."
LangString KeepResultsHint ${LANG_GERMAN} "Tonolot wird entfernt. Ihre gespeicherten Hörtests bleiben erhalten, wenn Sie sie nicht ankreuzen."

Section "$(ProgramSection)" ProgramSection
    SectionIn RO
    SetOutPath "$INSTDIR"
    ; The data file is never shipped: an earlier installation's results stay as they are.
    File "/oname=tonolot.exe" "${PROGRAM}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Tonolot.lnk" "$INSTDIR\tonolot.exe" "" "$INSTDIR\tonolot.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tonolot"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tonolot.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KB, as the list of installed programs shows it.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "un.$(ProgramSection)" UnProgramSection
    SectionIn RO
    Delete "$INSTDIR\tonolot.exe"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\Tonolot.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Not ticked unless the person ticks it: a silent uninstall keeps the results.
Section /o "un.$(ResultsSection)" UnResultsSection
    Delete "$INSTDIR\tonolot.def"
    ; Copies a save left behind when it was cut short.
    Delete "$INSTDIR\.tonolot-*.tmp"
SectionEnd

Section "-un.Folder"
    ; Removed only when empty, that is when nothing of the person's is left in it.
    RMDir "$INSTDIR"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${UnProgramSection} "$(ProgramDescription)"
    !insertmacro MUI_DESCRIPTION_TEXT ${UnResultsSection} "$(ResultsDescription)"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
