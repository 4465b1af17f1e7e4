# The portal's link search and result rows, without a window.
if(TARGET portal_core)
  unit_test(test_results portal_core)
  unit_test(test_search portal_core)
  unit_test(test_startlimit portal_core)
  if(TARGET localweb)
    add_dependencies(test_search localweb)
  endif()
endif()

# The rows and command line of corvale --search, without a network.
if(TARGET portal_core)
  unit_test(test_search_rows portal_core)
endif()
