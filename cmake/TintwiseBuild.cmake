# One place for the flags every target of ours is built with.
#
# The answer is fixed to the last bit, so the floating-point environment is
# part of the build:
#  - no contraction of a*b+c into a fused multiply-add (GCC contracts by default
#    in GNU mode, always on aarch64 and on x86 with FMA; Clang contracts within
#    an expression by default): the model rounds the product and the sum apart;
#  - no extended precision: 32-bit x86 must do its double math in SSE2, not in
#    the x87 unit (the model header refuses to compile otherwise);
#  - never -ffast-math or anything that implies it.
# WebAssembly (Emscripten) has IEEE 754 single and double arithmetic and never
# fuses; it needs none of the x86 flags.

set(TINTWISE_X86_32 OFF)
if(NOT EMSCRIPTEN AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86|X86|AMD64|x86_64)$")
  set(TINTWISE_X86_32 ON)
endif()

# Link-time optimisation, in optimised GCC builds: it inlines the model into
# the search across files, which halves a search (median 5.5 us to 3.0 us,
# slowest 44 us to 34 us over every 61st input). The rounding barrier of
# to_single() keeps it exact, and the suite checks the LTO build like any
# other (scripts/check-targets also checks a build without it). Objects stay
# fat (-ffat-lto-objects), so the installed static library links into
# projects built without LTO, or with another compiler, as ordinary code.
option(TINTWISE_LTO "Link-time optimisation of optimised GCC builds" ON)
set(TINTWISE_LTO_ACTIVE OFF)
if(TINTWISE_LTO AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT TINTWISE_SANITIZE AND NOT TINTWISE_FUZZ)
  include(CheckIPOSupported)
  check_ipo_supported(RESULT TINTWISE_IPO_SUPPORTED LANGUAGES CXX)
  if(TINTWISE_IPO_SUPPORTED)
    set(TINTWISE_LTO_ACTIVE ON)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELWITHDEBINFO ON)
  endif()
endif()

# WebAssembly (the web page): link-time optimisation too, for the same
# inlining across files, and SIMD, whose float and double lanes are IEEE 754
# and never fused (Clang vectorizes only where every rounding stays as
# written). In Node, a colour's search took 9.2 us without either and with a
# volatile rounding barrier, 7.1 us with link-time optimisation and the plain
# cast that to_single() uses there (see single.h), 6.2 us with SIMD as well.
# The page needs a browser with WebAssembly SIMD, and says so where there is none.
set(TINTWISE_WASM_FLAGS "")
if(EMSCRIPTEN)
  set(TINTWISE_WASM_FLAGS -flto -msimd128)
endif()

function(tintwise_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_17)
  if(TINTWISE_LTO_ACTIVE)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-ffat-lto-objects>)
  endif()
  if(TINTWISE_WASM_FLAGS)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:${TINTWISE_WASM_FLAGS}>)
    target_link_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:${TINTWISE_WASM_FLAGS}>)
  endif()
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wconversion -Wshadow
      -ffp-contract=off)
    if(TINTWISE_X86_32)
      target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
    endif()
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4 /fp:precise /fp:contract-)
  endif()
endfunction()

# Start-up is most of a run: loading and relocating the C++ runtime alone
# takes longer than the search, so the executable is linked statically where
# the toolchain can (see app/).
option(TINTWISE_STATIC "Link the Tintwise executable statically" ON)

# Checking builds: AddressSanitizer and UndefinedBehaviorSanitizer on every
# target, and the libFuzzer target (Clang only). Sanitizers need the dynamic
# runtime, so these builds link dynamically.
option(TINTWISE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TINTWISE_FUZZ "Build the libFuzzer target (Clang; implies TINTWISE_SANITIZE)" OFF)
if(TINTWISE_SANITIZE OR TINTWISE_FUZZ)
  set(TINTWISE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${TINTWISE_SANITIZER_FLAGS})
  add_link_options(${TINTWISE_SANITIZER_FLAGS})
  set(TINTWISE_STATIC OFF CACHE BOOL "Link the Tintwise executable statically" FORCE)
endif()
if(TINTWISE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TINTWISE_FUZZ needs Clang (libFuzzer): configure with CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Installs a static library as distributions ship one: ordinary code only, so
# the LTO sections (the objects are fat, see above), debugging sections and
# compiler notes are stripped from the installed copy, as Debian's own tools
# do, and the archive is deterministic.
function(tintwise_install_library target)
  install(TARGETS ${target} EXPORT TintwiseTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT development)
  get_target_property(type ${target} TYPE)
  if(CMAKE_STRIP AND NOT WIN32 AND type STREQUAL "STATIC_LIBRARY")
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment
        --remove-section=.note --remove-section=.gnu.lto_* --remove-section=.gnu.debuglto_*
        --enable-deterministic-archives
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${target}>\"
        COMMAND_ERROR_IS_FATAL ANY)" COMPONENT development)
  endif()
endfunction()
