# Install rules for everything besides the programs, and the Debian package made by
# `cpack -G DEB` in the build folder: zun2_<version>_<arch>.deb.

set(ZUN2_MAINTAINER "ZUN2 developers <zun2@example.org>" CACHE STRING "The package maintainer, as Name <address>")
set(package_dir ${PROJECT_BINARY_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/zun2)

# Manual pages, compressed as Debian wants them.
set(manual_pages zundoc.1)
if(ZUN2_BUILD_UI)
  list(APPEND manual_pages zun2.1)
endif()
set(compressed_pages)
foreach(page IN LISTS manual_pages)
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${package_dir}/${page} @ONLY)
  add_custom_command(OUTPUT ${package_dir}/${page}.gz
                     COMMAND gzip -9nkf ${page}
                     DEPENDS ${package_dir}/${page}
                     WORKING_DIRECTORY ${package_dir}
                     VERBATIM)
  list(APPEND compressed_pages ${package_dir}/${page}.gz)
endforeach()

# The Debian changelog, dated the day of the release.
execute_process(COMMAND env LC_ALL=C date -R -u -d "${ZUN2_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE ZUN2_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND date -u -d "${ZUN2_RELEASE_DATE} 12:00" +%s
                OUTPUT_VARIABLE ZUN2_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${package_dir}/changelog @ONLY)
add_custom_command(OUTPUT ${package_dir}/changelog.gz
                   COMMAND gzip -9nkf changelog
                   DEPENDS ${package_dir}/changelog
                   WORKING_DIRECTORY ${package_dir}
                   VERBATIM)
add_custom_target(packaging_files ALL DEPENDS ${compressed_pages} ${package_dir}/changelog.gz)

install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/zundoc.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zundoc)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${package_dir}/changelog.gz DESTINATION ${doc_dir})

# zundoc watch as a systemd user service, off until the user enables it.
configure_file(${PROJECT_SOURCE_DIR}/data/zun2-watch.service.in ${package_dir}/zun2-watch.service @ONLY)
install(FILES ${package_dir}/zun2-watch.service DESTINATION lib/systemd/user)

if(ZUN2_BUILD_UI)
  configure_file(${PROJECT_SOURCE_DIR}/data/zun2.metainfo.xml.in ${package_dir}/${ZUN2_APP_ID}.metainfo.xml @ONLY)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/zun2-start.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME zun2-start)
  # zun2-start is described in zun2's page.
  file(CREATE_LINK zun2.1.gz ${package_dir}/zun2-start.1.gz SYMBOLIC)
  install(FILES ${package_dir}/zun2-start.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/help/help.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/zun2/help)
  install(FILES ${PROJECT_SOURCE_DIR}/data/zun2.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          RENAME ${ZUN2_APP_ID}.desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/data/zun2.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${package_dir}/${ZUN2_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zun2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The ZUN2 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep text files and Palm documents in step")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_ZUN2_CONFIGURED_PREFIX ${CMAKE_INSTALL_PREFIX})
# The files' times in the package when SOURCE_DATE_EPOCH does not say otherwise: the changelog's.
set(CPACK_ZUN2_RELEASE_EPOCH ${ZUN2_RELEASE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/cpack-checks.cmake)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZUN2_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt's libraries only recommend their platform plugins, without which no window opens.
if(ZUN2_BUILD_UI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()
# Without Qt's Wayland plugin the window runs through XWayland on a Wayland desktop.
if(ZUN2_BUILD_UI)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS jpilot)
# CPack puts the summary first.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ZUN2 keeps plain text files and Palm documents (PalmDOC databases of type
TEXt and creator REAd) in step. A list of conversion tasks runs with one
click: text to document, document to text, or both ways, where the side
that changed since the last run decides. New documents go into the J-Pilot
backup folder or a folder of the user's choice and are queued for
installation at the next HotSync; a tray icon turns the clipboard into a
document.
.
The command-line tool zundoc converts single files and runs the task list
from scripts.")
include(CPack)
