# krx_folder_library(NAME DIR DEPS...): a static library of every .cpp in DIR (not below
# it); an interface library while the folder has no sources yet.
function(krx_folder_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()

function(krx_link_if_real a b)
  get_target_property(ta ${a} TYPE)
  get_target_property(tb ${b} TYPE)
  if(ta STREQUAL "STATIC_LIBRARY" AND tb STREQUAL "STATIC_LIBRARY")
    target_link_libraries(${a} PUBLIC ${b})
  endif()
endfunction()

# krx_test_folder(DIR): one GoogleTest executable of every .cpp in DIR.
function(krx_test_folder dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${dir})
  string(REPLACE "/" "_" name "${rel}")
  string(TOLOWER "test_${name}" exe)
  add_executable(${exe} ${sources})
  target_link_libraries(${exe} PRIVATE krx_testsupport ${KRX_ALL_LIBS} GTest::gtest GTest::gmock
                                       Threads::Threads)
  target_compile_definitions(${exe} PRIVATE KRX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                            KRX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "KRX_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
