# The Debian package: `cpack -G DEB` in a build folder (scripts/package does it all).
# dpkg-shlibdeps finds the shared libraries the binary links (Qt 6, unixODBC, libpq);
# what the program loads only at run time is declared by hand below.
set(KV_PACKAGE_MAINTAINER "Korvanta maintainers <maintainers@users.noreply.c-seed-e72af4d1.example>"
    CACHE STRING "Maintainer field of the Debian package")

# cpack packs the tree as it is built rather than building every target first (tests and
# benchmark included): scripts/package builds only the program, and the package test
# runs in a tree that is already built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvanta")
set(CPACK_PACKAGE_CONTACT "${KV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copies tables between PostgreSQL and SQL Anywhere")
# Lines kept under 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION [[
Korvanta copies whole tables between a PostgreSQL database and a SQL Anywhere
database reached through an ODBC data source, in either direction, and deletes
or renames tables on either side, from two windows or from the command line.]])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# odbc-postgresql: the psqlODBC driver that unixODBC loads for the PostgreSQL side;
# unixodbc: odbcinst and isql, to set up the SQL Anywhere data source;
# qt6-qpa-plugins: the xcb platform plugin, without which no window opens (libqt6gui6
# only recommends it).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "odbc-postgresql, unixodbc, qt6-qpa-plugins")
# The SQLite ODBC driver serves only as a stand-in for SQL Anywhere.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsqliteodbc")

include(CPack)
