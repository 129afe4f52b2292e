# Install rules around the program, and its packages:
#   Linux:   desktop entry, hicolor icons, AppStream metainfo, manual page, licence and
#            changelog, the /usr/bin link when the program lies elsewhere, the firmware image;
#            CPack makes the Debian package of it (cpack -G DEB, scripts/package.sh).
#   Windows: LICENSE.txt, README.txt and the firmware image beside the .exe (the ZIP), and
#            installer.nsi for makensis in the build folder (scripts/package.sh).
# The program itself and the udev rule have their install rules where they are built.
set(_dalvorn_res ${PROJECT_SOURCE_DIR}/src/ui/resources)
set(_dalvorn_pkg ${PROJECT_SOURCE_DIR}/packaging)

# With the maker's keys built in, the image's signature (IMAGE.sig, verified at configure time by
# cmake/DalvornFirmwareKeys.cmake) goes beside it: a signed build takes no image without one.
set(_dalvorn_ship_signature 0)
if(DALVORN_FIRMWARE_IMAGE)
  install(FILES ${DALVORN_FIRMWARE_IMAGE} DESTINATION ${DALVORN_PROGRAM_DIR} RENAME Varnholt.bin)
  if(DALVORN_FIRMWARE_KEY_COUNT GREATER 0)
    set(_dalvorn_ship_signature 1)
    install(FILES ${DALVORN_FIRMWARE_IMAGE}.sig DESTINATION ${DALVORN_PROGRAM_DIR}
            RENAME Varnholt.bin.sig)
  endif()
endif()

if(WIN32)
  set(_dalvorn_win ${DALVORN_GENERATED_DIR}/windows)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${_dalvorn_win}/LICENSE.txt @ONLY
                 NEWLINE_STYLE CRLF)
  configure_file(${_dalvorn_pkg}/windows/README.txt.in ${_dalvorn_win}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${_dalvorn_win}/LICENSE.txt ${_dalvorn_win}/README.txt
          DESTINATION ${DALVORN_PROGRAM_DIR})
  if(DALVORN_FIRMWARE_IMAGE)
    set(DALVORN_NSIS_IMAGE 1)
  else()
    set(DALVORN_NSIS_IMAGE 0)
  endif()
  set(DALVORN_NSIS_SIGNATURE ${_dalvorn_ship_signature})
  # The installer's languages and the Start-menu entry's name in each, from po/ (made again
  # when a translation changes).
  include(${_dalvorn_pkg}/windows/installer_languages.cmake)
  configure_file(${_dalvorn_res}/${DALVORN_PACKAGE_NAME}.desktop.in
                 ${_dalvorn_win}/installer/${DALVORN_PACKAGE_NAME}.desktop @ONLY)
  set(DALVORN_NSIS_LANGUAGES ${_dalvorn_win}/installer/languages.nsh)
  dalvorn_write_installer_languages(${_dalvorn_win}/installer/${DALVORN_PACKAGE_NAME}.desktop
                                    ${DALVORN_NSIS_LANGUAGES})
  foreach(lang IN LISTS DALVORN_LANGUAGES)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${DALVORN_PO_DIR}/${lang}.po)
  endforeach()
  configure_file(${_dalvorn_pkg}/windows/installer.nsi.in ${PROJECT_BINARY_DIR}/installer.nsi
                 @ONLY)
  return()
endif()
if(NOT DALVORN_QT)
  return()
endif()

# --- Desktop integration ------------------------------------------------------------------
# Written in English at configure time (generated/linux/, where scripts/update-po.sh takes their
# texts from), then translated from po/ at build time into generated/linux/translated/: the
# desktop entry's Name, GenericName, Comment and Keywords (msgfmt --desktop), the metainfo's
# name, summary and description (msgfmt --xml, with gettext's rules for metainfo). A title or
# summary a maker changed has no translation yet, and stays as written.
set(_dalvorn_lin ${DALVORN_GENERATED_DIR}/linux)
set(_dalvorn_name ${DALVORN_PACKAGE_NAME})
set(_dalvorn_desktop ${_dalvorn_name}.desktop)
set(_dalvorn_metainfo ${DALVORN_APPSTREAM_ID}.metainfo.xml)
configure_file(${_dalvorn_res}/${_dalvorn_desktop}.in ${_dalvorn_lin}/${_dalvorn_desktop} @ONLY)
configure_file(${_dalvorn_pkg}/linux/metainfo.xml.in ${_dalvorn_lin}/${_dalvorn_metainfo} @ONLY)
set(_dalvorn_po_files "")
foreach(lang IN LISTS DALVORN_LANGUAGES)
  list(APPEND _dalvorn_po_files ${DALVORN_PO_DIR}/${lang}.po)
