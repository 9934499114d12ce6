; Per-user installer for Kelo#: no administrator rights, a Start menu entry, an uninstaller.
; makensis -DVERSION=0.1 -DVIVERSION=0.1.0.0 -DSOURCE=folder-with-kelo.exe -DICON=kelo.ico
;          -DOUTFILE=kelo-0.1-setup.exe kelo.nsi
; 64-bit, like the program: it runs where kelo.exe runs, wine without its 32-bit part included.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelo#"

Name "Kelo#"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\Kelo#"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VIVERSION}"
VIAddVersionKey "ProductName" "Kelo#"
VIAddVersionKey "CompanyName" "Tarvo Technologies"
VIAddVersionKey "FileDescription" "Kelo# installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Tarvo Technologies, GNU GPL 3"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Kelo#"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Kelo#.lnk" "$INSTDIR\kelo.exe" "" "$INSTDIR\kelo.exe" 0
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kelo#"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tarvo Technologies"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelo.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The settings stay, for a later installation; the sign-in entry goes with the program it starts.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\Kelo#.lnk"
    DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "Kelo#"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    RMDir /r "$INSTDIR"
SectionEnd
