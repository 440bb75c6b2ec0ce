; The CorvastaTest installer, built by scripts/package with makensis:
;   makensis -DVERSION=x.y.z -DSTAGE=<dir of the files> -DOUTFILE=<exe>
;            -DCORVASTA_CLSID={...} CorvastaTest.nsi
; A 64-bit installer for a 64-bit program: it sees the same registry view
; and Program Files as the program, and loads the DLLs it registers.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include LogicLib.nsh
!include Sections.nsh

!define PRODUCT_KEY "Software\CorvastaTest"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\CorvastaTest"
; Where the harness looks up the graph editor that "Show graph" starts.
!define GRAPHEDIT_KEY "Software\Microsoft\Shared Tools\Graphedit"
!define IID_IMediaEventEx "{56A868C0-0AD4-11CE-B03A-0020AF0BA770}"

Name "CorvastaTest ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\CorvastaTest"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "CorvastaTest"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "CorvastaTest installer"
; A standard key that makensis warns about when it is missing.
VIAddVersionKey "LegalCopyright" ""

; The one choice is whether to add the stand-in filters.
Page components
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Registers a DLL as regsvr32 does; an installation without it is useless.
!macro RegisterDll _dll
    ClearErrors
    RegDLL "${_dll}"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP "Could not register ${_dll}." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
!macroend

Section "CorvastaTest and graph editor" SecMain
    SectionIn RO
    SetOutPath "$INSTDIR"
    ; First, so that a failed installation can still be removed.
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "CorvastaTest"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\CorvastaTest.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    File "${STAGE}\CorvastaTest.exe"
    File "${STAGE}\graphedt.exe"
    File "${STAGE}\proppage.dll"
    !insertmacro RegisterDll "$INSTDIR\proppage.dll"
    WriteRegStr HKLM "${GRAPHEDIT_KEY}" "Path" "$INSTDIR\graphedt.exe"
    CreateShortcut "$SMPROGRAMS\CorvastaTest.lnk" "$INSTDIR\CorvastaTest.exe"
SectionEnd

Section "Stand-in filters" SecStandins
    SetOutPath "$INSTDIR\standins"
    File "${STAGE}\standins\*.dll"
    FindFirst $0 $1 "$INSTDIR\standins\*.dll"
    ${DoWhile} $1 != ""
        !insertmacro RegisterDll "$INSTDIR\standins\$1"
        FindNext $0 $1
    ${Loop}
    FindClose $0
SectionEnd

; The graph editor follows the harness's graph across processes. Windows
; marshals the graph's event interface itself; where nothing does (Wine), our
; proxy DLL does, for it and for the components' interfaces. It replaces no
; platform registration: uninstalling removes what it registered.
Section "-Proxies"
    ReadRegStr $0 HKCR "Interface\${IID_IMediaEventEx}\ProxyStubClsid32" ""
    ${If} $0 != ""
        ReadRegStr $1 HKCR "CLSID\$0\InprocServer32" ""
        ${If} $1 != "$INSTDIR\corvastaps.dll"
            Return
        ${EndIf}
    ${EndIf}
    SetOutPath "$INSTDIR"
    File "${STAGE}\corvastaps.dll"
    !insertmacro RegisterDll "$INSTDIR\corvastaps.dll"
SectionEnd

Function .onInit
    SetRegView 64
    SetShellVarContext all
    ; A Corvasta filter that is not our stand-in means the real components.
    ReadRegStr $0 HKCR "CLSID\${CORVASTA_CLSID}\InprocServer32" ""
    ${If} $0 != ""
    ${AndIf} $0 != "$INSTDIR\standins\Corvasta.dll"
        !insertmacro UnselectSection ${SecStandins}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

; Removes what the installation added; a DLL that will not unregister is
; reported and removed all the same.
!macro UnregisterDll _dll
    ClearErrors
    UnRegDLL "${_dll}"
    ${If} ${Errors}
        DetailPrint "Could not unregister ${_dll}."
    ${EndIf}
    Delete "${_dll}"
!macroend

Section "Uninstall"
    FindFirst $0 $1 "$INSTDIR\standins\*.dll"
    ${DoWhile} $1 != ""
        !insertmacro UnregisterDll "$INSTDIR\standins\$1"
        FindNext $0 $1
    ${Loop}
    FindClose $0
    RMDir "$INSTDIR\standins"
    ${If} ${FileExists} "$INSTDIR\corvastaps.dll"
        !insertmacro UnregisterDll "$INSTDIR\corvastaps.dll"
    ${EndIf}
    !insertmacro UnregisterDll "$INSTDIR\proppage.dll"
    Delete "$INSTDIR\CorvastaTest.exe"
    Delete "$INSTDIR\graphedt.exe"
    Delete "$SMPROGRAMS\CorvastaTest.lnk"

    ; Another graph editor registered since is left in place.
    ReadRegStr $0 HKLM "${GRAPHEDIT_KEY}" "Path"
    ${If} $0 == "$INSTDIR\graphedt.exe"
        DeleteRegValue HKLM "${GRAPHEDIT_KEY}" "Path"
        DeleteRegKey /ifempty HKLM "${GRAPHEDIT_KEY}"
    ${EndIf}
    ; The graph editor's recent files.
    DeleteRegKey HKCU "Software\Corvasta\Graph Editor"
    DeleteRegKey /ifempty HKCU "Software\Corvasta"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
