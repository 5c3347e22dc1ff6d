# The libusb card driver against scripted devices in a umockdev testbed (no root, no
# hardware). Built only where umockdev's development files are installed.
pkg_check_modules(UMOCKDEV IMPORTED_TARGET umockdev-1.0)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper)
if(UMOCKDEV_FOUND AND UMOCKDEV_WRAPPER)
  add_executable(tst_libusbcard ${CMAKE_CURRENT_LIST_DIR}/umockdev_libusbcard.cpp ${CMAKE_CURRENT_LIST_DIR}/UmockdevCard.h)
  target_link_libraries(tst_libusbcard PRIVATE sb_testsupport PkgConfig::UMOCKDEV)
  add_test(NAME tst_libusbcard COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:tst_libusbcard>)
  set_tests_properties(tst_libusbcard PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SB_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 600)
  if(SB_SANITIZE)
    # umockdev's preload library has to come before the ASan runtime.
    set_property(TEST tst_libusbcard APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0")
  endif()
  # The per-transfer cost of the libusb driver with and without its kept handles; it needs
  # the same testbed, so it is built here (run it under umockdev-wrapper).
  if(SB_BUILD_BENCH)
    add_executable(bench_libusbcard ${CMAKE_SOURCE_DIR}/bench/umockdev/bench_libusbcard.cpp)
    target_include_directories(bench_libusbcard PRIVATE ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(bench_libusbcard PRIVATE sensorbench_core PkgConfig::UMOCKDEV)
  endif()
else()
  message(STATUS "umockdev not found: the libusb card test is not built")
endif()
