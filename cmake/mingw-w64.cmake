# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix thread model, for std::thread).
# Debian packages: g++-mingw-w64-x86-64-posix, and wine (wine64) to run the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under wine through wine-run.sh: a wine prefix of the build's own (kept in
# the build folder, initialised once before the first test), WINEDEBUG=-all. Set KELVO_WINEPREFIX
# to use another prefix.
if(NOT DEFINED KELVO_WINEPREFIX)
  set(KELVO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${KELVO_WINEPREFIX}")
