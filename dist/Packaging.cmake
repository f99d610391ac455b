# Installation and packages: the program, its manual page and its bash completion, and the
# CPack settings for a Debian package and a tar.gz. Included from the top CMakeLists.txt after
# the quillmark target.
#
#   DESTDIR=/tmp/root cmake --install build    # /tmp/root/usr/bin/quillmark ...
#   cd build && cpack -G DEB && cpack -G TGZ

# The packaged layout (/usr) is the default for a plain install too, so that both put the files
# in the same places; `cmake --install build --prefix /usr/local` installs beside the system.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Installation prefix" FORCE)
endif()
include(GNUInstallDirs)

# The page carries the project's version, as --version does.
configure_file(${CMAKE_SOURCE_DIR}/dist/quillmark.1.in ${CMAKE_BINARY_DIR}/quillmark.1 @ONLY)

# The manual page and the changelog are installed compressed, as Debian's policy has it; gzip -n
# leaves out the name and time, so that the same sources give the same bytes.
configure_file(${CMAKE_SOURCE_DIR}/dist/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
find_program(QM_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/quillmark.1.gz ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND ${QM_GZIP} -9nc ${CMAKE_BINARY_DIR}/quillmark.1 > ${CMAKE_BINARY_DIR}/quillmark.1.gz
  COMMAND ${QM_GZIP} -9nc ${CMAKE_BINARY_DIR}/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/quillmark.1 ${CMAKE_BINARY_DIR}/changelog VERBATIM)
add_custom_target(quillmark_docs ALL
  DEPENDS ${CMAKE_BINARY_DIR}/quillmark.1.gz ${CMAKE_BINARY_DIR}/changelog.gz)

install(TARGETS quillmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/quillmark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The licence in Debian's machine-readable copyright format, and the changelog.
install(FILES ${CMAKE_SOURCE_DIR}/dist/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmark)
install(FILES ${CMAKE_SOURCE_DIR}/dist/quillmark.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quillmark)

set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_CONTACT "Quillmark authors <quillmark@users.noreply.quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stamps page numbers or a line of text onto PDF pages")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads existing PDF files and writes new ones whose pages carry page numbers,\n\
 a caption, dates, the file name or per-file texts from a list file.")
# Directories of the package as root owns them, and the files' modes as Debian wants them.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The package's dependencies are every shared library that the program links (zlib, HarfBuzz
# and its subsetter, libgcrypt, the C library ...). dpkg-shlibdeps (dpkg-dev) reads them with
# the versions of the libraries' symbols files; without it dist/deb-depends.sh reads the same
# libraries from the program and their packages' shlibs files, when cpack runs.
find_program(QM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  configure_file(${CMAKE_SOURCE_DIR}/dist/CPackDebDepends.cmake.in
                 ${CMAKE_BINARY_DIR}/CPackDebDepends.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDebDepends.cmake)
endif()
include(CPack)
