# Tiny DLLs for the tests, built with the MinGW cross tools in every build (the native one
# too), for both machines: ${CMAKE_BINARY_DIR}/testdata/x86/ and .../x64/ hold
#   kelvra_ver2.dll       version resource 2.0.50727.42
#   kelvra_ver6.dll       version resource 6.0.8169.0
#   kelvra_nover.dll      no version resource
#   kelvra_badimport.dll  imports kernel32.dll and kelvra_missing_dependency.dll (found nowhere)
#   kelvra_usesver2.dll   imports kelvra_ver2.dll
#   kelvra_initfails.dll  start-up code that refuses to load
#   kelvra_startup_box.dll    its start-up code shows a message box
#   kelvra_startup_sleep.dll  its start-up code sleeps (KELVRA_STARTUP_SLEEP_SECONDS, 30 s)
#   kelvra_startup_exits.dll, _terminates, _hangs, _overflows, _null, _records
#                             start-up code that ends its process (exit code 7), terminates
#                             it (9), never returns, overflows its stack, writes through a null
#                             pointer, records the id of the process that loads it
#   kelvra_exports.dll    exports by name, by ordinal alone (7), with gaps (1, 5, 7, 9) and a
#                         forwarder to kelvra_gone.KelvraGone (exports.def)
#   kelvra_imports.dll    imports KelvraAlpha and ordinal 7 of kelvra_exports.dll, and kernel32
#   kelvra_delayload.dll  the same from kelvra_exports.dll, and KelvraLate and ordinal 300 of
#                         kelvra_late.dll through the delay-load table (only where lld-link and
#                         llvm-dlltool are found)
#   kelvra_control.ocx    a control: the type library of activex_control.idl (compiled by the
#                         MinGW IDL compiler, widl) as resource TYPELIB 1; its start-up code
#                         creates the file KELVRA_CONTROL_MARKER names
# and testdata/ itself holds kelvra_x86.dll and kelvra_x64.dll, the same source for each machine.
# No C run-time: -nostdlib, our own entry point, stripped.

set(KELVRA_TESTDATA_DIR ${CMAKE_BINARY_DIR}/testdata)
set(KELVRA_TESTDATA_SRC ${CMAKE_CURRENT_LIST_DIR})
add_compile_definitions(KELVRA_TESTDATA_DIR="${KELVRA_TESTDATA_DIR}")

set(KELVRA_TEST_DLLS)

# kelvra_add_test_dll(<arch folder> <tool prefix> <entry symbol> <output> <sources...>
#                     [LIBS <libs...>] [DEPENDS <files...>] [IMPLIB <file>] [DEFINES <-D...>])
function(kelvra_add_test_dll folder prefix entry output)
  cmake_parse_arguments(ARG "" "IMPLIB" "LIBS;DEPENDS;DEFINES" ${ARGN})
  set(extra)
  set(outputs ${output})
  if(ARG_IMPLIB)
    list(APPEND extra -Wl,--out-implib,${ARG_IMPLIB})
    list(APPEND outputs ${ARG_IMPLIB})
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${prefix}-gcc -Os -s -shared -nostdlib -Wl,-e,${entry} ${ARG_DEFINES} ${extra}
            -o ${output} ${ARG_UNPARSED_ARGUMENTS} ${ARG_LIBS}
    DEPENDS ${ARG_UNPARSED_ARGUMENTS} ${ARG_DEPENDS}
    VERBATIM)
  set(KELVRA_TEST_DLLS ${KELVRA_TEST_DLLS} ${output} PARENT_SCOPE)
endfunction()

