# The programs of the program folder (build/bin), defined after every library.

add_executable(brindlecap ${PROJECT_SOURCE_DIR}/src/app/main.cpp)
target_link_libraries(brindlecap PRIVATE proxy app platform)
if(TARGET gui)
  target_link_libraries(brindlecap PRIVATE gui)
  target_compile_definitions(brindlecap PRIVATE BRINDLECAP_HAVE_GUI)
endif()

# The default texts live beside the program, where it looks for them.
set(BRINDLECAP_DEFAULT_TEXTS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Server.ini)
add_custom_command(
  OUTPUT ${BRINDLECAP_DEFAULT_TEXTS}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/lang/Server.ini ${BRINDLECAP_DEFAULT_TEXTS}
  DEPENDS ${PROJECT_SOURCE_DIR}/lang/Server.ini
  COMMENT "Copying the default texts into the program folder")
add_custom_target(default_texts ALL DEPENDS ${BRINDLECAP_DEFAULT_TEXTS})
add_dependencies(brindlecap default_texts)

# Installed, the program folder is <prefix>/lib/brindlecap: the programs with every file they
# read and write beside them, so bin/ holds nothing but links to the two programs. The program
# folder follows /proc/self/exe, which resolves the link to the real folder.
set(BRINDLECAP_INSTALL_FOLDER lib/brindlecap)
install(TARGETS brindlecap RUNTIME DESTINATION ${BRINDLECAP_INSTALL_FOLDER})
install(FILES ${PROJECT_SOURCE_DIR}/lang/Server.ini ${PROJECT_SOURCE_DIR}/lang/Server.en.ini
        DESTINATION ${BRINDLECAP_INSTALL_FOLDER})
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  foreach(program brindlecap brindlecap-config)
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${program}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"../${BRINDLECAP_INSTALL_FOLDER}/\${program}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link} -> ../${BRINDLECAP_INSTALL_FOLDER}/\${program}\")
  endforeach()
")
