# Shared build helpers: dependencies, IDL, test programs and the Wine prefix.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DIALIX_ARCH x64)
else()
  set(DIALIX_ARCH x86)
endif()
set(DIALIX_DEPS ${CMAKE_SOURCE_DIR}/build/deps)

# --- SQLite: sqlite3.dll built from Debian's source, cached under build/deps.
# The script is quick when its cached DLL was built as it builds one now; a
# change to the script configures again, so that a tree picks up new flags.
set(DIALIX_SQLITE_DIR ${DIALIX_DEPS}/sqlite-${DIALIX_TRIPLE})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/build-sqlite)
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/build-sqlite ${DIALIX_TRIPLE}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "sqlite3.dll could not be built (run tools/setup)")
endif()
add_library(SQLite::SQLite SHARED IMPORTED GLOBAL)
set_target_properties(SQLite::SQLite PROPERTIES
  IMPORTED_LOCATION ${DIALIX_SQLITE_DIR}/sqlite3.dll
  IMPORTED_IMPLIB ${DIALIX_SQLITE_DIR}/libsqlite3.dll.a
  INTERFACE_INCLUDE_DIRECTORIES ${DIALIX_SQLITE_DIR})
file(COPY ${DIALIX_SQLITE_DIR}/sqlite3.dll DESTINATION ${CMAKE_BINARY_DIR}/bin)

# --- Boost, header-only: a folder that exposes boost/ and nothing else.
set(DIALIX_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
if(NOT EXISTS ${DIALIX_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${DIALIX_BOOST_INCLUDE})
  file(CREATE_LINK /usr/include/boost ${DIALIX_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
add_library(Dialix::Boost INTERFACE IMPORTED GLOBAL)
set_target_properties(Dialix::Boost PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${DIALIX_BOOST_INCLUDE})

# --- IDL through widl: header, ids, type library and proxy/stub sources.
execute_process(COMMAND sh -c "dpkg -L libwine-dev | grep '/windows/unknwn.idl$' | head -n 1"
                OUTPUT_VARIABLE _unknwn OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(DIALIX_WINE_IDL_DIR "${_unknwn}" DIRECTORY)
if(NOT DIALIX_WINE_IDL_DIR)
  message(FATAL_ERROR "Wine's IDL files are missing (run tools/setup)")
endif()
set(DIALIX_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)

# dialix_idl(<prefix> <file.idl> [IMPORTS <idl-dir> <tlb-dir> <tlb>]) defines
# <prefix>_IDL_HEADER, <prefix>_IDL_IID, <prefix>_IDL_PROXY, <prefix>_IDL_DLLDATA
# and <prefix>_IDL_TLB in the caller. IMPORTS names another library's IDL
# folder and type library, for an IDL that imports and importlibs it.
function(dialix_idl prefix idl)
  cmake_parse_arguments(I "" "" "IMPORTS" ${ARGN})
  set(extra)
  set(extra_deps)
  if(I_IMPORTS)
    list(GET I_IMPORTS 0 import_idl_dir)
    list(GET I_IMPORTS 1 import_tlb_dir)
    list(GET I_IMPORTS 2 import_tlb)
    set(extra -I${import_idl_dir} -L${import_tlb_dir})
    set(extra_deps ${import_tlb})
  endif()
  get_filename_component(name ${idl} NAME_WE)
  get_filename_component(src ${idl} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  file(MAKE_DIRECTORY ${out})
  if(DIALIX_ARCH STREQUAL x64)
    set(target_opt -m64)
  else()
    set(target_opt -m32)
  endif()
  # widl refuses -I as its first option.
  set(common ${target_opt} -I${DIALIX_WINE_IDL_DIR} -I${CMAKE_CURRENT_SOURCE_DIR}
             -L${DIALIX_STDOLE_DIR} ${extra})
  add_custom_command(
    OUTPUT ${out}/${name}.h ${out}/${name}_i.c ${out}/${name}_p.c ${out}/${name}_dlldata.c ${out}/${name}.tlb
    COMMAND ${DIALIX_WIDL} ${common} -h -H ${out}/${name}.h ${src}
    COMMAND ${DIALIX_WIDL} ${common} -u -U ${out}/${name}_i.c ${src}
    COMMAND ${DIALIX_WIDL} ${common} -t -T ${out}/${name}.tlb ${src}
    COMMAND ${DIALIX_WIDL} ${common} -Oif -p -P ${out}/${name}_p.c ${src}
    # widl writes the proxy list only in its dlldata-only mode; one list per IDL
    # file, as a folder may hold several.
    COMMAND ${DIALIX_WIDL} --dlldata-only --dlldata=${out}/${name}_dlldata.c ${name}
    DEPENDS ${src} ${extra_deps}
    COMMENT "widl ${name}.idl")
  set(${prefix}_IDL_DIR ${out} PARENT_SCOPE)
  set(${prefix}_IDL_HEADER ${out}/${name}.h PARENT_SCOPE)
  set(${prefix}_IDL_IID ${out}/${name}_i.c PARENT_SCOPE)
  set(${prefix}_IDL_PROXY ${out}/${name}_p.c PARENT_SCOPE)
  set(${prefix}_IDL_DLLDATA ${out}/${name}_dlldata.c PARENT_SCOPE)
  set(${prefix}_IDL_TLB ${out}/${name}.tlb PARENT_SCOPE)
endfunction()

# --- Tests: GoogleTest from Debian's sources, built with the cross toolchain.
if(DIALIX_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  enable_testing()

  # Every test run uses a private prefix of this build tree, never ~/.wine.
  set(DIALIX_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
  set(DIALIX_TEST_ENV WINEPREFIX=${DIALIX_WINEPREFIX} WINEDEBUG=-all
                      WINEDLLOVERRIDES=mscoree,mshtml=
                      DIALIX_BIN=${CMAKE_BINARY_DIR}/bin
                      DIALIX_SOURCE=${CMAKE_SOURCE_DIR})
  add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix ${DIALIX_WINEPREFIX})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine
                       ENVIRONMENT "${DIALIX_TEST_ENV}")
  add_test(NAME wine_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-stop)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "${DIALIX_TEST_ENV}")
endif()

# dialix_add_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s])
# One GoogleTest program per module, run under Wine in the build tree's prefix.
function(dialix_add_test name)
  if(NOT DIALIX_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "${DIALIX_TEST_ENV}")
endfunction()

# dialix_add_script_test(<name> <script> [TIMEOUT s] args...): a shell test
# across processes. The script runs under a bound of its own, 30 s inside
# ctest's: at that bound its whole process group is signalled, so its exit
# clean-up runs and nothing it started is left holding ctest's output open.
function(dialix_add_script_test name script)
  if(NOT DIALIX_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  math(EXPR bound "${T_TIMEOUT} - 30")
  add_test(NAME ${name} COMMAND timeout -k 15 ${bound} bash ${script} ${T_UNPARSED_ARGUMENTS})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "${DIALIX_TEST_ENV}")
endfunction()
