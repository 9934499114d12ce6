; Per-user installer for Kelo#: no administrator rights, a Start menu entry, an uninstaller.
; makensis -DVERSION=0.1 -DVIVERSION=0.1.0.0 -DSOURCE=folder-with-kelo.exe -DICON=kelo.ico
;          -DOUTFILE=kelo-0.1-setup.exe [-DCMAKE=path-to-cmake] kelo.nsi
; The installer writes the name of every file and folder it places into installed-files.txt; the
; uninstaller deletes just those, and a folder only once it is empty, so that nothing of the
; user's goes with it. A folder that already holds other things gets a Kelo# folder inside it.
; 64-bit, like the program: it runs where kelo.exe runs, wine without its 32-bit part included.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelo#"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define LIST "installed-files.txt"
; Qt's cache of the compiled window (QStandardPaths::CacheLocation); the settings stay.
!define CACHE "Tarvo Technologies\Kelo#\cache"
!ifndef CMAKE
    !define CMAKE cmake
!endif

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

Page directory "" "" ChooseFolderOnLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Every file of the payload, listed; makensis works in this script's folder.
!tempfile PAYLOAD
!system '"${CMAKE}" "-DSOURCE=${SOURCE}" "-DOUT=${PAYLOAD}" -P payload.cmake' = 0

Var List

; One line of the list: a file, or a folder ending in \.
!macro KeloListed name
    FileWriteUTF16LE $List "${name}$\r$\n"
!macroend

; Deletes what the list in $INSTDIR names, then the list. A line that could reach outside the
; folder (a drive, a leading \, ..) is not followed.
!macro DeleteListed un
Function ${un}DeleteListed
    ClearErrors
    FileOpen $0 "$INSTDIR\${LIST}" r
    IfErrors done
    next:
        ClearErrors
        FileReadUTF16LE $0 $1
        IfErrors close
        ; The line without its line end.
        trim:
            StrCpy $2 $1 1 -1
            StrCmp $2 "$\n" +2
            StrCmp $2 "$\r" 0 checked
            StrCpy $1 $1 -1
            Goto trim
        checked:
        StrCmp $1 "" next
        StrCpy $2 $1 1
        StrCmp $2 "\" next
        StrCpy $3 0
        scan:
            StrCpy $2 $1 2 $3
            StrCmp $2 "" safe
            StrCmp $2 ".." next
            StrCpy $2 $1 1 $3
            StrCmp $2 ":" next
            IntOp $3 $3 + 1
            Goto scan
        safe:
        StrCpy $2 $1 1 -1
        StrCmp $2 "\" 0 +3
            RMDir "$INSTDIR\$1"
            Goto next
        Delete "$INSTDIR\$1"
        Goto next
    close:
    FileClose $0
    Delete "$INSTDIR\${LIST}"
    done:
FunctionEnd
!macroend
!insertmacro DeleteListed ""
!insertmacro DeleteListed "un."

; $0: whether $INSTDIR can take Kelo#: it is missing, empty, or an earlier Kelo#.
Function FolderFits
    StrCpy $0 1
    IfFileExists "$INSTDIR\${LIST}" done
    IfFileExists "$INSTDIR\kelo.exe" 0 +2
    IfFileExists "$INSTDIR\uninstall.exe" done
    ClearErrors
    FindFirst $1 $2 "$INSTDIR\*"
    IfErrors done
    look:
        StrCmp $2 "" closed
        StrCmp $2 "." +3
        StrCmp $2 ".." +2
        StrCpy $0 0
        FindNext $1 $2
        StrCmp $0 0 closed look
    closed:
    FindClose $1
    done:
FunctionEnd

; A folder holding other things gets a Kelo# folder inside it; $0 is 0 when that one is taken too.
Function ChooseFolder
    Call FolderFits
    StrCmp $0 1 done
    StrCpy $INSTDIR "$INSTDIR\Kelo#"
    Call FolderFits
    done:
FunctionEnd

!define REFUSED "$INSTDIR already holds other files. Kelo# installs into an empty folder or over an earlier Kelo#: please choose another folder."

Function ChooseFolderOnLeave
    Call ChooseFolder
    StrCmp $0 1 +3
    MessageBox MB_ICONSTOP "${REFUSED}"
    Abort
FunctionEnd

Section "Kelo#"
    SetShellVarContext current
    Call ChooseFolder
    StrCmp $0 1 +4
    DetailPrint "${REFUSED}"
    MessageBox MB_ICONSTOP "${REFUSED}" /SD IDOK
    Abort
    ; Over an earlier Kelo#, what it placed makes way for this version's files.
    Call DeleteListed
    CreateDirectory "$INSTDIR"
    ClearErrors
    FileOpen $List "$INSTDIR\${LIST}" w
    IfErrors 0 +2
    Abort "$INSTDIR\${LIST} cannot be written"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    !insertmacro KeloListed "uninstall.exe"
    !include "${PAYLOAD}"
    !delfile "${PAYLOAD}"
    FileClose $List
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

; The settings and learned words stay, for a later installation; the cache and the sign-in entry
; go with the program (the entry only when it starts this copy).
Section "Uninstall"
    SetShellVarContext current
    Call un.DeleteListed
    RMDir "$INSTDIR"
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $0 "$INSTDIR" 0 keys_done
    Delete "$SMPROGRAMS\Kelo#.lnk"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "DisplayName"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "Publisher"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "DisplayIcon"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "InstallLocation"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "UninstallString"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "QuietUninstallString"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "NoModify"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "NoRepair"
    DeleteRegKey /ifempty HKCU "${UNINSTALL_KEY}"
    keys_done:
    ReadRegStr $0 HKCU "${RUN_KEY}" "Kelo#"
    StrCmp $0 '"$INSTDIR\kelo.exe"' +2
    StrCmp $0 "$INSTDIR\kelo.exe" 0 +2
    DeleteRegValue HKCU "${RUN_KEY}" "Kelo#"
    RMDir /r "$LOCALAPPDATA\${CACHE}"
    RMDir "$LOCALAPPDATA\Tarvo Technologies\Kelo#"
    RMDir "$LOCALAPPDATA\Tarvo Technologies"
SectionEnd
