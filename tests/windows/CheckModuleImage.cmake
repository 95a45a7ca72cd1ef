# Run with -P, -DOBJDUMP=<objdump> -DMODULE=<Kelo.vst3 DLL>: the module exports
# exactly the three VST 3 entry points and imports only Windows' own DLLs (the
# C and C++ runtimes are linked in).
set(expected_exports ExitDll GetPluginFactory InitDll)
set(expected_imports kernel32.dll msvcrt.dll ole32.dll shell32.dll shlwapi.dll user32.dll)

execute_process(COMMAND "${OBJDUMP}" -p "${MODULE}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${MODULE} failed")
endif()
string(FIND "${dump}" "file format pei-x86-64" format)
string(FIND "${dump}" "\n\tDLL\n" library)
if(format LESS 0 OR library LESS 0)
  message(FATAL_ERROR "${MODULE} is not an x86-64 PE DLL")
endif()

# The export names: the lines of the name table, up to the blank line after it.
set(heading "[Ordinal/Name Pointer] Table\n")
string(FIND "${dump}" "${heading}" start)
if(start LESS 0)
  message(FATAL_ERROR "${MODULE} exports nothing")
endif()
string(LENGTH "${heading}" skip)
math(EXPR start "${start} + ${skip}")
string(SUBSTRING "${dump}" ${start} -1 table)
string(FIND "${table}" "\n\n" end)
string(SUBSTRING "${table}" 0 ${end} table)
string(APPEND table "\n")
string(REGEX REPLACE "[^\n]*\\] ([A-Za-z_0-9@]+)\n" "\\1;" exports "${table}")
list(FILTER exports EXCLUDE REGEX "^$")
list(SORT exports)

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
list(TRANSFORM imports TOLOWER)
list(SORT imports)

if(NOT exports STREQUAL expected_exports)
  message(FATAL_ERROR "exports '${exports}', expected '${expected_exports}'")
endif()
if(NOT imports STREQUAL expected_imports)
  message(FATAL_ERROR "imports '${imports}', expected only '${expected_imports}'")
endif()
message(STATUS "exports: ${exports}; imports: ${imports}")
