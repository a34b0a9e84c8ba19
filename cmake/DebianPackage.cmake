# The Debian package: the three programs in /usr/bin, a menu entry and icon for
# each demo, manual pages, and the copyright and changelog files. Its version
# is the one packaging/changelog names last; its Depends come from the
# programs' shared libraries (dpkg-shlibdeps, from dpkg-dev).
set(demo_packaging ${PROJECT_SOURCE_DIR}/packaging)

file(STRINGS ${demo_packaging}/changelog demo_changelog_head LIMIT_COUNT 1)
if(NOT demo_changelog_head MATCHES "^torus-demo \\(([0-9][^)]*)\\) ")
    message(FATAL_ERROR "packaging/changelog must start with 'torus-demo (VERSION) ...'")
endif()
set(CPACK_PACKAGE_VERSION ${CMAKE_MATCH_1})

# Manual pages and the changelog go in compressed as Debian keeps them: gzip
# at its best, with no file name or time inside, so that a rebuild gives the
# same bytes.
set(demo_gzip_outputs)
foreach(text man/demo-snapshot.1 man/demo-windowed.1 man/demo-fullscreen.1 changelog)
    get_filename_component(name ${text} NAME)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${demo_packaging}/${text} ${output}
        DEPENDS ${demo_packaging}/${text}
        VERBATIM)
    list(APPEND demo_gzip_outputs ${output})
endforeach()
add_custom_target(demo_package_texts ALL DEPENDS ${demo_gzip_outputs})

set(demo_packaging_out ${CMAKE_CURRENT_BINARY_DIR}/packaging)
install(FILES ${demo_packaging_out}/demo-snapshot.1.gz ${demo_packaging_out}/demo-windowed.1.gz
              ${demo_packaging_out}/demo-fullscreen.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${demo_packaging}/demo-windowed.desktop ${demo_packaging}/demo-fullscreen.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# packaging/make_icons.py draws them from a frame of the torus.
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${demo_packaging}/icons/torus-demo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME torus-demo.png)
endforeach()
install(FILES ${demo_packaging}/copyright ${demo_packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/torus-demo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # torus-demo_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Torus demo developers <torus-demo@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/DebianPackageTools.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "spinning torus drawn in software, in real time
A torus of 1500 triangles, every vertex in a random colour, spins by one
degree about each axis per frame. Each frame is transformed, projected,
depth-sorted, lit and filled with integer Gouraud shading into a 640 x 480
frame entirely in software, then shown through SDL 2 on X11 or Wayland.
demo-windowed shows it in a window, demo-fullscreen on the whole screen;
Esc ends either. demo-snapshot renders chosen frames of a given seed without
a display, as PNG pictures, raw files or a raw stream for a video encoder;
every frame is the same to the bit on every machine.")
