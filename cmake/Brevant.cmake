# Helpers that turn a folder of sources into a library, a test binary or a set of tools.

# brevant_module(NAME DEPS lib...): every .cpp of the current folder (but main.cpp) becomes
# the static library brevant_NAME; a folder without sources yet becomes an interface library.
function(brevant_module name)
  cmake_parse_arguments(M "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX ".*/main\\.cpp$")
  if(srcs)
    add_library(brevant_${name} STATIC ${srcs})
    target_include_directories(brevant_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(brevant_${name} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
  else()
    add_library(brevant_${name} INTERFACE)
    target_include_directories(brevant_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(brevant_${name} INTERFACE ${M_DEPS})
  endif()
endfunction()

# brevant_tests(NAME [lib...]): every .cpp of the current folder becomes the test binary
# test_NAME, linked with brevant_NAME and the given libraries; each test case is its own
# CTest test. Tests run headless: SDL's dummy video and audio drivers unless a test says
# otherwise, and windows at their designed size whatever scale the desktop asks for.
function(brevant_tests name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE brevant_${name} ${ARGN} GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE
    BREVANT_SOURCE_DIR="${PROJECT_SOURCE_DIR}" BREVANT_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(test_${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;BREVANT_SCALE=1;BREVANT_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# brevant_programs(DEPS lib...): every .cpp of the current folder becomes a program of its
# own name (tools/wavgen.cpp -> wavgen).
function(brevant_programs)
  cmake_parse_arguments(P "" "PREFIX" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(src ${srcs})
    get_filename_component(stem ${src} NAME_WE)
    add_executable(${P_PREFIX}${stem} ${src})
    target_link_libraries(${P_PREFIX}${stem} PRIVATE ${P_DEPS})
  endforeach()
endfunction()
