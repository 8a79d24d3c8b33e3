# A module is a folder of sources that becomes a library of the same name.
# Sources are found by glob so that a new file needs no edit here.
function(folmira_module name)
  cmake_parse_arguments(M "" "" "PUBLIC_LIBS;PRIVATE_LIBS;DEFINES" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${name}/*.cpp")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${M_PUBLIC_LIBS} PRIVATE ${M_PRIVATE_LIBS})
    target_compile_definitions(${name} PRIVATE ${M_DEFINES})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} INTERFACE ${M_PUBLIC_LIBS})
  endif()
endfunction()

# One GoogleTest program per module, from every source under tests/<module>.
# TIMED is a GoogleTest filter of its heaviest timed tests: they share one
# ctest resource lock, so that however many tests run at once, no two of them
# share the cores. WORKERS is a filter of the tests that wait on PDF worker
# processes: they get a ctest timeout of their own, so that a worker that
# hangs fails its test in a couple of minutes, not at ctest's default.
function(folmira_tests name)
  cmake_parse_arguments(T "" "TIMED;WORKERS" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/${name}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name}Tests ${sources})
  target_include_directories(${name}Tests PRIVATE "${CMAKE_SOURCE_DIR}")
  target_link_libraries(${name}Tests PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # The tests' own code is GoogleTest's macros and little else: unoptimised,
  # with line tables only, it compiles in half the time, while the code under
  # test keeps the build's optimisation.
  target_compile_options(${name}Tests PRIVATE -O0 -g1)
  target_compile_definitions(${name}Tests PRIVATE
    FOLMIRA_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    POINTERHOLDER_TRANSITION=4)
  # One value a property: the discovered tests' properties are written out as
  # a flat list, where a list value would be split into names and values.
  set(environment ENVIRONMENT "FOLMIRA_RESOURCES=${FOLMIRA_BUILD_RESOURCES}"
    ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:offscreen")
  set(others "")
  foreach(filter IN ITEMS "${T_TIMED}" "${T_WORKERS}")
    if(filter)
      string(APPEND others ":${filter}")
    endif()
  endforeach()
  if(others)
    string(SUBSTRING "${others}" 1 -1 others)
    gtest_discover_tests(${name}Tests DISCOVERY_MODE PRE_TEST TEST_FILTER "-${others}" PROPERTIES ${environment})
  else()
    gtest_discover_tests(${name}Tests DISCOVERY_MODE PRE_TEST PROPERTIES ${environment})
  endif()
  if(T_TIMED)
    gtest_discover_tests(${name}Tests DISCOVERY_MODE PRE_TEST TEST_FILTER "${T_TIMED}"
      PROPERTIES ${environment} RESOURCE_LOCK folmira-timed)
  endif()
  if(T_WORKERS)
    gtest_discover_tests(${name}Tests DISCOVERY_MODE PRE_TEST TEST_FILTER "${T_WORKERS}"
      PROPERTIES ${environment} TIMEOUT 120)
  endif()
endfunction()
