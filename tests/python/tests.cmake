# The Python module's tests: unittest against the built module, the CLI and the example.
if(TARGET sensorbench_python AND TARGET sensorbench-cli)
  add_test(NAME python_sensorbench
           COMMAND ${SB_PYTHON_EXECUTABLE} -m unittest discover -s ${CMAKE_CURRENT_LIST_DIR} -p "test_*.py" -v)
  set_tests_properties(python_sensorbench PROPERTIES
    ENVIRONMENT "PYTHONPATH=$<TARGET_FILE_DIR:sensorbench_python>;SB_CLI=$<TARGET_FILE:sensorbench-cli>;SB_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1"
    TIMEOUT 600)
endif()
