# The CLI tests run the real executable.
if(TARGET sensorbench-cli AND TARGET tst_cli)
  add_dependencies(tst_cli sensorbench-cli)
  set_property(TEST tst_cli_1 tst_cli_2 APPEND PROPERTY ENVIRONMENT "SB_CLI=$<TARGET_FILE:sensorbench-cli>")
endif()
