# The translations: for each language in po/LINGUAS, po/LANG.po checked and compiled by msgfmt
# (GNU gettext) into LANG.mo, and the .mo files built into the program as a generated C++
# source (cmake/embed_catalogues.cmake), so that no file lies beside the program.
#   dalvorn_add_catalogues(TARGET): adds that source to the library TARGET.
# DALVORN_LANGUAGES: the languages, as po/LINGUAS lists them.
find_program(DALVORN_MSGFMT msgfmt)
if(NOT DALVORN_MSGFMT)
  message(FATAL_ERROR "msgfmt (Debian: gettext) is needed to build the translations: "
                      "scripts/install-deps.sh installs it")
endif()
set(DALVORN_PO_DIR ${PROJECT_SOURCE_DIR}/po)
file(STRINGS ${DALVORN_PO_DIR}/LINGUAS DALVORN_LANGUAGES REGEX "^[^#]")
string(REGEX REPLACE "[ \t]+" ";" DALVORN_LANGUAGES "${DALVORN_LANGUAGES}")
list(REMOVE_ITEM DALVORN_LANGUAGES "")
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${DALVORN_PO_DIR}/LINGUAS)

# dalvorn_add_catalogues(TARGET [FUNCTION NAME] [PO_DIR DIR] [LANGUAGES LANG...]) adds to the
# library TARGET the generated source of the catalogues of LANGUAGES (default: po/LINGUAS's) in
# DIR (default: po/), reached through dalvorn::generated::NAME() (default: BuiltInCatalogues,
# src/text/built_in_catalogues.h).
function(dalvorn_add_catalogues target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FUNCTION;PO_DIR" "LANGUAGES")
  if(NOT arg_FUNCTION)
    set(arg_FUNCTION BuiltInCatalogues)
  endif()
  if(NOT arg_PO_DIR)
    set(arg_PO_DIR ${DALVORN_PO_DIR})
    set(arg_LANGUAGES ${DALVORN_LANGUAGES})
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${arg_FUNCTION})
  set(mo_files "")
  set(po_files "")
  foreach(lang IN LISTS arg_LANGUAGES)
    add_custom_command(
      OUTPUT ${dir}/${lang}.mo
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${DALVORN_MSGFMT} --check -o ${dir}/${lang}.mo ${arg_PO_DIR}/${lang}.po
      DEPENDS ${arg_PO_DIR}/${lang}.po
      COMMENT "Compiling the ${lang} translation"
      VERBATIM)
    list(APPEND mo_files ${dir}/${lang}.mo)
    list(APPEND po_files ${arg_PO_DIR}/${lang}.po)
  endforeach()
  string(REPLACE ";" "," languages "${arg_LANGUAGES}")
  set(source ${dir}/catalogues.cpp)
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DLANGUAGES=${languages} -DMO_DIR=${dir} -DPO_DIR=${arg_PO_DIR}
            -DFUNCTION=${arg_FUNCTION} -DOUTPUT=${source}
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_catalogues.cmake
    DEPENDS ${mo_files} ${po_files} ${PROJECT_SOURCE_DIR}/cmake/embed_catalogues.cmake
    COMMENT "Building the translations into ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
