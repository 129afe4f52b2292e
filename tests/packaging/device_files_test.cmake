# The files generated from the device's USB IDs (cmake/DalvornDeviceFiles.cmake): a table of
# IDs a maker may pass, what the header and the udev rule must then say, and the IDs that
# must stop the configuration.
#   cmake -DSOURCE_DIR=<sources> -DWORK_DIR=<scratch folder> -P device_files_test.cmake
# With -DCASE=vendor,app,boot it only writes the files for those IDs (the failing cases run so,
# in a cmake of their own, since a configuration error ends the script).
include(${SOURCE_DIR}/cmake/DalvornDeviceFiles.cmake)

if(DEFINED CASE)
  string(REPLACE "," ";" CASE "${CASE}")
  list(GET CASE 0 vendor)
  list(GET CASE 1 app)
  list(GET CASE 2 boot)
  dalvorn_write_device_files(${vendor} ${app} ${boot} ${WORK_DIR}/ids.h ${WORK_DIR}/ids.rules)
  return()
endif()

set(failures 0)
macro(fail what)
  message(SEND_ERROR "${label}: ${what}")
  math(EXPR failures "${failures} + 1")
endmacro()

# vendor app boot | header values | udev values (lower case, no 0x)
set(valid_cases
    "0x1209 0x0001 0x0002|0x1209 0x0001 0x0002|1209 0001 0002"
    "0xABCD 0x12ef 0X00Fe|0xABCD 0x12EF 0x00FE|abcd 12ef 00fe")
foreach(row IN LISTS valid_cases)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 ids)
  list(GET row 1 header_ids)
  list(GET row 2 udev_ids)
  set(label "IDs ${ids}")
  separate_arguments(ids)
  separate_arguments(header_ids)
  separate_arguments(udev_ids)
  set(dir ${WORK_DIR}/valid)
  file(REMOVE_RECURSE ${dir})
  dalvorn_write_device_files(${ids} ${dir}/ids.h ${dir}/ids.rules)
  file(READ ${dir}/ids.h header)
  file(STRINGS ${dir}/ids.rules rules REGEX "^SUBSYSTEM")
  list(GET header_ids 0 v)
  list(GET header_ids 1 a)
  list(GET header_ids 2 b)
  foreach(pair "DeviceVendorID = ${v};" "AppProductID = ${a};" "BootProductID = ${b};")
    string(FIND "${header}" "${pair}" at)
    if(at EQUAL -1)
      fail("the header lacks '${pair}'")
    endif()
  endforeach()
  list(GET udev_ids 0 v)
  list(GET udev_ids 1 a)
  list(GET udev_ids 2 b)
  list(LENGTH rules rule_count)
  if(NOT rule_count EQUAL 2)
    fail("the rule has ${rule_count} rule lines, not 2")
  endif()
  foreach(product ${a} ${b})
    set(line "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"${v}\", ATTRS{idProduct}==\"${product}\", TAG+=\"uaccess\"")
    list(FIND rules "${line}" found)
    if(found EQUAL -1)
      fail("no rule line '${line}'")
    endif()
  endforeach()
  string(TOLOWER "${DALVORN_MODALIAS_VENDOR}:${DALVORN_MODALIAS_APP}" modalias)
  if(NOT modalias STREQUAL "${v}:${a}")
    fail("the metainfo's hardware IDs are ${modalias}")
  endif()
endforeach()

# Each of these must stop the configuration with a message naming the fault.
set(invalid_cases
    "1209 0x0001 0x0002|not 0x followed by four hex digits"
    "0x12345 0x0001 0x0002|not 0x followed by four hex digits"
    "0x1209 0x00G1 0x0002|application product ID"
    "0x1209 0x0001 0x002|bootloader product ID"
    "0x1209 0x00ab 0x00AB|share")
foreach(row IN LISTS invalid_cases)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 ids)
  list(GET row 1 message)
  set(label "IDs ${ids}")
  string(REPLACE " " "," case_arg "${ids}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR}
                          -DWORK_DIR=${WORK_DIR}/invalid "-DCASE=${case_arg}"
                          -P ${CMAKE_CURRENT_LIST_FILE}
                  RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
  if(result EQUAL 0)
    fail("accepted")
  elseif(NOT error MATCHES "${message}")
    fail("stopped without '${message}': ${error}")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} expectation(s) failed")
endif()
message(STATUS "device files: all cases passed")
