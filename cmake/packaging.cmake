# Packages made with CPack from the install rules: a .deb of the native
# build and a .zip of each Windows build (kawase-<version>-win32.zip,
# kawase-<version>-win64.zip). scripts/package.sh makes and checks them.
set(CPACK_PACKAGE_NAME kawase)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kawase maintainers")
set(CPACK_PACKAGE_CONTACT "kawase maintainers <maintainers@users.noreply.c-seed-70d21e7d.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert Japanese text files between UTF-8 and Shift_JIS")
set(CPACK_PACKAGE_DESCRIPTION
    "kawase converts a text file line by line from UTF-8 to Shift_JIS, or with -v
from Shift_JIS to UTF-8, using the Shift_JIS-2004 mapping with the common
symbols at their Windows code page 932 codes. Characters without a
counterpart are reported one per line on standard error and the run goes on.")
# Installed programs carry no symbols or debugging sections.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends from the shared libraries the binary really links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb-manpages.cmake)
endif()

include(CPack)
