# The Python module's tests: unittest against the built module, the CLI and the example.
# Three shards run side by side: the suite mostly waits on captures.
if(TARGET sensorbench_python AND TARGET sensorbench-cli)
  foreach(shard 0 1 2)
    add_test(NAME python_sensorbench_${shard}
             COMMAND ${SB_PYTHON_EXECUTABLE} -m unittest discover -s ${CMAKE_CURRENT_LIST_DIR} -p "test_*.py" -v)
    set_tests_properties(python_sensorbench_${shard} PROPERTIES
      ENVIRONMENT "PYTHONPATH=$<TARGET_FILE_DIR:sensorbench_python>;SB_CLI=$<TARGET_FILE:sensorbench-cli>;SB_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1;SB_TEST_SHARD=${shard}/3"
      TIMEOUT 600)
  endforeach()
endif()
