# Run at install time (see KeloWindowsDeploy.cmake): copies into KELO_BIN every DLL that the
# executables and DLLs already there import, found in KELO_DLL_FOLDERS. A cross build reads the
# imports with mingw's objdump.
if(NOT EXISTS "${KELO_BIN}/platforms/qwindows.dll")
    message(FATAL_ERROR "Qt's Windows platform plugin (platforms/qwindows.dll) was not installed")
endif()
if(NOT CMAKE_HOST_WIN32)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "windows+pe")
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "${KELO_OBJDUMP}")
endif()
file(GLOB_RECURSE modules "${KELO_BIN}/*.dll")
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES "${KELO_BIN}/kelo.exe"
    MODULES ${modules}
    DIRECTORIES ${KELO_DLL_FOLDERS}
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR missing
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
    POST_EXCLUDE_REGEXES "[Ss]ystem32" "[Ww]in[Ss]x[Ss]")
foreach(dll ${found})
    file(INSTALL "${dll}" DESTINATION "${KELO_BIN}")
endforeach()
# Windows' own DLLs are found in System32 on Windows and nowhere in a cross build, where mingw's
# import libraries name them instead.
set(unknown)
foreach(dll ${missing})
    string(TOLOWER "${dll}" lower)
    string(REGEX REPLACE "\\.(dll|drv)$" "" lower "${lower}")
    set(known FALSE)
    foreach(root ${KELO_SYSTEM_LIBS})
        if(EXISTS "${root}/lib/lib${lower}.a")
            set(known TRUE)
        endif()
    endforeach()
    if(NOT known)
        list(APPEND unknown "${dll}")
    endif()
endforeach()
if(unknown)
    message(FATAL_ERROR "Needed beside kelo.exe but found nowhere: ${unknown}")
endif()
