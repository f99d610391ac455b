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

install(TARGETS quillmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/quillmark.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/dist/quillmark.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quillmark)

set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <quillmark@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stamps page numbers or a line of text onto PDF pages")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads existing PDF files and writes new ones whose pages carry page numbers, a caption,\n\
 dates, the file name or per-file texts from a list file.")
# dpkg-shlibdeps reads the libraries the program links (zlib, libgcrypt, and HarfBuzz in a build that uses
# it) and declares them with the versions the build saw. Without it they are declared by hand.
find_program(QM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(QM_DEB_DEPENDS "libc6 (>= 2.36)" "zlib1g (>= 1:1.1.4)" "libgcrypt20 (>= 1.10)")
  if(TARGET PkgConfig::HARFBUZZ OR TARGET PkgConfig::harfbuzz)
    list(APPEND QM_DEB_DEPENDS "libharfbuzz0b")
  endif()
  list(JOIN QM_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
include(CPack)
