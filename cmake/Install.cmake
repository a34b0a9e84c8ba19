# `cmake --install BUILD --prefix P` puts the three programs in P/bin. The
# Windows build's `package` target zips them with a short text on running them.
# A build for another platform may lack some of them; the tests check that the
# host and Windows builds install all three.
foreach(program demo-windowed demo-fullscreen demo-snapshot)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION bin)
    endif()
endforeach()

if(WIN32)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows-readme.txt DESTINATION . RENAME README.txt)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME torus-demo)
set(CPACK_PACKAGE_FILE_NAME torus-demo-${CMAKE_SYSTEM_NAME})
include(CPack)
