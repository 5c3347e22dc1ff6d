# The data files written by the program load in Python's csv module.
find_program(SB_PYTHON3 python3)
if(SB_PYTHON3)
  set(_dl_dir ${CMAKE_CURRENT_BINARY_DIR}/datalog_csv)
  add_test(NAME datalog_csv_samples COMMAND tst_DataFile csvSample)
  set_tests_properties(datalog_csv_samples PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SB_SOURCE_DIR=${CMAKE_SOURCE_DIR};SB_CSV_SAMPLE_DIR=${_dl_dir}"
    FIXTURES_SETUP datalog_csv)
  add_test(NAME datalog_csv_check_comma
           COMMAND ${SB_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/csv_check.py ${_dl_dir}/Datalog_1.csv comma)
  add_test(NAME datalog_csv_check_tab
           COMMAND ${SB_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/csv_check.py ${_dl_dir}/Lauf_1.txt tab ,)
  set_tests_properties(datalog_csv_check_comma datalog_csv_check_tab PROPERTIES FIXTURES_REQUIRED datalog_csv)
endif()