endforeach()
add_custom_command(
  OUTPUT ${_dalvorn_lin}/translated/${_dalvorn_desktop}
         ${_dalvorn_lin}/translated/${_dalvorn_metainfo}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_dalvorn_lin}/translated
  COMMAND ${DALVORN_MSGFMT} --desktop --template=${_dalvorn_lin}/${_dalvorn_desktop}
          -d ${DALVORN_PO_DIR} -o ${_dalvorn_lin}/translated/${_dalvorn_desktop}
  COMMAND ${DALVORN_MSGFMT} --xml --template=${_dalvorn_lin}/${_dalvorn_metainfo}
          -d ${DALVORN_PO_DIR} -o ${_dalvorn_lin}/translated/${_dalvorn_metainfo}
  DEPENDS ${_dalvorn_lin}/${_dalvorn_desktop} ${_dalvorn_lin}/${_dalvorn_metainfo}
          ${DALVORN_PO_DIR}/LINGUAS ${_dalvorn_po_files}
  COMMENT "Translating the desktop entry and the metainfo"
  VERBATIM)
add_custom_target(dalvorn_desktop_files ALL
                  DEPENDS ${_dalvorn_lin}/translated/${_dalvorn_desktop}
                          ${_dalvorn_lin}/translated/${_dalvorn_metainfo})
# Built with the program, which scripts/package.sh builds alone before it installs.
add_dependencies(dalvorn-firmware-update dalvorn_desktop_files)
# The template and the catalogues brought up to date with the sources (scripts/update-po.sh).
add_custom_target(update-po
                  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/update-po.sh ${PROJECT_BINARY_DIR}
                  COMMENT "Updating po/ from the sources" VERBATIM)
install(FILES ${_dalvorn_lin}/translated/${_dalvorn_desktop}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_dalvorn_lin}/translated/${_dalvorn_metainfo}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES ${_dalvorn_res}/${_dalvorn_name}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${_dalvorn_name}.png)
endforeach()

# The command in the PATH: a link to the program when it lies outside bin/ (it finds its
# folder, and the image, through /proc/self/exe, so the link does not mislead it).
if(NOT DALVORN_PROGRAM_DIR STREQUAL CMAKE_INSTALL_BINDIR)
  if(IS_ABSOLUTE ${DALVORN_PROGRAM_DIR})
    set(_dalvorn_target ${DALVORN_PROGRAM_DIR}/${_dalvorn_name})
  else()
    set(_dalvorn_target ${CMAKE_INSTALL_PREFIX}/${DALVORN_PROGRAM_DIR}/${_dalvorn_name})
  endif()
  file(MAKE_DIRECTORY ${_dalvorn_lin}/bin)
  file(CREATE_LINK ${_dalvorn_target} ${_dalvorn_lin}/bin/${_dalvorn_name} SYMBOLIC)
  install(FILES ${_dalvorn_lin}/bin/${_dalvorn_name} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# --- Manual page, licence and changelog, compressed as Debian wants them (gzip -9n) ---------
execute_process(COMMAND date -u -R -d "${DALVORN_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE DALVORN_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _dalvorn_license)
string(STRIP "${_dalvorn_license}" _dalvorn_license)
string(REPLACE "\n" "\n " _dalvorn_license " ${_dalvorn_license}")
string(REPLACE "\n \n" "\n .\n" DALVORN_LICENSE_INDENTED "${_dalvorn_license}")
configure_file(${_dalvorn_pkg}/linux/copyright.in ${_dalvorn_lin}/doc/copyright @ONLY)
configure_file(${_dalvorn_pkg}/linux/changelog.in ${_dalvorn_lin}/doc/changelog @ONLY)
configure_file(${_dalvorn_pkg}/linux/${_dalvorn_name}.1.in ${_dalvorn_lin}/${_dalvorn_name}.1 @ONLY)
foreach(file doc/changelog ${_dalvorn_name}.1)
  execute_process(COMMAND gzip -9nc ${_dalvorn_lin}/${file} OUTPUT_FILE ${_dalvorn_lin}/${file}.gz
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${_dalvorn_lin}/doc/copyright ${_dalvorn_lin}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_dalvorn_name})
install(FILES ${_dalvorn_lin}/${_dalvorn_name}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_dalvorn_pkg}/linux/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${_dalvorn_name})

# --- The Debian package ---------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${_dalvorn_name})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${DALVORN_PUBLISHER})
set(CPACK_PACKAGE_CONTACT ${DALVORN_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${DALVORN_SUMMARY})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# The program's folder is absolute (/opt/...): install into the staging folder with DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${DALVORN_HOMEPAGE})
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A single-window tool that finds the device among the USB
HID interfaces, shows its manufacturer, product, version and serial number,
and updates its firmware over HID feature reports with one button. A udev
rule gives the user at the seat access to the device. The firmware image,
Varnholt.bin, lies in /opt/${_dalvorn_name}/.")
# Dependencies from the binary (dpkg-shlibdeps) alone: on Debian 12 Qt's X11 platform plugin
# comes with libqt6gui6 (CI checks the package in a minimal root without recommends).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts for Japanese and Chinese texts, and Qt's own texts (a message box's button) in the
# person's language; without them those texts show in English or in another font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
configure_file(${_dalvorn_pkg}/linux/postinst ${_dalvorn_lin}/control/postinst COPYONLY)
configure_file(${_dalvorn_pkg}/linux/postrm ${_dalvorn_lin}/control/postrm COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_dalvorn_lin}/control/postinst
    ${_dalvorn_lin}/control/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
