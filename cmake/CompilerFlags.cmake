# Warnings and floating-point settings shared by every target.
# Results must be bit-identical on every target and optimisation level, so no
# fast-math and no contraction of multiply-add pairs into fused instructions.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wshadow -ffp-contract=off -fno-fast-math)
elseif(MSVC)
  add_compile_options(/W4 /fp:precise /fp:contract- /utf-8)
  add_compile_definitions(_CRT_SECURE_NO_WARNINGS)
endif()

# Modules that must stay warning-free call this on their targets.
function(temposcout_strict target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Werror)
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /WX)
  endif()
endfunction()

if(TEMPOSCOUT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TEMPOSCOUT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The fuzz target needs clang (use the fuzz preset).")
  endif()
  # Coverage for libFuzzer in every target; only the fuzzer itself links libFuzzer's main.
  add_compile_options(-O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MINGW)
  # One self-contained executable: no libstdc++/libgcc/winpthread DLLs to ship.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
