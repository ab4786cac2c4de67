# A subsystem library: widget-free, static, named corvane_<name>, built from
# the .cpp files of src/<name>. A subsystem's windows sit in src/<name>/windows
# and build into corvane_windows instead.
function(corvane_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(corvane_${name} STATIC ${sources})
  target_include_directories(corvane_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(corvane_${name} PUBLIC Qt6::Core ${ARG_LIBS})
endfunction()

# The tests of one subsystem: tests/<name>/*.cpp build into test_<name> (no
# display), tests/<name>/windows/*.cpp into test_<name>_windows (offscreen).
function(corvane_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS;WINDOW_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    corvane_test(test_${name} SOURCES ${sources} LIBS ${ARG_LIBS})
  endif()
  file(GLOB window_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.cpp)
  if(window_sources)
    corvane_test(test_${name}_windows GUI SOURCES ${window_sources} LIBS corvane_windows ${ARG_LIBS} ${ARG_WINDOW_LIBS})
  endif()
endfunction()

function(corvane_test name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE corvane_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE corvane_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE CORVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    CORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
