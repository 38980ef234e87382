# The connectivity library's entries that callers reach by ordinal: ordinal,
# argument bytes on 32-bit, the simulated library's entry, and the name the
# support-setup library's import library gives it. Entries 10 to 12 have no
# name in the library.
set(LANYX_ORDINALS
  "12 8 LanyxSuiteApiVersion SutrelLnyxSuiteVersion"
  "10 4 LanyxSuiteInitialize SutrelLnyxInitialize"
  "11 4 LanyxSuiteTerminate SutrelLnyxTerminate"
  "200 4 LNYXOpenDM SutrelLnyxOpenDM"
  "201 4 LNYXCloseDM SutrelLnyxCloseDM"
  "204 12 LNYXGetDevice SutrelLnyxGetDevice"
  "205 8 LNYXFreeDeviceStructure SutrelLnyxFreeDevice"
  "212 16 LNYXGetDeviceInfo SutrelLnyxGetDeviceInfo"
  "213 8 LNYXFreeDeviceInfoStructure SutrelLnyxFreeDeviceInfo"
  "300 16 LNYXOpenFS SutrelLnyxOpenFS"
  "301 4 LNYXCloseFS SutrelLnyxCloseFS"
  "400 24 LNYXInstallApplication SutrelLnyxInstallApplication")
set(LANYX_NAMELESS_ORDINALS 10 11 12)

# lanyx_write_def(<file> LIBRARY|IMPORT): the simulated library's export
# table, or the import library's (every entry by ordinal, under our names).
# On 32-bit the names carry their stdcall decoration (the library links
# with --kill-at, dlltool runs with -k).
function(lanyx_write_def file kind)
  set(text "LIBRARY Lanyx.dll\nEXPORTS\n")
  foreach(entry ${LANYX_ORDINALS})
    string(REPLACE " " ";" f "${entry}")
    list(GET f 0 ordinal)
    list(GET f 1 bytes)
    if(kind STREQUAL LIBRARY)
      list(GET f 2 name)
    else()
      list(GET f 3 name)
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(name "${name}@${bytes}")
    endif()
    if(kind STREQUAL IMPORT OR ordinal IN_LIST LANYX_NAMELESS_ORDINALS)
      string(APPEND text "  ${name} @${ordinal} NONAME\n")
    else()
      string(APPEND text "  ${name} @${ordinal}\n")
    endif()
  endforeach()
  file(WRITE ${file} "${text}")
endfunction()
