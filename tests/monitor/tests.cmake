# The monitor tests run the real command-line tool.
if(TARGET sensorbench-cli AND TARGET tst_monitor)
  add_dependencies(tst_monitor sensorbench-cli)
  set_property(TEST tst_monitor APPEND PROPERTY ENVIRONMENT "SB_CLI=$<TARGET_FILE:sensorbench-cli>")
endif()
if(TARGET sensorbench-cli AND TARGET tst_mqtt)
  add_dependencies(tst_mqtt sensorbench-cli)
  set_property(TEST tst_mqtt APPEND PROPERTY ENVIRONMENT "SB_CLI=$<TARGET_FILE:sensorbench-cli>")
endif()
