# `make package`: a Debian package of the install tree, for /usr. The program folder is
# /usr/lib/brindlecap, which a user cannot write, so the programs keep their working files and
# the user's own texts in the user's folders (see src/app/user_folders.h).

# Manual pages, compressed as Debian keeps them (-n: no time stamp, so builds are repeatable).
find_program(BRINDLECAP_GZIP gzip REQUIRED)
set(BRINDLECAP_MAN_PAGES brindlecap.1 brindlecap-config.1)
set(BRINDLECAP_MAN_OUTPUTS)
foreach(page IN LISTS BRINDLECAP_MAN_PAGES)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${BRINDLECAP_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/doc/${page} > ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND BRINDLECAP_MAN_OUTPUTS ${out})
endforeach()
set(BRINDLECAP_CHANGELOG ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${BRINDLECAP_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND ${BRINDLECAP_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${BRINDLECAP_CHANGELOG}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(manual_pages ALL DEPENDS ${BRINDLECAP_MAN_OUTPUTS} ${BRINDLECAP_CHANGELOG})

install(FILES ${BRINDLECAP_MAN_OUTPUTS} DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${BRINDLECAP_CHANGELOG}
        DESTINATION share/doc/brindlecap)

# The systemd user unit. Under /usr it belongs to lib/systemd/user; under any other prefix to
# share/systemd/user, which systemd searches below ~/.local and /usr/local too.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(unit_folder \"\$ENV{DESTDIR}/usr/lib/systemd/user\")
  else()
    set(unit_folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/systemd/user\")
  endif()
  set(BRINDLECAP_PROGRAM_FOLDER \"\${CMAKE_INSTALL_PREFIX}/lib/brindlecap\")
  configure_file(\"${PROJECT_SOURCE_DIR}/data/brindlecap.service.in\"
                 \"\${unit_folder}/brindlecap.service\" @ONLY)
  message(STATUS \"Installing: \${unit_folder}/brindlecap.service\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindlecap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brindlecap developers <brindlecap@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail guard: local POP3 proxy that checks attachments")
# CPack puts the summary on the Description line and indents every line of this text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brindlecap sits between a mail program and the real POP3 server. Before the
mail program gets its mail, Brindlecap downloads every waiting message,
decodes it and checks the file names of its attachments. Attachments of a
blocked kind (scripts, programs, or an own list of extensions) are renamed,
with a notice put into the mail, or the whole mail is deleted on the server.

It shows its work in a small window behind a tray icon, or runs without a
display as a systemd user service.")
# The libraries come from what the programs link (dpkg-shlibdeps); Qt's platform plugins are
# loaded at run time, so that package is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET gui)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, xdg-utils")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
