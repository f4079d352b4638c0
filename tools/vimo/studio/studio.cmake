# vimo studio, the browser editor served by the tool: built into the tool when cpp-httplib is
# found (its pkg-config flags select the library's build options, which the header must see).
# Debian's cpp-httplib is a library for this machine only: a cross build goes without.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND AND NOT CMAKE_CROSSCOMPILING)
  pkg_check_modules(CPP_HTTPLIB IMPORTED_TARGET cpp-httplib)
endif()
if(NOT CPP_HTTPLIB_FOUND)
  message(STATUS "cpp-httplib not found: vimo is built without the studio")
  return()
endif()
set(VIMO_STUDIO_SOURCES ${CMAKE_CURRENT_LIST_DIR}/studio_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/studio_server.cpp ${CMAKE_CURRENT_LIST_DIR}/studio_page.cpp)
target_sources(vimo_tool PRIVATE ${VIMO_STUDIO_SOURCES})
target_compile_definitions(vimo_tool PRIVATE VIMO_HAVE_STUDIO=1)
target_include_directories(vimo_tool PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vimo_tool PRIVATE PkgConfig::CPP_HTTPLIB)

if(VIMO_BUILD_TESTS)
  find_package(GTest QUIET)
endif()
if(VIMO_BUILD_TESTS AND GTest_FOUND)
  include(GoogleTest)
  set(studio_tests ${PROJECT_SOURCE_DIR}/tests/tools/studio)
  # The server tests run the session and server in the test process; they compile the sources
  # the tool's results table shares.
  add_executable(vimo_tests_studio ${studio_tests}/studio_server_test.cpp ${VIMO_STUDIO_SOURCES}
                 ${CMAKE_CURRENT_SOURCE_DIR}/results.cpp)
  target_include_directories(vimo_tests_studio PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                             ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(vimo_tests_studio PRIVATE vimo::vimo PkgConfig::CPP_HTTPLIB
                        nlohmann_json::nlohmann_json GTest::gtest GTest::gtest_main)
  target_compile_options(vimo_tests_studio PRIVATE ${VIMO_WARNING_FLAGS})
  gtest_discover_tests(vimo_tests_studio DISCOVERY_TIMEOUT 60 PROPERTIES
                       ENVIRONMENT "VIMO_TEST_SCRATCH=${CMAKE_CURRENT_BINARY_DIR}/scratch")
  # The browser test: headless Chromium through Selenium (Debian's python3, which has it);
  # exit code 77 marks it skipped where the browser or its driver is missing.
  find_program(VIMO_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
  if(VIMO_SYSTEM_PYTHON)
    add_test(NAME vimo_studio_browser
             COMMAND ${VIMO_SYSTEM_PYTHON} ${PROJECT_SOURCE_DIR}/tests/tools/studio/studio_browser.py
                     $<TARGET_FILE:vimo_tool> ${CMAKE_CURRENT_BINARY_DIR}/studio-artefacts)
    set_tests_properties(vimo_studio_browser PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  endif()
endif()

# The cost of one pointer event in the session, with Google Benchmark.
if(TARGET benchmark::benchmark_main)
  add_executable(studio_bench ${PROJECT_SOURCE_DIR}/bench/studio/studio_bench.cpp
                 ${VIMO_STUDIO_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/results.cpp)
  target_include_directories(studio_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(studio_bench PRIVATE vimo::vimo PkgConfig::CPP_HTTPLIB
                        nlohmann_json::nlohmann_json benchmark::benchmark_main)
  target_compile_options(studio_bench PRIVATE ${VIMO_WARNING_FLAGS})
endif()
