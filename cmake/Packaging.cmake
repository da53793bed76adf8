# A Debian package of everything that installs: cpack -G DEB (scripts/package.sh).
# Its dependencies come from dpkg-shlibdeps on the installed binaries.
set(CPACK_PACKAGE_NAME karvo)
set(CPACK_PACKAGE_VENDOR "Karvo")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Integers of any size: the Karvo library and its reverse-Polish calculator")
set(CPACK_PACKAGE_DESCRIPTION
    "Karvo is a library of signed integers of up to 100000 32-bit words (about 963,000 decimal digits) with a flat C interface and a C++ integer type; Karvo Calculator is a desktop reverse-Polish calculator on top of it.")
set(CPACK_PACKAGE_CONTACT "Karvo developers <karvo@localhost>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library inside the package is found through the package's own files.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bignum)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
