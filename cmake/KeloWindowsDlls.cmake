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
# Windows names DLLs without regard to case, and so does CMake (in lower case): on a file system
# that minds case, each name is looked up among the folders' files, and every DLL copied brings
# its own imports in the next round.
set(available)
foreach(folder ${KELO_DLL_FOLDERS})
    file(GLOB dlls "${folder}/*.dll")
    list(APPEND available ${dlls})
endforeach()
set(copied TRUE)
while(copied)
    set(copied FALSE)
    file(GLOB_RECURSE modules "${KELO_BIN}/*.dll")
    file(GET_RUNTIME_DEPENDENCIES
        EXECUTABLES "${KELO_BIN}/kelo.exe"
        MODULES ${modules}
        DIRECTORIES ${KELO_DLL_FOLDERS}
        RESOLVED_DEPENDENCIES_VAR found
        UNRESOLVED_DEPENDENCIES_VAR missing
        CONFLICTING_DEPENDENCIES_PREFIX conflict
        PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
        POST_EXCLUDE_REGEXES "[Ss]ystem32" "[Ww]in[Ss]x[Ss]")
    foreach(name ${conflict_FILENAMES}) # the same DLL in two folders: the first will do
        list(GET conflict_${name} 0 first)
        list(APPEND found "${first}")
    endforeach()
    set(unknown)
    foreach(dll ${missing})
        string(TOLOWER "${dll}" lower)
        set(match)
        foreach(candidate ${available})
            get_filename_component(name "${candidate}" NAME)
            string(TOLOWER "${name}" name)
            if(name STREQUAL lower AND NOT match)
                set(match "${candidate}")
            endif()
        endforeach()
        string(REGEX REPLACE "\\.(dll|drv)$" "" base "${lower}")
        set(system FALSE)
        foreach(root ${KELO_SYSTEM_LIBS}) # Windows' own, which mingw has import libraries for
            if(EXISTS "${root}/lib/lib${base}.a")
                set(system TRUE)
            endif()
        endforeach()
        if(match)
            list(APPEND found "${match}")
        elseif(NOT system)
            list(APPEND unknown "${dll}")
        endif()
    endforeach()
    if(unknown)
        message(FATAL_ERROR "Needed beside kelo.exe but found nowhere: ${unknown}")
    endif()
    foreach(dll ${found})
        get_filename_component(name "${dll}" NAME)
        if(NOT EXISTS "${KELO_BIN}/${name}")
            file(INSTALL "${dll}" DESTINATION "${KELO_BIN}")
            set(copied TRUE)
        endif()
    endforeach()
endwhile()
