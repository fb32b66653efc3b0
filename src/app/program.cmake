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

install(TARGETS brindlecap RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/lang/Server.ini DESTINATION bin)
