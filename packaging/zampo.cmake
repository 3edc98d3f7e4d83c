# Two Debian packages from the one build (scripts/package makes them):
#  zampo-gateway  the service and its unit, /etc/zampo/PO.ini, both simulators, the
#                 README; Qt Core and Network only, nothing of a desktop
#  zampo          the window with its desktop entry and icon, on top of the first
# Each program's manual page is made from its --help by help2man.
set(ZAMPO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS zampo-gateway zampo-posim zampo-zamsim RUNTIME DESTINATION bin COMPONENT gateway)
install(TARGETS zampo RUNTIME DESTINATION bin COMPONENT window)
install(TARGETS zampo_libssl zampo_libcrypto LIBRARY DESTINATION lib/zampo COMPONENT gateway)
install(FILES ${ZAMPO_PACKAGING_DIR}/zampo-gateway.service DESTINATION /lib/systemd/system COMPONENT gateway)
install(FILES ${ZAMPO_PACKAGING_DIR}/PO.ini DESTINATION /etc/zampo COMPONENT gateway)
install(FILES ${PROJECT_SOURCE_DIR}/data/linkdefs.default DESTINATION share/zampo COMPONENT gateway)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/zampo-gateway COMPONENT gateway)
install(FILES ${ZAMPO_PACKAGING_DIR}/metrics-web.yml DESTINATION share/doc/zampo-gateway/examples COMPONENT gateway)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION share/doc/zampo-gateway/docs COMPONENT gateway)
install(FILES ${ZAMPO_PACKAGING_DIR}/zampo.desktop DESTINATION share/applications COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/icons/zampo.svg DESTINATION share/icons/hicolor/scalable/apps
        COMPONENT window)

# Manual pages: the --help text of each program, which touches no file. Not in the
# sanitizer builds, whose programs no package holds.
if(NOT ZAMPO_SANITIZE AND NOT ZAMPO_TSAN)
  find_program(HELP2MAN help2man REQUIRED)
  set(ZAMPO_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  set(ZAMPO_MAN_PAGES)
  foreach(entry "zampo-gateway|gateway|Priva Office alarms to ZAM-Pro, as a service"
                "zampo|window|Priva Office alarms to ZAM-Pro, with the window and its link editor"
                "zampo-posim|gateway|stand-in for the Priva Office alarm server"
                "zampo-zamsim|gateway|stand-in for the ZamMeld alarm receiver of ZAM-Pro")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 component)
    list(GET entry 2 summary)
    set(page ${ZAMPO_MAN_DIR}/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${ZAMPO_MAN_DIR}
                       COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                               ${HELP2MAN} --no-info --section=1 --name=${summary} --output=${page} $<TARGET_FILE:${program}>
                       COMMAND gzip -9nf ${page}
                       DEPENDS ${program} VERBATIM
                       COMMENT "Manual page of ${program}")
    list(APPEND ZAMPO_MAN_PAGES ${page}.gz)
    install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT ${component})
  endforeach()
  add_custom_target(zampo_man_pages ALL DEPENDS ${ZAMPO_MAN_PAGES})
endif()

# Debian wants a compressed changelog and the copyright in each package's
# documentation (a native package's changelog is changelog.gz); one entry per version.
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
install(FILES ${ZAMPO_CHANGELOG}.gz ${ZAMPO_PACKAGING_DIR}/copyright DESTINATION share/doc/zampo-gateway
        COMPONENT gateway)
install(FILES ${ZAMPO_CHANGELOG}.gz ${ZAMPO_PACKAGING_DIR}/copyright DESTINATION share/doc/zampo COMPONENT window)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL gateway window)
set(CPACK_PACKAGE_NAME zampo)
set(CPACK_PACKAGE_VERSION ${ZAMPO_VERSION_TEXT})
set(CPACK_PACKAGE_CONTACT ${ZAMPO_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SOURCE zampo)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_GATEWAY_PACKAGE_NAME zampo-gateway)
set(CPACK_DEBIAN_GATEWAY_PACKAGE_DEPENDS adduser)
# Up to 1.0 one package "zampo" held everything, PO.ini (a conffile) among it: this
# one takes over its files, the conffile with its local changes included.
set(CPACK_DEBIAN_GATEWAY_PACKAGE_REPLACES "zampo (<< 1.1.0.0)")
set(CPACK_DEBIAN_GATEWAY_PACKAGE_BREAKS "zampo (<< 1.1.0.0)")
set(CPACK_DEBIAN_GATEWAY_PACKAGE_CONTROL_EXTRA
    ${ZAMPO_PACKAGING_DIR}/postinst ${ZAMPO_PACKAGING_DIR}/prerm ${ZAMPO_PACKAGING_DIR}/postrm
    ${ZAMPO_PACKAGING_DIR}/conffiles)
# One string each: separate arguments would be joined with semicolons.
set(CPACK_COMPONENT_GATEWAY_DESCRIPTION "gateway from Priva Office alarms to ZAM-Pro, as a service
ZamPO polls a Priva Office alarm server for its alarm definitions and active
alarms and reports every raise, reset, group alarm and repeat to a ZAM-Pro
receiver (ZamMeld), through an operator-maintained link configuration.
.
This package holds zampo-gateway, which runs it as a systemd service without a
window, and simulators of both peers (zampo-posim, zampo-zamsim) for
commissioning. The window with the link editor is in the package zampo.")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME zampo)
# The window's icons are drawn by Qt's SVG icon plugin, which no program links.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "zampo-gateway (= ${ZAMPO_VERSION_TEXT}), libqt6svg6")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION "gateway from Priva Office alarms to ZAM-Pro, with its window
ZamPO polls a Priva Office alarm server for its alarm definitions and active
alarms and reports every raise, reset, group alarm and repeat to a ZAM-Pro
receiver (ZamMeld), through an operator-maintained link configuration.
.
This package holds zampo, the window with the link editor, the settings and
two live lists; beside the service of zampo-gateway it edits the links.")
include(CPack)
