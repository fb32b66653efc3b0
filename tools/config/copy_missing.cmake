# Copies each file of SOURCE_DIR into DEST_DIR unless DEST_DIR already has it, so that texts a
# user edited in the program folder survive a rebuild.
file(GLOB defaults "${SOURCE_DIR}/*")
file(MAKE_DIRECTORY "${DEST_DIR}")
foreach(source IN LISTS defaults)
  get_filename_component(name "${source}" NAME)
  if(NOT EXISTS "${DEST_DIR}/${name}")
    file(COPY "${source}" DESTINATION "${DEST_DIR}")
  endif()
endforeach()
