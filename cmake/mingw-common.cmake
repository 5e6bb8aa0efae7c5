# Shared part of the two MinGW-w64 toolchain files: the posix-thread compilers,
# the target's sysroot, and a fully static C++ runtime.
set(CMAKE_C_COMPILER ${FOLIO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FOLIO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FOLIO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${FOLIO_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${FOLIO_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${FOLIO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Link zlib statically: the product is one file with no DLLs of ours.
set(ZLIB_USE_STATIC_LIBS ON)
