# Telescope: the goto-assist pointing-model fit (target: 40 rows at the
# default search grid in at most 2 s on one core).
noctra_add_bench(telescope_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/telescope_bench.cpp LIBS noctra_telescope)

# A noisy LX200 line polled for minutes against the test suite's fake mount
# (not a Google Benchmark program, and not run by the test suite).
if(TARGET noctra_test_support)
  add_executable(lx200_noise_soak ${CMAKE_CURRENT_SOURCE_DIR}/lx200_noise_soak.cpp)
  target_link_libraries(lx200_noise_soak PRIVATE noctra_platform noctra_test_support)
endif()
