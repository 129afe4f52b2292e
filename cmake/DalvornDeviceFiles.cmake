# Writes the files that name the device's USB IDs: the C++ header and the udev rule.
#
#   dalvorn_write_device_files(<vendor> <app product> <boot product> <header> <rule>)
#
# Each ID is written 0xHHHH (four hex digits, either case). The header keeps them as numbers;
# the rule matches them as udev reads sysfs (four lower-case digits, no 0x). Stops the
# configuration when an ID is malformed or the two product IDs are the same, since the
# program tells the device's mode by its product ID. Usable from cmake -P as well.
set(_DALVORN_DEVICE_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})

function(dalvorn_write_device_files vendor app boot header rule)
  foreach(pair "vendor ID=${vendor}" "application product ID=${app}"
               "bootloader product ID=${boot}")
    string(REGEX REPLACE "=.*" "" what "${pair}")
    string(REGEX REPLACE "^[^=]*=" "" value "${pair}")
    if(NOT value MATCHES "^0[xX][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]$")
      message(FATAL_ERROR "USB ${what} '${value}' is not 0x followed by four hex digits")
    endif()
  endforeach()
  string(TOLOWER "${app}" app_lower)
  string(TOLOWER "${boot}" boot_lower)
  if(app_lower STREQUAL boot_lower)
    message(FATAL_ERROR "USB product IDs: application and bootloader modes share ${app}")
  endif()
  string(TOLOWER "${vendor}" vendor_lower)
  string(SUBSTRING "${vendor_lower}" 2 4 DALVORN_UDEV_VENDOR)
  string(SUBSTRING "${app_lower}" 2 4 DALVORN_UDEV_APP)
  string(SUBSTRING "${boot_lower}" 2 4 DALVORN_UDEV_BOOT)
  string(TOUPPER "${DALVORN_UDEV_VENDOR}" DALVORN_MODALIAS_VENDOR)
  string(TOUPPER "${DALVORN_UDEV_APP}" DALVORN_MODALIAS_APP)
  string(TOUPPER "${DALVORN_UDEV_BOOT}" DALVORN_MODALIAS_BOOT)
  set(DALVORN_HEADER_VENDOR "0x${DALVORN_MODALIAS_VENDOR}")
  set(DALVORN_HEADER_APP "0x${DALVORN_MODALIAS_APP}")
  set(DALVORN_HEADER_BOOT "0x${DALVORN_MODALIAS_BOOT}")
  configure_file(${_DALVORN_DEVICE_TEMPLATES}/device_ids.h.in ${header} @ONLY)
  configure_file(${_DALVORN_DEVICE_TEMPLATES}/../packaging/linux/70-dalvorn-firmware-update.rules.in
                 ${rule} @ONLY)
  # For the metainfo's hardware list (usb:vVVVVpPPPPd*).
  foreach(name VENDOR APP BOOT)
    set(DALVORN_MODALIAS_${name} "${DALVORN_MODALIAS_${name}}" PARENT_SCOPE)
  endforeach()
endfunction()
