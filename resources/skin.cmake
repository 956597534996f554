# The skin archive, window icon and manifest of the installer (skin.rc).
#
# skin.zip is packed from resources/skin at build time by make_skin_zip.py,
# which also stops the build when a layout is malformed or names an image
# that the skin does not hold. The images themselves are committed; run
# resources/skin/make_images.sh after changing how they are drawn.
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(PW_SKIN_DIR ${CMAKE_CURRENT_SOURCE_DIR}/skin)
set(PW_SKIN_ZIP ${CMAKE_CURRENT_BINARY_DIR}/skin.zip)
file(GLOB PW_SKIN_FILES CONFIGURE_DEPENDS
     ${PW_SKIN_DIR}/*.xml ${PW_SKIN_DIR}/img/*.png)

add_custom_command(
  OUTPUT ${PW_SKIN_ZIP}
  COMMAND ${Python3_EXECUTABLE} ${PW_SKIN_DIR}/make_skin_zip.py ${PW_SKIN_DIR} ${PW_SKIN_ZIP}
  DEPENDS ${PW_SKIN_FILES} ${PW_SKIN_DIR}/make_skin_zip.py
  COMMENT "Packing the skin archive"
  VERBATIM)
add_custom_target(pw_skin_zip DEPENDS ${PW_SKIN_ZIP})

set(PW_SKIN_RC ${CMAKE_CURRENT_SOURCE_DIR}/skin.rc)
target_sources(pw_resources PRIVATE ${PW_SKIN_RC})
set_source_files_properties(${PW_SKIN_RC} PROPERTIES
  OBJECT_DEPENDS "${PW_SKIN_ZIP};${CMAKE_CURRENT_SOURCE_DIR}/pathwick.ico;${CMAKE_CURRENT_SOURCE_DIR}/PathwickSetup.manifest")
add_dependencies(pw_resources pw_skin_zip)
# windres looks for the files that skin.rc names on its include path.
target_include_directories(pw_resources PRIVATE ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
