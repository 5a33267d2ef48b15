# Fails when a test puts a QSignalSpy on a signal that the decoder service emits from its own thread.
# Such a spy is written by the service thread while the test reads and destroys it: ServiceSpy is
# the spy for those. The signals the service emits on the GUI thread may keep a QSignalSpy.
#
#   cmake -DTEST_DIR=<tests folder> -P check_service_spies.cmake
set(gui_thread_signals signalStoreProblem signalStoreKeyProblem signalScreenMapping)
file(GLOB_RECURSE sources "${TEST_DIR}/*.cpp" "${TEST_DIR}/*.h")
set(found "")
foreach(source ${sources})
  file(READ "${source}" text)
  # A QSignalSpy made on the service (its first argument worker(), FleetProbe::worker(), service() or
  # the singleton itself), up to the end of the statement.
  string(REGEX MATCHALL
         "QSignalSpy(>|[ \t]+[A-Za-z_][A-Za-z0-9_]*)?[ \t\n]*\\([ \t\n]*&[^,;]*(worker\\(\\)|service\\(\\)|MatrixSdkWorker>::_instance\\(\\))[ \t\n]*,[^;]*"
         spies "${text}")
  foreach(spy ${spies})
    set(allowed FALSE)
    foreach(signal ${gui_thread_signals})
      if(spy MATCHES "${signal}")
        set(allowed TRUE)
      endif()
    endforeach()
    if(NOT allowed)
      string(REGEX REPLACE "[ \n]+" " " spy "${spy}")
      file(RELATIVE_PATH name "${TEST_DIR}" "${source}")
      string(APPEND found "  ${name}: ${spy}\n")
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "QSignalSpy on a signal of the service thread (use ServiceSpy):\n${found}")
endif()
