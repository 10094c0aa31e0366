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

set(TINTWISE_X86_32 OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86|X86|AMD64|x86_64)$")
  set(TINTWISE_X86_32 ON)
endif()

function(tintwise_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_17)
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
