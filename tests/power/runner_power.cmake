# The emulated runner, started as a user starts it, asks the scenario's power service at the
# click and traces it: on the battery at 10 % the update is refused with nothing held; on the
# built-in scenario the hold is taken before the image is read and let go at the unload.
#   cmake -DRUNNER=... [-DRUNNER_EMULATOR=...] -DIMAGE=... -DOUT=... -P runner_power.cmake

# Runs the runner with SCENARIO (empty: the built-in one) and --click; sets `events` to the
# trace's "ev:op" of each line and `trace` to its text.
function(run name scenario expected)
  set(dir ${OUT}/${name})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  file(COPY_FILE ${IMAGE} ${dir}/Varnholt.bin)
  set(args)
  if(scenario)
    file(WRITE ${dir}/scenario.json "${scenario}")
    set(args ${dir}/scenario.json)
  endif()
  set(ENV{QT_QPA_PLATFORM} offscreen)
  execute_process(
    COMMAND ${RUNNER_EMULATOR} ${RUNNER} ${args} --program-dir ${dir} --click
            --trace ${dir}/trace.jsonl
    RESULT_VARIABLE status)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "${name}: exit status ${status}, expected ${expected}")
  endif()
  file(STRINGS ${dir}/trace.jsonl lines)
  set(list)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "\"ev\":\"([a-z_]+)\"(,\"op\":\"([a-z_]+)\")?" _ "${line}")
    list(APPEND list "${CMAKE_MATCH_1}:${CMAKE_MATCH_3}")
  endforeach()
  set(events ${list} PARENT_SCOPE)
  file(READ ${dir}/trace.jsonl text)
  set(trace "${text}" PARENT_SCOPE)
endfunction()

function(expect_order name)
  set(last -1)
  foreach(event IN LISTS ARGN)
    list(FIND events ${event} at)
    if(at LESS_EQUAL last)
      message(FATAL_ERROR "${name}: ${event} missing or out of order in: ${events}")
    endif()
    set(last ${at})
  endforeach()
endfunction()

run(low_battery [[{"power": {"on_battery": true, "percentage": 10}}]] 2)
expect_order(low_battery window:enabled power:battery window:message_box window:unload exit:)
string(FIND "${trace}" [["ev":"power","op":"battery","on_battery":true,"percentage":10}]] at)
string(FIND "${trace}"
       [["text":"The battery is at 10 %. Connect the power supply, then start the update again."]]
       box)
if(at LESS 0 OR box LESS 0 OR "${events}" MATCHES "power:hold|image:")
  message(FATAL_ERROR "low_battery: not refused at the click with nothing held:\n${trace}")
endif()

run(built_in "" 0)
expect_order(built_in window:enabled power:battery power:hold image:load window:unload
             power:release window:terminate exit:)
string(FIND "${trace}" [["ev":"power","op":"hold","result":true}]] at)
if(at LESS 0)
  message(FATAL_ERROR "built_in: no hold granted:\n${trace}")
endif()
