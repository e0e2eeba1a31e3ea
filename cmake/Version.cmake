# The release's version, kept in the file VERSION at the root alone: the
# plug-in's and the tools' version resources, the archive's name and the
# package test all read it there, so they cannot disagree. It is three
# numbers, major.minor.patch; the resources' fourth is always 0.
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION OV_VERSION LIMIT_COUNT 1)
if(NOT OV_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION holds '${OV_VERSION}', not major.minor.patch")
endif()
set(OV_VERSION_COMMAS "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, 0")
set(OV_VERSION_DOTS "${OV_VERSION}.0")
set(OV_PRODUCT_VERSION "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)

# Gives `target` a version resource; `file_type` is VFT_APP or VFT_DLL.
function(ov_version_resource target description file_type)
  get_target_property(OV_INTERNAL_NAME ${target} OUTPUT_NAME)
  if(NOT OV_INTERNAL_NAME)
    set(OV_INTERNAL_NAME ${target})
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(OV_FILE_NAME ${OV_INTERNAL_NAME}.exe)
  else()
    set(OV_FILE_NAME ${OV_INTERNAL_NAME}.dll)
  endif()
  set(OV_DESCRIPTION "${description}")
  set(OV_FILETYPE ${file_type})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
