# Cross toolchain: mingw-w64, posix thread model, x86_64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DIALIX_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${DIALIX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DIALIX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${DIALIX_TRIPLE}-windres)
set(DIALIX_WIDL        ${DIALIX_TRIPLE}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${DIALIX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Only the 64-bit build runs here: this kernel cannot run 32-bit code.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