# GNU ld leaves the delay-load directory of dlltool's delay-import libraries empty, so the DLL
# with a delay-load table is linked by lld-link from LLVM import libraries.
find_program(KELVRA_LLD_LINK lld-link)
find_program(KELVRA_LLVM_DLLTOOL llvm-dlltool)
function(kelvra_add_delay_load_dll arch prefix out obj)
  if(NOT KELVRA_LLD_LINK OR NOT KELVRA_LLVM_DLLTOOL)
    return()
  endif()
  if(arch STREQUAL "x86")
    set(machine i386)
    set(link_machine x86)
    set(entry DllMain@12)
  else()
    set(machine i386:x86-64)
    set(link_machine x64)
    set(entry DllMain)
  endif()
  set(output ${out}/kelvra_delayload.dll)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${obj} ${out}
    COMMAND ${KELVRA_LLVM_DLLTOOL} -m ${machine} -d ${KELVRA_TESTDATA_SRC}/imports_from_exports.def
            -l ${obj}/kelvra_exports.lib
    COMMAND ${KELVRA_LLVM_DLLTOOL} -m ${machine} -d ${KELVRA_TESTDATA_SRC}/late.def
            -l ${obj}/kelvra_late.lib
    COMMAND ${prefix}-gcc -Os -c -DKELVRA_DELAY_LOAD ${KELVRA_TESTDATA_SRC}/imports_dll.c
            -o ${obj}/delayload.o
    COMMAND ${KELVRA_LLD_LINK} /lldmingw /machine:${link_machine} /dll /entry:${entry}
            /nodefaultlib /implib:${obj}/kelvra_delayload.lib /out:${output} ${obj}/delayload.o ${obj}/kelvra_exports.lib
            ${obj}/kelvra_late.lib /delayload:kelvra_late.dll
    DEPENDS ${KELVRA_TESTDATA_SRC}/imports_dll.c ${KELVRA_TESTDATA_SRC}/imports_from_exports.def
            ${KELVRA_TESTDATA_SRC}/late.def
    VERBATIM)
  set(KELVRA_TEST_DLLS ${KELVRA_TEST_DLLS} ${output} PARENT_SCOPE)
endfunction()

find_program(KELVRA_MINGW32_GCC i686-w64-mingw32-gcc)
find_program(KELVRA_MINGW64_GCC x86_64-w64-mingw32-gcc)
if(NOT KELVRA_MINGW32_GCC OR NOT KELVRA_MINGW64_GCC)
  message(WARNING "MinGW cross compilers not found: the test DLLs are not built")
  return()
endif()

set(work ${CMAKE_BINARY_DIR}/testdata-obj)
foreach(arch x86 x64)
  if(arch STREQUAL "x86")
    set(prefix i686-w64-mingw32)
    set(entry _DllMain@12)  # stdcall decoration
  else()
    set(prefix x86_64-w64-mingw32)
    set(entry DllMain)
  endif()
  set(out ${KELVRA_TESTDATA_DIR}/${arch})
  set(obj ${work}/${arch})

  foreach(ver 2 6)
    add_custom_command(
      OUTPUT ${obj}/version${ver}.o
      COMMAND ${CMAKE_COMMAND} -E make_directory ${obj}
      COMMAND ${prefix}-windres -O coff -i ${KELVRA_TESTDATA_SRC}/version${ver}.rc
              -o ${obj}/version${ver}.o
      DEPENDS ${KELVRA_TESTDATA_SRC}/version${ver}.rc
      VERBATIM)
  endforeach()
  add_custom_command(
    OUTPUT ${obj}/libkelvra_missing_dependency.a
    COMMAND ${CMAKE_COMMAND} -E make_directory ${obj}
    COMMAND ${prefix}-dlltool -d ${KELVRA_TESTDATA_SRC}/missing_dependency.def
            -l ${obj}/libkelvra_missing_dependency.a
    DEPENDS ${KELVRA_TESTDATA_SRC}/missing_dependency.def
    VERBATIM)

  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_ver2.dll
                      ${KELVRA_TESTDATA_SRC}/tiny_dll.c ${obj}/version2.o
                      IMPLIB ${obj}/libkelvra_ver2.a)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_ver6.dll
                      ${KELVRA_TESTDATA_SRC}/tiny_dll.c ${obj}/version6.o)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_nover.dll
                      ${KELVRA_TESTDATA_SRC}/tiny_dll.c)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_badimport.dll
                      ${KELVRA_TESTDATA_SRC}/badimport_dll.c
                      LIBS ${obj}/libkelvra_missing_dependency.a -lkernel32
                      DEPENDS ${obj}/libkelvra_missing_dependency.a)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_usesver2.dll
                      ${KELVRA_TESTDATA_SRC}/uses_ver2_dll.c
                      LIBS ${obj}/libkelvra_ver2.a
                      DEPENDS ${obj}/libkelvra_ver2.a)
  add_custom_command(
    OUTPUT ${obj}/libkelvra_exports_imports.a
    COMMAND ${CMAKE_COMMAND} -E make_directory ${obj}
    COMMAND ${prefix}-dlltool -d ${KELVRA_TESTDATA_SRC}/imports_from_exports.def
            -l ${obj}/libkelvra_exports_imports.a
    DEPENDS ${KELVRA_TESTDATA_SRC}/imports_from_exports.def
    VERBATIM)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_exports.dll
                      ${KELVRA_TESTDATA_SRC}/exports_dll.c ${KELVRA_TESTDATA_SRC}/exports.def)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_imports.dll
                      ${KELVRA_TESTDATA_SRC}/imports_dll.c
                      LIBS ${obj}/libkelvra_exports_imports.a -lkernel32
                      DEPENDS ${obj}/libkelvra_exports_imports.a)
  kelvra_add_delay_load_dll(${arch} ${prefix} ${out} ${obj})
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_initfails.dll
                      ${KELVRA_TESTDATA_SRC}/init_fails_dll.c)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_startup_box.dll
                      ${KELVRA_TESTDATA_SRC}/startup_box_dll.c LIBS -luser32)
  kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_startup_sleep.dll
                      ${KELVRA_TESTDATA_SRC}/startup_sleep_dll.c LIBS -lkernel32)
  foreach(behaviour exits terminates hangs overflows null records)
    string(TOUPPER ${behaviour} upper)
    kelvra_add_test_dll(${out} ${prefix} ${entry} ${out}/kelvra_startup_${behaviour}.dll
                        ${KELVRA_TESTDATA_SRC}/startup_behaviour_dll.c LIBS -lkernel32
                        DEFINES -DKELVRA_${upper})
  endforeach()
  kelvra_add_test_dll(${KELVRA_TESTDATA_DIR} ${prefix} ${entry}
                      ${KELVRA_TESTDATA_DIR}/kelvra_${arch}.dll ${KELVRA_TESTDATA_SRC}/tiny_dll.c)
