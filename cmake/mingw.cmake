# Cross-compiling for Windows with MinGW-w64 from Debian.
# CHAINER_ARCH: i686 (the product) or x86_64 (a test build of the same sources
# for hosts that cannot execute 32-bit code).
set(CHAINER_ARCH "i686" CACHE STRING "Windows target: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${CHAINER_ARCH})
set(_triple ${CHAINER_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc)
set(CMAKE_CXX_COMPILER ${_triple}-g++)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
