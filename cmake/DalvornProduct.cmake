# The product's identity, written once here: its title, version, publisher and the USB IDs of
# the device. Every file that shows one of them is generated from these values:
#   <build>/generated/dalvorn/product_version.h  the window's application name and version
#   <build>/generated/dalvorn/device_ids.h       the device's vendor and product IDs
#   <build>/generated/linux/...                  the udev rule, desktop entry and metainfo
#   the Windows version resource and manifest    (src/ui/resources, src/ui/win32/resources)
# Include it from the top-level CMakeLists.txt, after project().
include(${CMAKE_CURRENT_LIST_DIR}/DalvornDeviceFiles.cmake)

set(DALVORN_TITLE "Dalvorn firmware update")
set(DALVORN_PACKAGE_NAME "dalvorn-firmware-update")
set(DALVORN_APPSTREAM_ID "org.dalvorn.firmware_update")
set(DALVORN_SUMMARY "Update the firmware of a Dalvorn USB device")
set(DALVORN_RELEASE_DATE "2026-12-07")
set(DALVORN_PUBLISHER "Dalvorn" CACHE STRING
    "Publisher shown in the version resource and installer")
set(DALVORN_MAINTAINER "Dalvorn firmware update developers <firmware-update@dalvorn.org>"
    CACHE STRING "Maintainer of the Debian package (name <address>)")
set(DALVORN_HOMEPAGE "https://dalvorn.org/firmware-update" CACHE STRING "Project home page")
string(SUBSTRING "${DALVORN_RELEASE_DATE}" 0 4 DALVORN_RELEASE_YEAR)
set(DALVORN_COPYRIGHT "Copyright (c) ${DALVORN_RELEASE_YEAR} ${DALVORN_PUBLISHER}")

# The version the window shows, "1.01.0001", is the numeric one (1.1.0.1) written as
# major.minor.revision with two and four digits; the third number is always 0.
if(NOT PROJECT_VERSION_PATCH EQUAL 0 OR "${PROJECT_VERSION_TWEAK}" STREQUAL "")
  message(FATAL_ERROR "The version must read major.minor.0.revision, not ${PROJECT_VERSION}")
endif()
function(_dalvorn_zero_pad out value width)
  string(LENGTH "${value}" length)
  while(length LESS width)
    string(PREPEND value "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
_dalvorn_zero_pad(_minor ${PROJECT_VERSION_MINOR} 2)
_dalvorn_zero_pad(_revision ${PROJECT_VERSION_TWEAK} 4)
set(DALVORN_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${_minor}.${_revision}")

# The device. The defaults are test IDs; a maker passes its own at configure time.
set(DALVORN_VENDOR_ID "0x1209" CACHE STRING "USB vendor ID of the device (0xVVVV)")
set(DALVORN_APP_PRODUCT_ID "0x0001" CACHE STRING "USB product ID in application mode (0xPPPP)")
set(DALVORN_BOOT_PRODUCT_ID "0x0002" CACHE STRING "USB product ID in bootloader mode (0xPPPP)")

# 1209:0001 and 1209:0002 are shared test IDs (pid.codes): any device may carry them, and a
# package's udev rule gives the person at the seat access to all of them. A build made for a
# package (the .deb's absolute program folder, or an image shipped with it) says so loudly; a
# developer's build does not. The Windows installer warns when makensis builds it.
string(TOLOWER "${DALVORN_VENDOR_ID}/${DALVORN_APP_PRODUCT_ID}/${DALVORN_BOOT_PRODUCT_ID}" _ids)
if(_ids MATCHES "^0x1209/(0x0001/.*|.*/0x0002)$")
  set(DALVORN_TEST_DEVICE_IDS 1)
else()
  set(DALVORN_TEST_DEVICE_IDS 0)
endif()
function(_dalvorn_warn_of_test_ids)
  if(NOT DALVORN_TEST_DEVICE_IDS)
    return()
  endif()
  if(IS_ABSOLUTE "${DALVORN_PROGRAM_DIR}" OR DALVORN_FIRMWARE_IMAGE)
    message(WARNING
      "This package is built with the shared test USB IDs "
      "${DALVORN_VENDOR_ID}:${DALVORN_APP_PRODUCT_ID}/${DALVORN_BOOT_PRODUCT_ID}. Its udev rule "
      "gives the person at the seat access to every device that carries them, and the program "
      "sends its image to any of them. A device's maker passes its own IDs: "
      "-DDALVORN_VENDOR_ID=0xVVVV -DDALVORN_APP_PRODUCT_ID=0xPPPP "
      "-DDALVORN_BOOT_PRODUCT_ID=0xPPPP (docs/packaging.md).")
  endif()
endfunction()
# Once the whole configuration is read, when the program folder is known.
cmake_language(DEFER CALL _dalvorn_warn_of_test_ids)

# The vendor's firmware image, packaged as Varnholt.bin next to the executable.
set(DALVORN_FIRMWARE_IMAGE "" CACHE FILEPATH
    "Firmware image to ship as Varnholt.bin next to the program (empty: none)")
if(DALVORN_FIRMWARE_IMAGE AND NOT EXISTS "${DALVORN_FIRMWARE_IMAGE}")
  message(FATAL_ERROR "DALVORN_FIRMWARE_IMAGE: no file ${DALVORN_FIRMWARE_IMAGE}")
endif()

set(DALVORN_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(DALVORN_UDEV_RULE_FILE ${DALVORN_GENERATED_DIR}/linux/70-${DALVORN_PACKAGE_NAME}.rules)
dalvorn_write_device_files("${DALVORN_VENDOR_ID}" "${DALVORN_APP_PRODUCT_ID}"
                           "${DALVORN_BOOT_PRODUCT_ID}"
                           ${DALVORN_GENERATED_DIR}/dalvorn/device_ids.h ${DALVORN_UDEV_RULE_FILE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/product_version.h.in
               ${DALVORN_GENERATED_DIR}/dalvorn/product_version.h @ONLY)
include_directories(${DALVORN_GENERATED_DIR})
message(STATUS "${DALVORN_TITLE} ${DALVORN_VERSION_TEXT} (${PROJECT_VERSION}), device "
               "${DALVORN_VENDOR_ID}:${DALVORN_APP_PRODUCT_ID}/${DALVORN_BOOT_PRODUCT_ID}")
