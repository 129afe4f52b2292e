# The configure warning of a package built with the shared test USB IDs
# (cmake/DalvornProduct.cmake): a table of configurations, each configured as a small project of
# its own that includes the product's identity, and whether CMake warns.
#   cmake -DSOURCE_DIR=<sources> -DWORK_DIR=<scratch folder> -DGENERATOR=<generator>
#         -DMAKE_PROGRAM=<its build program> -P test_ids_warning_test.cmake
# The generator and build program are those of the build that runs the test (Ninja): CMake's
# default generator needs make, which nothing installs.
if(NOT GENERATOR OR NOT MAKE_PROGRAM)
  message(FATAL_ERROR "give -DGENERATOR and -DMAKE_PROGRAM, those of the build running the test")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/project)
file(WRITE ${WORK_DIR}/project/CMakeLists.txt "
cmake_minimum_required(VERSION 3.25)
project(ids_warning VERSION 1.1.0.1 LANGUAGES NONE)
include(${SOURCE_DIR}/cmake/DalvornProduct.cmake)
")

# name | options (separated by commas) | warns
set(cases
    "developer build|-DDALVORN_PROGRAM_DIR=bin|no"
    "Debian package|-DDALVORN_PROGRAM_DIR=/opt/dalvorn-firmware-update|yes"
    "package with an image|-DDALVORN_FIRMWARE_IMAGE=${WORK_DIR}/project/CMakeLists.txt|yes"
    "the test application ID kept|-DDALVORN_PROGRAM_DIR=/opt/x,-DDALVORN_BOOT_PRODUCT_ID=0x5679|yes"
    "maker's own product IDs|-DDALVORN_PROGRAM_DIR=/opt/x,-DDALVORN_APP_PRODUCT_ID=0x5678,-DDALVORN_BOOT_PRODUCT_ID=0x5679|no"
    "maker's own IDs|-DDALVORN_PROGRAM_DIR=/opt/x,-DDALVORN_VENDOR_ID=0x1234,-DDALVORN_APP_PRODUCT_ID=0x0001,-DDALVORN_BOOT_PRODUCT_ID=0x0002|no")
set(failures 0)
set(n 0)
foreach(row IN LISTS cases)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 name)
  list(GET row 1 options)
  list(GET row 2 warns)
  string(REPLACE "," ";" options "${options}")
  math(EXPR n "${n} + 1")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/project -B ${WORK_DIR}/build-${n}
                          -G ${GENERATOR} -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} ${options}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  string(FIND "${err}" "built with the shared test USB IDs" at)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${name}: the configure failed: ${err}")
    math(EXPR failures "${failures} + 1")
  elseif(warns STREQUAL "yes" AND at EQUAL -1)
    message(SEND_ERROR "${name}: no warning of the test IDs")
    math(EXPR failures "${failures} + 1")
  elseif(warns STREQUAL "no" AND NOT at EQUAL -1)
    message(SEND_ERROR "${name}: a warning of the test IDs where none belongs:\n${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of the test-ID warning cases failed")
endif()
