# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads, gcc 12).
# Used both to build Qt for Windows and to build the station against that Qt:
# pass the Windows Qt prefix in TRELVANE_WINDOWS_QT (or CMAKE_PREFIX_PATH).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRELVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/${TRELVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${TRELVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${TRELVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRELVANE_MINGW_TRIPLET})
if(DEFINED ENV{TRELVANE_WINDOWS_QT})
    set(TRELVANE_WINDOWS_QT "$ENV{TRELVANE_WINDOWS_QT}" CACHE PATH "Qt built for Windows")
endif()
if(TRELVANE_WINDOWS_QT)
    list(APPEND CMAKE_FIND_ROOT_PATH "${TRELVANE_WINDOWS_QT}")
    list(APPEND CMAKE_PREFIX_PATH "${TRELVANE_WINDOWS_QT}")
endif()
# Host tools (moc, uic, rcc) come from the build machine's Qt of the same version.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
