# Build-time resources linked into the installer (and the tests):
#  - the skin package: every file under skin/ zipped into one archive and
#    linked in as a byte array (zembra_skin_archive_begin/_end);
#  - the version note: an ELF note section holding the file version and the
#    product strings, read back at run time from any ELF file.

set(ZEMBRA_FILE_DESCRIPTION "Zembra Morvanta online installer")
set(ZEMBRA_PRODUCT_NAME "Zembra Morvanta Setup")
set(ZEMBRA_COPYRIGHT "Copyright (C) 2026 Quenrick")

file(GLOB_RECURSE ZEMBRA_SKIN_FILES CONFIGURE_DEPENDS
     RELATIVE ${CMAKE_SOURCE_DIR}/skin ${CMAKE_SOURCE_DIR}/skin/*)
list(SORT ZEMBRA_SKIN_FILES)
set(ZEMBRA_SKIN_ZIP ${CMAKE_BINARY_DIR}/resources/skin.zip)
list(TRANSFORM ZEMBRA_SKIN_FILES PREPEND ${CMAKE_SOURCE_DIR}/skin/ OUTPUT_VARIABLE ZEMBRA_SKIN_DEPENDS)
add_custom_command(
  OUTPUT ${ZEMBRA_SKIN_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND ${CMAKE_COMMAND} -E rm -f ${ZEMBRA_SKIN_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZEMBRA_SKIN_ZIP} --format=zip -- ${ZEMBRA_SKIN_FILES}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/skin
  DEPENDS ${ZEMBRA_SKIN_DEPENDS}
  COMMENT "Packing the skin archive")

configure_file(${CMAKE_SOURCE_DIR}/cmake/SkinArchive.S.in ${CMAKE_BINARY_DIR}/resources/SkinArchive.S @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionNote.c.in ${CMAKE_BINARY_DIR}/resources/VersionNote.c @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/resources/SkinArchive.S PROPERTIES OBJECT_DEPENDS ${ZEMBRA_SKIN_ZIP})

# Linked as an object library so the symbols are never dropped by the linker.
add_library(zembra_resources OBJECT
  ${CMAKE_BINARY_DIR}/resources/SkinArchive.S
  ${CMAKE_BINARY_DIR}/resources/VersionNote.c)
