# Compiler settings shared by every target of ours.
#
# Grades are single-precision floats that must come out bit-identical on every
# build: no contraction into fused multiply-add, and on 32-bit x86 SSE
# arithmetic instead of the x87 unit's excess precision.

set(TOKENWEAVE_WARNINGS)
set(TOKENWEAVE_FLOAT_FLAGS)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    set(TOKENWEAVE_WARNINGS -Wall -Wextra -Werror)
    list(APPEND TOKENWEAVE_FLOAT_FLAGS -ffp-contract=off -fno-fast-math)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "i.86|x86|X86|AMD64|amd64")
        list(APPEND TOKENWEAVE_FLOAT_FLAGS -msse2 -mfpmath=sse)
    endif()
elseif(MSVC)
    set(TOKENWEAVE_WARNINGS /W4 /WX)
    list(APPEND TOKENWEAVE_FLOAT_FLAGS /fp:precise)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        list(APPEND TOKENWEAVE_FLOAT_FLAGS /arch:SSE2)
    endif()
endif()

add_compile_options(${TOKENWEAVE_FLOAT_FLAGS})

if(TOKENWEAVE_SANITIZE)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        message(FATAL_ERROR "TOKENWEAVE_SANITIZE needs GCC or Clang")
    endif()
    set(TOKENWEAVE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_compile_options(${TOKENWEAVE_SANITIZER_FLAGS})
    add_link_options(${TOKENWEAVE_SANITIZER_FLAGS})
endif()

if(TOKENWEAVE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TOKENWEAVE_FUZZ needs Clang (libFuzzer)")
    endif()
    # Coverage feedback everywhere; only the harnesses link the fuzzer's main.
    set(TOKENWEAVE_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${TOKENWEAVE_FUZZ_FLAGS})
    add_link_options(-fsanitize=address,undefined)
endif()

if(TOKENWEAVE_TSAN)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        message(FATAL_ERROR "TOKENWEAVE_TSAN needs GCC or Clang")
    endif()
    if(TOKENWEAVE_SANITIZE OR TOKENWEAVE_FUZZ)
        message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer")
    endif()
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Our own code builds warning-free; generated code gets its warnings relaxed
# where it is compiled.
function(tokenweave_strict_warnings target)
    target_compile_options(${target} PRIVATE ${TOKENWEAVE_WARNINGS})
endfunction()
