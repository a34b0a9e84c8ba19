# `cmake --install BUILD --prefix P` puts the three programs in P/bin. The
# `package` target makes what users install: on Linux a Debian package
# (cmake/DebianPackage.cmake), for Windows a zip of the programs with a text
# on running them. A build for another platform may lack some of them; the
# tests check that the host and Windows builds install all three.
include(GNUInstallDirs)
foreach(program demo-windowed demo-fullscreen demo-snapshot)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

set(CPACK_PACKAGE_NAME torus-demo)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    include(${CMAKE_CURRENT_LIST_DIR}/DebianPackage.cmake)
else()
    if(WIN32)
        # Notepad before Windows 10 1809 shows a text with bare line feeds as
        # one long line.
        configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-readme.txt
            ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
    endif()
    # Everything in one folder of the zip's own name.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME torus-demo-${CMAKE_SYSTEM_NAME})
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
include(CPack)
