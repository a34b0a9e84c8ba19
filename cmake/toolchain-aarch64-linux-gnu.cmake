# Cross build for 64-bit ARM Linux (Raspberry Pi 4 and 5, ARM laptops) with
# Debian's cross compiler and the arm64 builds of the libraries, installed
# beside the host's own (multiarch: dpkg --add-architecture arm64, then the
# -dev packages with :arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Reads the .pc files of /usr/lib/aarch64-linux-gnu/pkgconfig, not the host's.
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for the arm64 libraries")

# The package is for arm64 whatever the build machine is; dpkg-shlibdeps looks
# the libraries up among the arm64 packages.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
