# The web page as one file, built whenever Emscripten is installed, so that
# every release package can carry it: a WebAssembly build of this same source
# tree (web/) in <build>/web-page, whose web/tintwise.html is installed with
# the tool. TINTWISE_WEB_PAGE: AUTO (where Emscripten is found), ON (fail
# without it) or OFF.
set(TINTWISE_WEB_PAGE AUTO CACHE STRING "Build the one-file web page with Emscripten: AUTO, ON or OFF")
set(TINTWISE_EMSCRIPTEN_TOOLCHAIN /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake
    CACHE FILEPATH "Emscripten's CMake toolchain file")
find_program(TINTWISE_EMCC emcc)

set(TINTWISE_PAGE_FILE "")
if(TINTWISE_WEB_PAGE AND (TINTWISE_EMCC AND EXISTS ${TINTWISE_EMSCRIPTEN_TOOLCHAIN}))
  include(ExternalProject)
  # Debian's Emscripten finds its Node.js modules through NODE_PATH.
  set(env ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS NODE_PATH=/usr/share/nodejs)
  ExternalProject_Add(tintwise_web_page
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${PROJECT_BINARY_DIR}/web-page
    CMAKE_COMMAND ${env} ${CMAKE_COMMAND}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${TINTWISE_EMSCRIPTEN_TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release -DTINTWISE_TESTS=OFF
    BUILD_COMMAND ${env} ${CMAKE_COMMAND} --build <BINARY_DIR> --target tintwise_page --parallel 2
    BUILD_ALWAYS ON # the page's sources are this tree's: let its own build decide what changed
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${PROJECT_BINARY_DIR}/web-page/web/tintwise.html)
  set(TINTWISE_PAGE_FILE ${PROJECT_BINARY_DIR}/web-page/web/tintwise.html)
elseif(TINTWISE_WEB_PAGE STREQUAL "ON")
  message(FATAL_ERROR "TINTWISE_WEB_PAGE is ON but Emscripten is not installed (scripts/install-deps web)")
elseif(TINTWISE_WEB_PAGE STREQUAL "AUTO")
  message(STATUS "Emscripten not found: the release carries no web page (scripts/install-deps web)")
endif()
