# The portal's link search and result rows, without a window.
unit_test(test_results portal_core)
unit_test(test_search portal_core)
unit_test(test_startlimit portal_core)
add_dependencies(test_search localweb)

# The rows and command line of corvale --search, without a network.
unit_test(test_search_rows portal_core)
