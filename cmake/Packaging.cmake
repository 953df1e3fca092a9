# Installed layout and the Debian package (CPack, DEB generator). The version comes from
# project(); only the release date lives here, beside it in the changelog and the metainfo.
include(GNUInstallDirs)

set(VC_PACKAGE vellumcrest-manager)
set(VC_APP_ID example.vellumcrest.Manager)
# Date of the release that project() names: the changelog, the metainfo and the manual page.
set(VC_RELEASE_DATE 2026-12-06)
set(VC_RELEASE_DATE_RFC2822 "Sun, 06 Dec 2026 12:00:00 +0000")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The changelog and the manual page carry the version; Debian wants both compressed, without
# a time stamp in the gzip header so that rebuilding gives the same package.
set(VC_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
configure_file(packaging/changelog.in ${VC_PACKAGING_OUT}/changelog @ONLY)
configure_file(packaging/${VC_PACKAGE}.1 ${VC_PACKAGING_OUT}/${VC_PACKAGE}.1 @ONLY)
configure_file(packaging/${VC_APP_ID}.metainfo.xml ${VC_PACKAGING_OUT}/${VC_APP_ID}.metainfo.xml @ONLY)
add_custom_command(
  OUTPUT ${VC_PACKAGING_OUT}/changelog.gz ${VC_PACKAGING_OUT}/${VC_PACKAGE}.1.gz
  COMMAND gzip -n -9 -k -f changelog ${VC_PACKAGE}.1
  DEPENDS ${VC_PACKAGING_OUT}/changelog ${VC_PACKAGING_OUT}/${VC_PACKAGE}.1
  WORKING_DIRECTORY ${VC_PACKAGING_OUT}
  COMMENT "Compressing the changelog and the manual page")
add_custom_target(vc_packaging_files ALL
  DEPENDS ${VC_PACKAGING_OUT}/changelog.gz ${VC_PACKAGING_OUT}/${VC_PACKAGE}.1.gz)

# vcnetsim is not installed: it writes simulated networks for the demo and the tests, which
# the source tree serves (scripts/demo); on an administrator's machine it would only be a way
# to fill the console with invented usage.
install(TARGETS vellumcrest-manager RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY Data/HTML DESTINATION ${CMAKE_INSTALL_DATADIR}/${VC_PACKAGE}/Data)
install(DIRECTORY Help DESTINATION ${CMAKE_INSTALL_DATADIR}/${VC_PACKAGE})
install(FILES packaging/${VC_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VC_PACKAGING_OUT}/${VC_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/icons/${VC_PACKAGE}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES packaging/icons/${VC_PACKAGE}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${VC_PACKAGE}.png)
endforeach()
install(FILES ${VC_PACKAGING_OUT}/${VC_PACKAGE}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The data inventory a site's works council and data protection officer read.
install(FILES packaging/copyright ${VC_PACKAGING_OUT}/changelog.gz docs/privacy.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${VC_PACKAGE})
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${VC_PACKAGE})
# The Windows agent the administrator deploys to the workstations, where the documentation says it
# is: scripts/package builds it (scripts/build-agent) into VC_AGENT_DIR first. Without it the
# package is not made: a console without its agent monitors nothing.
set(VC_AGENT_DIR ${CMAKE_SOURCE_DIR}/build/agent CACHE PATH "Folder scripts/build-agent built the agent in")
install(FILES ${VC_AGENT_DIR}/win32/VCWorkstation.exe ${VC_AGENT_DIR}/VCWorkstation.msi
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${VC_PACKAGE}/agent)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VC_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Vellumcrest)
set(CPACK_PACKAGE_CONTACT "Vellumcrest Support <support@vellumcrest.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "application usage monitoring console")
set(CPACK_PACKAGE_DESCRIPTION
    "The console of an application-usage monitoring system. An agent on every\n"
    "workstation records how long each user had each window title in use. The\n"
    "console finds those workstations, downloads their new days into its own\n"
    "database, groups window titles into applications and produces the\n"
    "Application Usage Report by day, application, user and workstation.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.vellumcrest.example/)
# Libraries come from dpkg-shlibdeps, run by cmake/PackageDepends.cmake when the package is made
# (it loosens the Samba libraries' exact-version requirement to their release series). These
# are loaded at run time, where it cannot see them: the Arial metric twin the report and labels
# name, the SASL plugin of the directory's Kerberos bind, and a sans-serif font for the interface
# (a minimal system has none, and every control would be drawn monospaced).
set(VC_PACKAGE_DEPENDS "fonts-liberation, libsasl2-modules-gssapi-mit, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(VC_CONSOLE_BINARY ${CMAKE_BINARY_DIR}/vellumcrest-manager)
configure_file(cmake/PackageDepends.cmake.in ${CMAKE_BINARY_DIR}/PackageDepends.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PackageDepends.cmake)
include(CPack)
