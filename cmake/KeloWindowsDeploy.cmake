# What goes beside kelo.exe on Windows, for every way of putting it there (cmake --install, the
# zip and the installer, which are both made from an install): the plugins Qt loads by name, the
# QML modules qml/ imports, and every DLL these and kelo.exe need, found by reading their
# imports. The same for a mingw cross build and for MSVC with Qt's own packages.

set(KELO_QT_PREFIX "${QT6_INSTALL_PREFIX}")
set(KELO_QT_PLUGINS "${KELO_QT_PREFIX}/${QT6_INSTALL_PLUGINS}")
set(KELO_QT_QML "${KELO_QT_PREFIX}/${QT6_INSTALL_QML}")

# The plugins Qt loads by name: the window system's, and whole folders of those picked at run
# time (sound and camera back ends, the widget style).
set(KELO_WINDOWS_PLUGINS platforms/qwindows.dll multimedia/ styles/)

# QML module folders, each with its own files only, unless it ends in /*: then its subfolders too.
# Not QtQuick's styles other than Basic, nor its other modules.
set(KELO_WINDOWS_QML
    QtQml QtQml/Models QtQml/WorkerScript
    QtQuick QtQuick/Window QtQuick/Shapes QtQuick/Templates
    QtQuick/Controls QtQuick/Controls/impl QtQuick/Controls/Basic/*
    QtMultimedia
    Qt/labs/platform)

# MSVC's Qt ships release and debug plugins side by side; only the release ones go.
set(KELO_DEBUG_DLL "(plugind|qwindowsd|styled)\\.dll")

foreach(plugin ${KELO_WINDOWS_PLUGINS})
    if(plugin MATCHES "/$")
        install(DIRECTORY "${KELO_QT_PLUGINS}/${plugin}" DESTINATION bin/${plugin}
            PATTERN "*.pdb" EXCLUDE REGEX "${KELO_DEBUG_DLL}" EXCLUDE)
    else()
        get_filename_component(folder ${plugin} DIRECTORY)
        install(FILES "${KELO_QT_PLUGINS}/${plugin}" DESTINATION bin/${folder})
    endif()
endforeach()

foreach(module ${KELO_WINDOWS_QML})
    if(module MATCHES "/\\*$")
        string(REGEX REPLACE "/\\*$" "" module ${module})
        install(DIRECTORY "${KELO_QT_QML}/${module}/" DESTINATION bin/qml/${module}
            PATTERN "*.pdb" EXCLUDE REGEX "${KELO_DEBUG_DLL}" EXCLUDE)
        continue()
    endif()
    file(GLOB files LIST_DIRECTORIES false "${KELO_QT_QML}/${module}/*")
    list(FILTER files EXCLUDE REGEX "(\\.pdb|${KELO_DEBUG_DLL})$")
    if(NOT files)
        message(FATAL_ERROR "The QML module ${module} is not in ${KELO_QT_QML}")
    endif()
    install(FILES ${files} DESTINATION bin/qml/${module})
endforeach()

# Qt finds its plugins and QML modules beside the program through qt.conf.
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/qt.conf" "[Paths]\nPrefix = .\nPlugins = .\nQml2Imports = qml\n")
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/qt.conf" LICENSE DESTINATION bin)

# The DLLs: what kelo.exe and everything copied above import, searched in Qt's, OpenCV's, SDL2's
# and the compiler's folders. A DLL found nowhere must be one of Windows' own: with mingw, one
# it has an import library for.
# The folder of an imported target's DLL, whichever configuration it was installed for.
function(kelo_dll_folder target out)
    foreach(property IMPORTED_LOCATION_RELEASE IMPORTED_LOCATION_RELWITHDEBINFO IMPORTED_LOCATION)
        get_target_property(dll ${target} ${property})
        if(dll)
            get_filename_component(folder "${dll}" DIRECTORY)
            set(${out} "${folder}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
endfunction()
kelo_dll_folder(SDL2::SDL2 KELO_SDL2_BIN)
list(GET OpenCV_LIBS 0 KELO_OPENCV_FIRST) # opencv_core, or opencv_world in OpenCV's own package
kelo_dll_folder(${KELO_OPENCV_FIRST} KELO_OPENCV_BIN)
get_filename_component(KELO_COMPILER_BIN "${CMAKE_CXX_COMPILER}" DIRECTORY)
set(KELO_DLL_FOLDERS "${KELO_QT_PREFIX}/${QT6_INSTALL_BINS}" "${KELO_SDL2_BIN}"
    "${KELO_OPENCV_BIN}" "${KELO_COMPILER_BIN}")
if(MINGW)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                    OUTPUT_VARIABLE KELO_STDCXX OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(KELO_STDCXX_BIN "${KELO_STDCXX}" DIRECTORY)
    list(APPEND KELO_DLL_FOLDERS "${KELO_STDCXX_BIN}")
    foreach(root ${CMAKE_FIND_ROOT_PATH}) # mingw's own zlib1.dll and winpthread
        list(APPEND KELO_DLL_FOLDERS "${root}/lib")
    endforeach()
    set(KELO_SYSTEM_LIBS "${CMAKE_FIND_ROOT_PATH}")
    # One that reads PE files, whatever objdump the host has.
    find_program(KELO_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
endif()

if(MSVC)
    # Microsoft's C++ runtime goes beside the program too, so that no separate installation is
    # needed.
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION bin)
    include(InstallRequiredSystemLibraries)
endif()

install(CODE "
    set(KELO_DLL_FOLDERS \"${KELO_DLL_FOLDERS}\")
    set(KELO_SYSTEM_LIBS \"${KELO_SYSTEM_LIBS}\")
    set(KELO_OBJDUMP \"${KELO_OBJDUMP}\")
    set(KELO_MINGW \"${MINGW}\")
    set(KELO_BIN \"\${CMAKE_INSTALL_PREFIX}/bin\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/KeloWindowsDlls.cmake\")
")

# The zip and the per-user installer, both made from one install into the build folder:
#   cmake --build <build folder> --target windows-package
find_program(KELO_MAKENSIS makensis PATHS "$ENV{ProgramFiles\(x86\)}/NSIS" "$ENV{ProgramFiles}/NSIS")
add_custom_target(windows-package
    COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DNAME=kelo-${PROJECT_VERSION}-win64
            -DSETUP=kelo-${PROJECT_VERSION}-setup.exe -DVERSION=${PROJECT_VERSION}
            -DMAKENSIS=${KELO_MAKENSIS} -DNSI=${CMAKE_SOURCE_DIR}/tools/windows/kelo.nsi
            -DICON=${CMAKE_SOURCE_DIR}/resources/kelo.ico
            -P ${CMAKE_CURRENT_LIST_DIR}/KeloWindowsPackage.cmake
    DEPENDS kelo VERBATIM)
