# `cmake --install BUILD --prefix P` puts the three programs in P/bin. The
# Windows build's `package` target zips them with a short text on running them.
install(TARGETS demo-windowed demo-fullscreen demo-snapshot RUNTIME DESTINATION bin)

if(WIN32)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows-readme.txt DESTINATION . RENAME README.txt)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME torus-demo)
set(CPACK_PACKAGE_VENDOR "torus-demo")
set(CPACK_PACKAGE_FILE_NAME torus-demo-${CMAKE_SYSTEM_NAME})
include(CPack)
