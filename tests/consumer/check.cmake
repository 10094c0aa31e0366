# Installs the release as a user gets it, then uses it: on Debian the .deb that
# `cpack -G DEB` makes, unpacked into a scratch root (control fields checked),
# elsewhere `cmake --install` into a scratch prefix. Runs both installed
# programs, renders both manual pages, looks for the one-file page (PAGE=ON
# when the build made it), then builds and runs a consumer project against the
# installed CMake package.
# Run with -DBUILD_DIR=... -DWORK_DIR=... -DSOURCE_DIR=... -DCXX=... -DPAGE=...
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

find_program(DPKG_DEB dpkg-deb)
if(DPKG_DEB)
  run(${CMAKE_COMMAND} -E chdir ${BUILD_DIR} cpack -G DEB -B ${WORK_DIR}/package)
  file(GLOB deb ${WORK_DIR}/package/tintwise_*.deb)
  run(${DPKG_DEB} -f ${deb} Package Maintainer Section Depends)
  if(NOT last_output MATCHES "^Package: tintwise\nMaintainer: [^<\n]+ <[^@>\n]+@[^>\n]+>\nSection: graphics\n$")
    message(FATAL_ERROR "control fields (a static tool depends on nothing):\n${last_output}")
  endif()
  run(${DPKG_DEB} -x ${deb} ${WORK_DIR}/root)
  set(prefix ${WORK_DIR}/root/usr)
else()
  set(prefix ${WORK_DIR}/prefix)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()

set(files bin/Tintwise bin/tintwise-palette bin/tintwise-lights bin/tintwise-gamut share/doc/tintwise/copyright share/doc/tintwise/changelog.gz
  share/doc/tintwise/docs/lights.md share/doc/tintwise/docs/examples/theme.gpl
  include/tintwise/hsb_search.h include/tintwise/palette.h include/tintwise/lights.h)
if(PAGE)
  list(APPEND files share/tintwise/tintwise.html)
endif()
foreach(file ${files})
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

run(${prefix}/bin/Tintwise 255 128 0)
if(NOT last_output MATCHES "Hue = 7, Saturation = 70, Brightness = 255\n$")
  message(FATAL_ERROR "installed tool printed:\n${last_output}")
endif()
file(WRITE ${WORK_DIR}/one.gpl "GIMP Palette\n255 128 0\tOrange\n")
run(${prefix}/bin/tintwise-palette --format=text ${WORK_DIR}/one.gpl)
if(NOT last_output MATCHES "    7  70 255  100.209387  #c54639  Orange\n$")
  message(FATAL_ERROR "installed tintwise-palette printed:\n${last_output}")
endif()

file(WRITE ${WORK_DIR}/one.t3d "Begin Actor Class=Light Name=Lamp\r\n    LightHue=3\r\nEnd Actor\r\n")
file(REMOVE ${WORK_DIR}/one.t3d.tintwise.t3d)
run(${prefix}/bin/tintwise-lights "--recolour=#ff8000" --beside ${WORK_DIR}/one.t3d) # a file, where CMake leaves its CR alone
file(READ ${WORK_DIR}/one.t3d.tintwise.t3d written HEX)
string(HEX "Begin Actor Class=Light Name=Lamp\r\n    LightHue=7\r\n    LightSaturation=70\r\n    LightBrightness=255\r\nEnd Actor\r\n" expected)
if(NOT written STREQUAL expected)
  message(FATAL_ERROR "installed tintwise-lights wrote ${written}")
endif()

# The manual pages, gzipped, render without a warning.
find_program(GROFF groff)
foreach(page Tintwise tintwise-palette tintwise-lights tintwise-gamut)
  set(man ${prefix}/share/man/man1/${page}.1.gz)
  if(NOT EXISTS ${man})
    message(FATAL_ERROR "not installed: ${man}")
  endif()
  if(GROFF)
    execute_process(COMMAND gzip -dc ${man} COMMAND ${GROFF} -man -ww -Tutf8 -P-bcou
      RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
    if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "" OR NOT text MATCHES "EXIT STATUS")
      message(FATAL_ERROR "${page}.1.gz does not render (${rc}):\n${warnings}")
    endif()
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
file(GLOB consumer ${WORK_DIR}/build/consumer ${WORK_DIR}/build/consumer.exe)
run(${consumer})
if(NOT last_output STREQUAL "7 70 255 gimp\n1\n")
  message(FATAL_ERROR "consumer printed: ${last_output}")
endif()
