# The XDG autostart entry and the input access help page, each against temporary folders.
add_executable(tavrin_autostart_tests
    ${CMAKE_CURRENT_LIST_DIR}/AutostartEntryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/InputAccessHelpTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtTestMain.cpp
)
target_link_libraries(tavrin_autostart_tests PRIVATE tavrin_desktop GTest::gtest)
gtest_discover_tests(tavrin_autostart_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
