# Cross builds with Debian's cross tool chains (crossbuild-essential-ARCH):
#   -DCMAKE_TOOLCHAIN_FILE=packaging/cross/toolchain.cmake -DTILTSCOPE_CROSS_TRIPLET=aarch64-linux-gnu
# The target's libraries are Debian's multiarch ones (libmosquitto-dev:ARCH),
# found by the TRIPLET-pkg-config of the target's pkgconf.
if(NOT TILTSCOPE_CROSS_TRIPLET)
    message(FATAL_ERROR "TILTSCOPE_CROSS_TRIPLET names the target, for example aarch64-linux-gnu")
endif()
# Tried again when CMake reads the file for its checks.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TILTSCOPE_CROSS_TRIPLET)

set(CMAKE_SYSTEM_NAME Linux)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${TILTSCOPE_CROSS_TRIPLET})
set(CMAKE_C_COMPILER ${TILTSCOPE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TILTSCOPE_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TILTSCOPE_CROSS_TRIPLET})
set(PKG_CONFIG_EXECUTABLE ${TILTSCOPE_CROSS_TRIPLET}-pkg-config CACHE FILEPATH "")

# Debian's multiarch folders hold the target's libraries beside this
# machine's, under lib/TRIPLET: no separate root to search.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
