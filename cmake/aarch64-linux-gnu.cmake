# Cross-compiles for 64-bit ARM Linux (arm64) from Debian, with its cross toolchain
# (crossbuild-essential-arm64) and the arm64 libraries installed beside the machine's own
# (multiarch, e.g. freeglut3-dev:arm64):
#   cmake -S . -B build-arm64 --toolchain cmake/aarch64-linux-gnu.cmake
# Tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu) # where multiarch puts the arm64 libraries
# pkg-config, which FindGLUT asks first, reads the arm64 libraries' files, not the machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
