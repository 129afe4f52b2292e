# The maker's public keys that the program checks the firmware image's signature with:
#   -DDALVORN_FIRMWARE_PUBLIC_KEYS=maker-2026.pub.pem[;maker-2027.pub.pem...]
# Each file is a PEM SubjectPublicKeyInfo of an ECDSA P-256 key (openssl pkey -pubout); several
# keys let a maker rotate them. From them the build writes
#   <build>/generated/dalvorn/firmware_keys.h   each key's point, 0x04 || X || Y (65 bytes)
# and refuses, here at configure time, a file that is not such a key. Empty (the default): the
# table is empty and the program checks no signature.
# With a firmware image to ship (DALVORN_FIRMWARE_IMAGE), its signature IMAGE.sig must lie next
# to it and verify with one of the keys, or the configure fails.
# Include it from the top-level CMakeLists.txt after cmake/DalvornProduct.cmake. Needs the
# openssl command only when keys are given.
set(DALVORN_FIRMWARE_PUBLIC_KEYS "" CACHE STRING
    "PEM public keys (P-256) that verify the firmware image's signature, separated by ; or ,")

# The DER prefix of a P-256 SubjectPublicKeyInfo up to its uncompressed point (04 X Y).
set(_dalvorn_p256_prefix "3059301306072a8648ce3d020106082a8648ce3d030107034200")
string(LENGTH "${_dalvorn_p256_prefix}" _dalvorn_prefix_length)

set(_dalvorn_key_files "${DALVORN_FIRMWARE_PUBLIC_KEYS}")
string(REPLACE "," ";" _dalvorn_key_files "${_dalvorn_key_files}")
list(REMOVE_ITEM _dalvorn_key_files "")
set(_dalvorn_key_points "")
set(_dalvorn_key_dir ${DALVORN_GENERATED_DIR}/firmware-keys)
if(_dalvorn_key_files)
  find_program(DALVORN_OPENSSL_PROGRAM openssl)
  if(NOT DALVORN_OPENSSL_PROGRAM)
    message(FATAL_ERROR "DALVORN_FIRMWARE_PUBLIC_KEYS needs the openssl command to read the keys "
                        "(Debian: apt-get install openssl)")
  endif()
  file(REMOVE_RECURSE ${_dalvorn_key_dir})
  file(MAKE_DIRECTORY ${_dalvorn_key_dir})
