# Cross-builds the Windows program (x86-64) on Debian with mingw-w64's g++ (posix threads):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QM_MINGW_PREFIX}-windres)

# Libraries and headers of the target only; the build's own programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib linked in: the static archive, not the import library of zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${QM_MINGW_PREFIX}/lib/libz.a CACHE FILEPATH "zlib for Windows")
set(ZLIB_INCLUDE_DIR /usr/${QM_MINGW_PREFIX}/include CACHE PATH "zlib headers for Windows")
# libgcrypt and libgpg-error as the DLLs of Debian's mingw packages (through their import
# libraries): they ship beside quillmark.exe, unchanged, under their own licence.
set(GCRYPT_LIBRARY /usr/${QM_MINGW_PREFIX}/lib/libgcrypt.dll.a CACHE FILEPATH "libgcrypt for Windows")
set(GPG_ERROR_LIBRARY /usr/${QM_MINGW_PREFIX}/lib/libgpg-error.dll.a CACHE FILEPATH
    "libgpg-error for Windows")

# Libraries cross-built for Windows into folders of their own (HarfBuzz, by
# tools/build-windows.sh): their pkg-config files name absolute paths, which are searched only
# when the folder is one of the roots.
if(QUILLMARK_WINDOWS_PREFIXES)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QUILLMARK_WINDOWS_PREFIXES})
endif()
