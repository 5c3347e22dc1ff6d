# The README's pictures: an ordinary program, not a test (scripts/screenshots.sh runs it).
add_executable(screenshots ${CMAKE_CURRENT_LIST_DIR}/screenshots.cpp)
target_link_libraries(screenshots PRIVATE sb_testsupport)
