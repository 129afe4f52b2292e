# Runs the Win32 emulated runner from a folder whose name the ANSI code page cannot write, as
# a user who keeps the program there would, and checks that the image beside it is found:
#   1. the runner and the demo image copied into OUT/FOLDER, run with no --program-dir (its
#      own folder) and the trace and screenshot in that folder: the image is loaded, exit 0;
#   2. a directory named Varnholt.bin in OUT/FOLDER/directory, given with --program-dir: the
#      image is refused as a directory (not as a missing file) in the status line, the button
#      stays disabled, exit 0.
#   cmake -DRUNNER=... [-DRUNNER_EMULATOR=wine] -DIMAGE=... -DOUT=... -DFOLDER=... -P this
#
# Under Wine the Unix locale decides the ANSI code page. C.UTF-8 is always installed and Wine
# takes it as en-US: ANSI code page 1252, which writes neither Cyrillic nor CJK letters, so a
# program that goes through ANSI paths fails here; and the arguments are read as UTF-8, so
# they reach the program unchanged (a locale that is not installed would make Wine read them
# as ASCII).
set(ENV{LC_ALL} C.UTF-8)

set(folder ${OUT}/${FOLDER})
file(REMOVE_RECURSE ${folder})
file(MAKE_DIRECTORY ${folder}/directory/Varnholt.bin)
get_filename_component(runner_name ${RUNNER} NAME)
file(COPY_FILE ${RUNNER} ${folder}/${runner_name})
file(COPY_FILE ${IMAGE} ${folder}/Varnholt.bin)
file(SIZE ${IMAGE} image_size)

function(run_runner expected trace)
  execute_process(COMMAND ${RUNNER_EMULATOR} ${folder}/${runner_name} ${ARGN} --click
                          --trace ${trace}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "${FOLDER}: exit status ${status}, expected ${expected}\n${out}")
  endif()
  if(NOT EXISTS ${trace})
    message(FATAL_ERROR "${FOLDER}: no trace at ${trace}\n${out}")
  endif()
  file(STRINGS ${trace} lines ENCODING UTF-8)
  set(lines "${lines}" PARENT_SCOPE)
endfunction()

function(expect_line pattern)
  foreach(line IN LISTS lines)
    if(line MATCHES "${pattern}")
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "${FOLDER}: no trace line matches ${pattern}:\n${lines}")
endfunction()

# 1. The image next to the runner.
run_runner(0 ${folder}/trace.jsonl --screenshot ${folder}/window.png)
expect_line("^{\"t\":[0-9]+,\"ev\":\"image\",\"op\":\"load\",\"bytes\":${image_size},\"signature\":\"not checked\"}$")
expect_line("^{\"t\":[0-9]+,\"ev\":\"exit\",\"code\":0}$")
if(NOT EXISTS ${folder}/window.png)
  message(FATAL_ERROR "${FOLDER}: no screenshot")
endif()

# 2. A directory where the image should be.
run_runner(0 ${folder}/directory/trace.jsonl --program-dir ${folder}/directory)
expect_line("\"op\":\"status\",\"text\":\"The firmware image .*: it is a directory, not a file.\"")
expect_line("\"op\":\"enabled\",\"control\":\"btnUpgradeFW\",\"value\":false")
expect_line("^{\"t\":[0-9]+,\"ev\":\"exit\",\"code\":0}$")
