# The portal window and its browser host: a library that corvale and the window tests share.
add_library(portal_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/form1.h ${CMAKE_CURRENT_LIST_DIR}/form1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/form1_search.cpp ${CMAKE_CURRENT_LIST_DIR}/resultlist.h
  ${CMAKE_CURRENT_LIST_DIR}/browserhost.h ${CMAKE_CURRENT_LIST_DIR}/browserhost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resources/portal.qrc
)
target_include_directories(portal_window PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(portal_window
  PUBLIC portal_core webkit browser app Qt6::Widgets Qt6::WebEngineWidgets Qt6::WebChannel
  PRIVATE vendor)

# The window as a module beside the program, loaded only when the window opens. It shows only
# its entry: the static libraries inside it keep their names to themselves.
add_library(corvale_window MODULE ${CMAKE_CURRENT_LIST_DIR}/windowentry.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/windowmodule.h)
target_link_libraries(corvale_window PRIVATE portal_window app)
target_link_options(corvale_window PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
set_target_properties(corvale_window PROPERTIES
  PREFIX "" OUTPUT_NAME corvale-window
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/window)

# The program: the command line and the search without a window, linking none of the window's
# libraries (as-needed drops those the static libraries name but the program never calls).
add_executable(corvale ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${CMAKE_CURRENT_LIST_DIR}/windowmodule.h)
target_link_libraries(corvale PRIVATE portal_core app ${CMAKE_DL_LIBS})
target_link_options(corvale PRIVATE -Wl,--as-needed)
add_dependencies(corvale corvale_window)

# Redraws the window's bitmaps into portal/resources/ (run by hand: cmake --build B --target
# portal_bitmaps); the PNG files it writes are kept with the sources.
add_executable(drawbitmaps EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/resources/drawbitmaps.cpp)
target_link_libraries(drawbitmaps PRIVATE Qt6::Gui)
add_custom_target(portal_bitmaps
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:drawbitmaps> ${CMAKE_CURRENT_LIST_DIR}/resources
  DEPENDS drawbitmaps
  COMMENT "Drawing the portal's bitmaps"
  VERBATIM)
