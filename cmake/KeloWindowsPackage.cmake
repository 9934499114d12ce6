# Run by the windows-package target: installs into BUILD/stage, names the program's folder NAME,
# zips it as NAME.zip and makes the installer SETUP from the same folder.
set(stage "${BUILD}/stage")
file(REMOVE_RECURSE "${stage}" "${BUILD}/${NAME}" "${BUILD}/${NAME}.zip" "${BUILD}/${SETUP}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${stage}"
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cmake --install failed")
endif()
file(RENAME "${stage}/bin" "${BUILD}/${NAME}")
file(REMOVE_RECURSE "${stage}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${NAME}.zip" --format=zip "${NAME}"
                WORKING_DIRECTORY "${BUILD}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "zipping ${NAME} failed")
endif()
if(NOT MAKENSIS)
    message(FATAL_ERROR "makensis (NSIS) was not found: the installer needs it")
endif()
string(REGEX MATCHALL "[0-9]+" parts "${VERSION}.0.0.0")
list(SUBLIST parts 0 4 parts)
list(JOIN parts "." viversion)
# The script lists the files it installs with CMake (tools/windows/payload.cmake).
execute_process(COMMAND "${MAKENSIS}" -V2 -DVERSION=${VERSION} -DVIVERSION=${viversion}
                        "-DSOURCE=${BUILD}/${NAME}" "-DICON=${ICON}" "-DOUTFILE=${BUILD}/${SETUP}"
                        "-DCMAKE=${CMAKE_COMMAND}" "${NSI}"
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "makensis failed")
endif()
message(STATUS "Made ${BUILD}/${NAME}.zip and ${BUILD}/${SETUP}")