endforeach()

# The test control, for each machine; widl comes with the cross tools (mingw-w64-tools).
find_program(KELVRA_MINGW32_WIDL i686-w64-mingw32-widl)
find_program(KELVRA_MINGW64_WIDL x86_64-w64-mingw32-widl)
if(NOT KELVRA_MINGW32_WIDL OR NOT KELVRA_MINGW64_WIDL)
  message(WARNING "The MinGW IDL compiler (widl) was not found: the test control is not built")
else()
  foreach(arch x86 x64)
    if(arch STREQUAL "x86")
      set(prefix i686-w64-mingw32)
      set(entry _DllMain@12)
      set(widl ${KELVRA_MINGW32_WIDL} --win32)
    else()
      set(prefix x86_64-w64-mingw32)
      set(entry DllMain)
      set(widl ${KELVRA_MINGW64_WIDL} --win64)
    endif()
    set(obj ${work}/${arch})
    add_custom_command(
      OUTPUT ${obj}/activex_control.tlb
      COMMAND ${CMAKE_COMMAND} -E make_directory ${obj}
      COMMAND ${widl} -t -o ${obj}/activex_control.tlb ${KELVRA_TESTDATA_SRC}/activex_control.idl
      DEPENDS ${KELVRA_TESTDATA_SRC}/activex_control.idl
      VERBATIM)
    add_custom_command(
      OUTPUT ${obj}/activex_control.o
      COMMAND ${prefix}-windres -O coff -I ${obj} -i ${KELVRA_TESTDATA_SRC}/activex_control.rc
              -o ${obj}/activex_control.o
      DEPENDS ${KELVRA_TESTDATA_SRC}/activex_control.rc ${obj}/activex_control.tlb
      VERBATIM)
    kelvra_add_test_dll(${KELVRA_TESTDATA_DIR}/${arch} ${prefix} ${entry}
                        ${KELVRA_TESTDATA_DIR}/${arch}/kelvra_control.ocx
                        ${KELVRA_TESTDATA_SRC}/activex_control.c ${obj}/activex_control.o
                        LIBS -lkernel32)
  endforeach()
endif()

add_custom_target(kelvra_test_dlls ALL DEPENDS ${KELVRA_TEST_DLLS})
# This file is included before the test executable is declared.
cmake_language(DEFER CALL add_dependencies kelvra_tests kelvra_test_dlls)
