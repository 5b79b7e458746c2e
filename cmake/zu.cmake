# Build helpers shared by every folder.
#
# zu_folder_library(NAME DEPS ...): one library per folder from every *.cpp / *.c in the folder
# that is not a test (*_test.cpp), a fuzz target (*_fuzz.cpp) or a program entry (*_main.cpp).
# Each *_test.cpp becomes its own GoogleTest executable, registered with CTest, linked against
# the folder library and TEST_DEPS. With ZU_FUZZ each *_fuzz.cpp becomes a libFuzzer program
# linked the same way. New files are picked up without editing any CMakeLists. A folder that
# sets ZU_TEST_ENVIRONMENT (one NAME=value) before the call runs its tests with it; the tests
# named in ZU_ONE_PROCESS_TESTS (file names without .cpp) run whole as one CTest test each.

set(ZU_WARNINGS -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
# GCC 12 at -O3 reports overlapping copies inside std::string's operator+ and assignments that
# cannot happen (a known false -Wrestrict); the release builds leave that one warning out.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  list(APPEND ZU_WARNINGS -Wno-restrict)
endif()
if(ZU_WERROR)
  list(APPEND ZU_WARNINGS -Werror)
endif()

function(zu_folder_library name)
  cmake_parse_arguments(ZU "" "" "DEPS;TEST_DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER srcs EXCLUDE REGEX "(_test|_fuzz|_main)\\.cpp$")
  foreach(ex ${ZU_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${ZU_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ZU_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ZU_DEPS} Threads::Threads)
  endif()
  zu_folder_tests(${name} ${ZU_TEST_DEPS})
  if(ZU_FUZZ)
    zu_folder_fuzzers(${name} ${ZU_TEST_DEPS})
  endif()
endfunction()

# zu_folder_tests(LIB extra-deps...): one test executable per *_test.cpp of the current folder.
function(zu_folder_tests lib)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(t ${tests})
    get_filename_component(base ${t} NAME_WE)
    set(exe ${folder}_${base})
    add_executable(${exe} ${t})
    target_compile_options(${exe} PRIVATE ${ZU_WARNINGS})
    target_link_libraries(${exe} PRIVATE ${lib} ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${exe} PRIVATE
      ZU_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZU_BINARY_DIR="${PROJECT_BINARY_DIR}"
      ZU_TESTDATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/testdata")
    if(base IN_LIST ZU_ONE_PROCESS_TESTS)
      # Runs whole, as one CTest test: its cases share one process and its log lists them all.
      add_test(NAME ${exe} COMMAND ${exe} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
      set_tests_properties(${exe} PROPERTIES LABELS ${folder} TIMEOUT 600
        ENVIRONMENT "${ZU_TEST_ENVIRONMENT}")
    else()
      gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES LABELS ${folder} TIMEOUT 600 ENVIRONMENT "${ZU_TEST_ENVIRONMENT}")
    endif()
  endforeach()
endfunction()

# zu_folder_fuzzers(LIB extra-deps...): one libFuzzer program per *_fuzz.cpp of the current
# folder, put into the build's fuzz/ folder and added to the zu_fuzzers target. Its seed corpus
# is fuzz/NAME/ beside the source and its dictionary fuzz/NAME.dict. CTest runs each for
# ZU_FUZZ_SECONDS on a copy of its corpus under the label "fuzz".
function(zu_folder_fuzzers lib)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(f ${fuzzers})
    get_filename_component(base ${f} NAME_WE)
    set(exe ${folder}_${base})
    add_executable(${exe} ${f})
    target_compile_options(${exe} PRIVATE ${ZU_WARNINGS})
    target_link_options(${exe} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${exe} PRIVATE ${lib} ${ARGN})
    set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
    add_dependencies(zu_fuzzers ${exe})
    set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${base})
    set(dict ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${base}.dict)
    add_test(NAME fuzz_${exe}
      COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/fuzz_one.sh $<TARGET_FILE:${exe}> ${seeds} ${dict}
              ${ZU_FUZZ_SECONDS} ${CMAKE_CURRENT_BINARY_DIR}/${base}-corpus)
    set_tests_properties(fuzz_${exe} PROPERTIES LABELS fuzz TIMEOUT 300)
  endforeach()
endfunction()
