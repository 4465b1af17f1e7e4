# The browsers' shared behaviour: the navigation keys without a window (under the offscreen
# platform, whose key bindings make Backspace a "back" key), then a browser in a window of the
# test's own against localweb.
unit_test(test_browser_keys browser)
set_tests_properties(test_browser_keys PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS unit)
window_test(test_browser browser)
