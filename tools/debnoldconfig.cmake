# Run by cpack after it has built the packages: takes out of each .deb the postinst and postrm
# that only call ldconfig, which dpkg's own trigger makes needless, and puts in the program's own
# (CPACK_KELO_MAINTAINER_SCRIPTS).
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT deb MATCHES "\\.deb$")
        continue()
    endif()
    set(tree ${deb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    foreach(script postinst postrm)
        if(EXISTS ${tree}/DEBIAN/${script})
            file(STRINGS ${tree}/DEBIAN/${script} lines REGEX "^[^#]")
            list(FILTER lines EXCLUDE
                REGEX "^[ \t]*(set -e|if \\[ .* \\]; then|ldconfig|fi|exit 0)[ \t]*$")
            if(NOT lines STREQUAL "")
                message(FATAL_ERROR "${deb}: ${script} does more than call ldconfig: ${lines}")
            endif()
            file(REMOVE ${tree}/DEBIAN/${script})
        endif()
    endforeach()
    file(COPY ${CPACK_KELO_MAINTAINER_SCRIPTS} DESTINATION ${tree}/DEBIAN
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                         WORLD_EXECUTE)
    execute_process(COMMAND dpkg-deb --root-owner-group -b ${tree} ${deb}
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
