# The Windows executable's version information and icon.
#
#   dalvorn_add_windows_resources(<target>)
#
# Configures src/ui/resources/version.rc.in for <target> from the project's title
# (DALVORN_TITLE), version text (DALVORN_VERSION_TEXT, "1.01.0001"), numeric version
# (PROJECT_VERSION, 1.1.0.1), publisher and copyright (cmake/DalvornProduct.cmake) and adds it,
# with the icon, to the target's sources. Does nothing off Windows.
function(dalvorn_add_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  set(resources "${PROJECT_SOURCE_DIR}/src/ui/resources")
  set(DALVORN_ICON_FILE "${resources}/dalvorn-firmware-update.ico")
  set(DALVORN_TARGET_NAME "${target}")
  set(DALVORN_VERSION_COMMAS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file(${resources}/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${DALVORN_ICON_FILE})
endfunction()
