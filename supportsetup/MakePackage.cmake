# cmake -DID=<id> -DSIZE=<bytes> -DOUT=<file> -P MakePackage.cmake
# A stand-in phone package: an ASCII header and deterministic filler, exactly
# SIZE bytes.
set(header "STAND-IN PHONE PACKAGE id=${ID}\n")
string(LENGTH "${header}" header_length)
math(EXPR filler_length "${SIZE} - ${header_length}")
set(line "filler of stand-in package ${ID} 0123456789abcdefghijklmnopqrstuvwxyz\n")
string(LENGTH "${line}" line_length)
math(EXPR lines "${filler_length} / ${line_length} + 1")
string(REPEAT "${line}" ${lines} filler)
string(SUBSTRING "${filler}" 0 ${filler_length} filler)
file(WRITE "${OUT}" "${header}${filler}")
file(SIZE "${OUT}" written)
if(NOT written EQUAL SIZE)
  message(FATAL_ERROR "${OUT}: ${written} bytes, not ${SIZE}")
endif()
