# Cross-compiles for 64-bit Windows with mingw-w64 from Debian or Ubuntu:
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

# Libraries and headers come from the mingw root and whatever prefix is added to it (freeglut);
# programs run on the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
