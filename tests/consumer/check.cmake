# Installs the build into a fresh prefix, checks the installed layout, then
# builds and runs a consumer project against the installed package.
# Run with -DBUILD_DIR=... -DWORK_DIR=... -DSOURCE_DIR=... -DCXX=... -DGROFF=...
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file bin/Tintwise share/man/man1/Tintwise.1 include/tintwise/hsb_search.h include/tintwise/hsb_model.h)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

run(${prefix}/bin/Tintwise 255 128 0)
if(NOT last_output MATCHES "Hue = 7, Saturation = 70, Brightness = 255\n$")
  message(FATAL_ERROR "installed tool printed:\n${last_output}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
file(GLOB consumer ${WORK_DIR}/build/consumer ${WORK_DIR}/build/consumer.exe)
run(${consumer})
if(NOT last_output STREQUAL "7 70 255\n")
  message(FATAL_ERROR "consumer printed: ${last_output}")
endif()
