# The end-to-end tests of a Windows build (made with cmake/mingw-w64.cmake).
#
# The end-to-end runner is a Linux program (tests/e2e), so a native build
# makes it; this build makes keyseq.exe and launch.exe (the Windows-side
# helper of the Windows-only cases) and registers the native runner with
# ctest, pointed at keyseq.exe under tools/wine-run. The runner's tests are
# split into shards that ctest runs side by side.
#
#   KEYSEQ_E2E_RUNNER  the native runner (default: the one of the "default"
#                      preset's build, build/default/tests/e2e)
#   KEYSEQ_E2E_SHARDS  how many ctest entries share its tests (default 4)
include_guard(GLOBAL)

add_executable(launch ${PROJECT_SOURCE_DIR}/tests/e2e/launch_win32.cc)
# Beside keyseq.exe, where the Windows-only cases look for it.
set_target_properties(launch PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "$<TARGET_FILE_DIR:keyseq>")

set(KEYSEQ_E2E_RUNNER
    "${PROJECT_SOURCE_DIR}/build/default/tests/e2e/keyseq_e2e_tests"
    CACHE FILEPATH "The native end-to-end runner that tests keyseq.exe")
set(KEYSEQ_E2E_SHARDS 4 CACHE STRING
    "How many ctest entries run the end-to-end tests of keyseq.exe")

math(EXPR _last "${KEYSEQ_E2E_SHARDS} - 1")
foreach(_shard RANGE ${_last})
  set(_name "e2e.windows.${_shard}")
  # A plain path, not a target: ctest runs it natively, not under Wine.
  add_test(NAME ${_name} COMMAND "${KEYSEQ_E2E_RUNNER}")
  set_tests_properties(${_name} PROPERTIES
    ENVIRONMENT
      "KEYSEQ_PROGRAM=$<TARGET_FILE:keyseq>;KEYSEQ_LAUNCHER=${PROJECT_SOURCE_DIR}/tools/wine-run;KEYSEQ_TARGET=windows;GTEST_TOTAL_SHARDS=${KEYSEQ_E2E_SHARDS};GTEST_SHARD_INDEX=${_shard}"
    TIMEOUT 600
    LABELS e2e)
endforeach()
