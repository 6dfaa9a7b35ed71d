# The Debian package of the Linux program: cpack in the build folder (or the package target) writes
# quarvo_<version>_<arch>.deb with the program, its menu entry and icons, installed under /usr.
# Its postinst grants cap_net_raw to the ARP helper alone (lib/quarvo/quarvo-arp), so that ordinary
# users scan with raw ARP while the window and the command line hold no privilege.

# One version for both programs: the file version of the Windows version block.
file(STRINGS ${PROJECT_SOURCE_DIR}/res/Quarvo.rc version_line REGEX "VALUE \"FileVersion\"")
if(NOT version_line MATCHES "\"([0-9]+\\.[0-9]+\\.[0-9]+)\\.[0-9]+\"")
  message(FATAL_ERROR "No FileVersion a.b.c.d in res/Quarvo.rc")
endif()
set(CPACK_PACKAGE_VERSION ${CMAKE_MATCH_1})

set(QUARVO_PACKAGE_MAINTAINER "Quarvo maintainers <maintainers@quarvo.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvo)
set(CPACK_PACKAGE_VENDOR Quarvo)
set(CPACK_PACKAGE_CONTACT ${QUARVO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ARP scan of an IPv4 address range, and Wake-on-LAN")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Quarvo asks every address of a typed IPv4 range for its MAC address with one ARP request each, on up\n"
  "to 1000 worker threads, and lists the machines that answer. Lists are saved and loaded as\n"
  "tab-separated files, so that a later scan shows the machines that are new or changed their MAC\n"
  "address; selected machines can be woken with Wake-on-LAN magic packets. The window is in\n"
  "simplified Chinese; the same program is also a command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUARVO_PACKAGE_MAINTAINER})
# The shared libraries come from dpkg-shlibdeps (dpkg-dev); setcap, for postinst, from libcap2-bin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libcap2-bin)
# The vendor names of --names, --json and the window come from the IEEE registries it installs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ieee-data)

set(QUARVO_INSTALLED_HELPER ${CPACK_PACKAGING_INSTALL_PREFIX}/${QUARVO_HELPER_DIR}/quarvo-arp)
configure_file(${PROJECT_SOURCE_DIR}/src/front/linux/deb/postinst.in ${PROJECT_BINARY_DIR}/deb/postinst
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
               WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
