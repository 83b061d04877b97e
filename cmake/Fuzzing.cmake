# The fuzzing build: every library of the tree is built with clang's coverage instrumentation
# for libFuzzer and with AddressSanitizer and UndefinedBehaviorSanitizer (its bounds checks
# included), and fuzz/ adds one libFuzzer program per parser of outside input. Configure it
# in a build directory of its own with CC=clang CXX=clang++ (scripts/fuzz.sh does); the
# normal build stays as it is.
option(TARNWICK_FUZZ "Build the libFuzzer targets of fuzz/ with clang, ASan and UBSan" OFF)

if(TARNWICK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TARNWICK_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  # undefined holds the array bounds checks; bounds adds those of local arrays.
  set(TARNWICK_SANITIZERS "address,undefined,bounds")
  # Every undefined behaviour stops the run, so the fuzzer reports it as a finding.
  string(APPEND CMAKE_CXX_FLAGS " -fsanitize=fuzzer-no-link,${TARNWICK_SANITIZERS}"
         " -fno-sanitize-recover=all -fno-omit-frame-pointer")
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=${TARNWICK_SANITIZERS}")
  # Optimised, with debug information and with the assertions left in.
  set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g")
endif()
