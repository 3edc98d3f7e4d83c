# The Debian package: both programs, both simulators, the service, the desktop
# entry, a PO.ini in /etc/zampo and the README. scripts/package builds it.
set(ZAMPO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS zampo zampo-gateway zampo-posim zampo-zamsim RUNTIME DESTINATION bin)
install(FILES ${ZAMPO_PACKAGING_DIR}/zampo-gateway.service DESTINATION /lib/systemd/system)
install(FILES ${ZAMPO_PACKAGING_DIR}/PO.ini DESTINATION /etc/zampo)
install(FILES ${ZAMPO_PACKAGING_DIR}/zampo.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/icons/zampo.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/linkdefs.default DESTINATION share/zampo)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/zampo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION share/doc/zampo/docs)

# Debian wants a compressed changelog in the documentation (a native package's
# is changelog.gz); one entry per version.
string(TIMESTAMP ZAMPO_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ZAMPO_DEB_MAINTAINER "ZamPO maintainers <zampo@example.org>" CACHE STRING "Maintainer field of the package")
set(ZAMPO_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog)
file(WRITE ${ZAMPO_CHANGELOG}
     "zampo (${ZAMPO_VERSION_TEXT}) stable; urgency=medium\n\n"
     "  * Built from the ZamPO sources, version ${ZAMPO_VERSION_TEXT}.\n\n"
     " -- ${ZAMPO_DEB_MAINTAINER}  ${ZAMPO_PACKAGE_DATE}\n")
add_custom_command(OUTPUT ${ZAMPO_CHANGELOG}.gz
                   COMMAND gzip -9nf -k ${ZAMPO_CHANGELOG}
                   DEPENDS ${ZAMPO_CHANGELOG})
add_custom_target(zampo_changelog ALL DEPENDS ${ZAMPO_CHANGELOG}.gz)
install(FILES ${ZAMPO_CHANGELOG}.gz DESTINATION share/doc/zampo)
install(FILES ${ZAMPO_PACKAGING_DIR}/lintian-overrides DESTINATION share/lintian/overrides RENAME zampo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zampo)
set(CPACK_PACKAGE_VERSION ${ZAMPO_VERSION_TEXT})
set(CPACK_PACKAGE_CONTACT ${ZAMPO_DEB_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "gateway from Priva Office alarms to ZAM-Pro")
# One string: separate arguments would be joined with semicolons.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ZamPO polls a Priva Office alarm server for its alarm definitions and active
alarms and reports every raise, reset, group alarm and repeat to a ZAM-Pro
receiver (ZamMeld), through an operator-maintained link configuration.
zampo-gateway runs it as a systemd service; zampo is the window with the link
editor and the settings. Simulators of both peers (zampo-posim, zampo-zamsim)
are included for trials.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's icons are drawn by Qt's SVG icon plugin, which no program links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${ZAMPO_PACKAGING_DIR}/postinst ${ZAMPO_PACKAGING_DIR}/prerm ${ZAMPO_PACKAGING_DIR}/postrm
    ${ZAMPO_PACKAGING_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
