# ZOLK_SANITIZE: the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer
# (scripts/sanitize.sh builds build-asan/ so). ZOLK_FUZZ: the same, plus coverage for libFuzzer,
# with clang (scripts/fuzz.sh builds build-fuzz/ so); the fuzz targets then become fuzzers.
option(ZOLK_SANITIZE "build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZOLK_FUZZ "build the fuzz targets as libFuzzer programs (clang), instrumented and sanitized" OFF)
if(ZOLK_SANITIZE OR ZOLK_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
  # GCC's flow analysis gives false "may be used uninitialized" warnings inside libstdc++ (std::regex,
  # std::function) once the sanitizers instrument the code; the ordinary build keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()
if(ZOLK_SANITIZE)
  add_library(zolk_keep_modules_loaded OBJECT ${CMAKE_CURRENT_LIST_DIR}/keep_modules_loaded.cpp)
  link_libraries(zolk_keep_modules_loaded)
  add_link_options(LINKER:--export-dynamic-symbol=dlclose)
endif()
if(ZOLK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZOLK_FUZZ needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