endif()
set(_dalvorn_key_number 0)
set(_dalvorn_key_paths "")
foreach(_file IN LISTS _dalvorn_key_files)
  get_filename_component(_file "${_file}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  set(_refuse "DALVORN_FIRMWARE_PUBLIC_KEYS: ${_file}")
  if(NOT EXISTS "${_file}" OR IS_DIRECTORY "${_file}")
    message(FATAL_ERROR "${_refuse}: no such file")
  endif()
  file(READ "${_file}" _text)
  if(_text MATCHES "PRIVATE KEY")
    message(FATAL_ERROR "${_refuse} is a private key. Give the build only the public key "
                        "(openssl pkey -in maker-key.pem -pubout -out maker-key.pub.pem), and keep "
                        "the private key off the build machine (docs/signing.md).")
  endif()
  # openssl reads the first block of a file and passes over the others unseen: one key a file,
  # as the emulated runner's --public-key takes them.
  string(REGEX MATCHALL "-----BEGIN " _blocks "${_text}")
  list(LENGTH _blocks _block_count)
  if(_block_count GREATER 1)
    message(FATAL_ERROR "${_refuse} holds ${_block_count} PEM blocks: give each key in a file "
                        "of its own")
  endif()
  set(_der ${_dalvorn_key_dir}/key-${_dalvorn_key_number}.der)
  execute_process(COMMAND ${DALVORN_OPENSSL_PROGRAM} pkey -pubin -in "${_file}" -pubcheck -noout
                  RESULT_VARIABLE _status OUTPUT_QUIET ERROR_VARIABLE _error)
  if(_status EQUAL 0)
    execute_process(COMMAND ${DALVORN_OPENSSL_PROGRAM} pkey -pubin -in "${_file}" -outform DER
                            -out "${_der}"
                    RESULT_VARIABLE _status OUTPUT_QUIET ERROR_VARIABLE _error)
  endif()
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${_refuse} is not a PEM public key (openssl: ${_error})")
  endif()
  file(READ "${_der}" _hex HEX)
  string(LENGTH "${_hex}" _length)
  string(SUBSTRING "${_hex}" 0 ${_dalvorn_prefix_length} _prefix)
  string(SUBSTRING "${_hex}" ${_dalvorn_prefix_length} 2 _form)
  if(NOT _length EQUAL 182 OR NOT _prefix STREQUAL _dalvorn_p256_prefix OR NOT _form STREQUAL "04")
    message(FATAL_ERROR "${_refuse} is not an ECDSA P-256 public key with an uncompressed point "
                        "(make one with: openssl genpkey -algorithm EC -pkeyopt "
                        "ec_paramgen_curve:P-256 -out maker-key.pem, then openssl pkey -in "
                        "maker-key.pem -pubout -out maker-key.pub.pem)")
  endif()
  string(SUBSTRING "${_hex}" ${_dalvorn_prefix_length} -1 _point)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " _point "${_point}")
  string(REGEX REPLACE ", $" "" _point "${_point}")
  string(APPEND _dalvorn_key_points "    {${_point}},  // ${_file}\n")
  list(APPEND _dalvorn_key_paths "${_file}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_file}")
  math(EXPR _dalvorn_key_number "${_dalvorn_key_number} + 1")
endforeach()
set(DALVORN_FIRMWARE_KEY_COUNT ${_dalvorn_key_number})

# The table, rewritten only when it changes (so a new configure rebuilds nothing else).
file(WRITE ${DALVORN_GENERATED_DIR}/firmware_keys.h.new
"// The maker's public keys for the firmware image's signature, generated from
// DALVORN_FIRMWARE_PUBLIC_KEYS by cmake/DalvornFirmwareKeys.cmake. Do not edit.
#pragma once

#include <array>
#include <cstdint>

namespace dalvorn::generated {

inline constexpr std::array<std::array<std::uint8_t, 65>, ${DALVORN_FIRMWARE_KEY_COUNT}>
    FirmwarePublicKeyPoints = {{
${_dalvorn_key_points}}};

}  // namespace dalvorn::generated
")
configure_file(${DALVORN_GENERATED_DIR}/firmware_keys.h.new
               ${DALVORN_GENERATED_DIR}/dalvorn/firmware_keys.h COPYONLY)
file(REMOVE ${DALVORN_GENERATED_DIR}/firmware_keys.h.new)

# dalvorn_verify_image_signature(IMAGE SIGNATURE): fails the configure unless one of the keys
# verifies SIGNATURE over IMAGE, as the program will.
function(dalvorn_verify_image_signature image signature)
  if(NOT EXISTS "${signature}")
    message(FATAL_ERROR "The firmware image ${image} has no signature ${signature}: sign it with "
                        "scripts/sign-firmware.sh KEY IMAGE (docs/signing.md)")
  endif()
  file(SIZE "${signature}" _size)
  if(_size GREATER 1024)
    message(FATAL_ERROR "${signature} is larger than 1,024 bytes: it is no signature")
  endif()
  foreach(_key IN LISTS _dalvorn_key_paths)
    execute_process(COMMAND ${DALVORN_OPENSSL_PROGRAM} dgst -sha256 -verify "${_key}"
                            -signature "${signature}" "${image}"
                    RESULT_VARIABLE _status OUTPUT_QUIET ERROR_QUIET)
    if(_status EQUAL 0)
      message(STATUS "Firmware image signature verified with ${_key}")
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "The signature ${signature} does not verify ${image} with any key of "
                      "DALVORN_FIRMWARE_PUBLIC_KEYS: the program would refuse the image")
endfunction()

if(DALVORN_FIRMWARE_KEY_COUNT GREATER 0)
  message(STATUS "Firmware signature check: ${DALVORN_FIRMWARE_KEY_COUNT} key(s)")
  if(DALVORN_FIRMWARE_IMAGE)
    dalvorn_verify_image_signature("${DALVORN_FIRMWARE_IMAGE}" "${DALVORN_FIRMWARE_IMAGE}.sig")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${DALVORN_FIRMWARE_IMAGE}"
                                                                   "${DALVORN_FIRMWARE_IMAGE}.sig")
  endif()
else()
  message(STATUS "Firmware signature check: none (no DALVORN_FIRMWARE_PUBLIC_KEYS)")
endif()
