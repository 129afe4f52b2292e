# Runs the emulated runner on one scenario file as a user would, and checks that it wrote a
# trace that starts with the window shown and ends with the exit line, and a screenshot.
#   cmake -DRUNNER=... -DOUT=... [-DSCENARIO=...] [-DIMAGE=...] [-DARGS=...] [-DEXPECT=0]
#         -P run_scenario.cmake
if(NOT DEFINED EXPECT)
  set(EXPECT 0)
endif()
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
if(DEFINED IMAGE)
  file(COPY_FILE ${IMAGE} ${OUT}/Varnholt.bin)
endif()
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(
  COMMAND ${RUNNER_EMULATOR} ${RUNNER} ${SCENARIO} --program-dir ${OUT} --trace ${OUT}/trace.jsonl
          --screenshot ${OUT}/window.png ${ARGS}
  RESULT_VARIABLE status)
if(NOT status EQUAL EXPECT)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT}")
endif()
file(STRINGS ${OUT}/trace.jsonl lines)
list(GET lines 0 first)
list(GET lines -1 last)
if(NOT first MATCHES "\"ev\":\"window\",\"op\":\"show\"")
  message(FATAL_ERROR "the trace does not start with the window shown: ${first}")
endif()
if(NOT last MATCHES "\"ev\":\"exit\",\"code\":${EXPECT}}")
  message(FATAL_ERROR "the trace does not end with the exit line: ${last}")
endif()
file(SIZE ${OUT}/window.png png_size)
if(png_size LESS 1000)
  message(FATAL_ERROR "no screenshot")
endif()
