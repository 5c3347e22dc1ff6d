# The status-grid test also runs the CLI against the virtual sensor's faults.
if(TARGET sensorbench-cli AND TARGET tst_statusgrid)
  add_dependencies(tst_statusgrid sensorbench-cli)
  set_property(TEST tst_statusgrid APPEND PROPERTY ENVIRONMENT "SB_CLI=$<TARGET_FILE:sensorbench-cli>")
endif()
