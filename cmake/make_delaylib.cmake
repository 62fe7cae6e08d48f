# Makes a delay-load import library for one system DLL from the toolchain's import library:
# its functions load the DLL on their first call instead of at process start.
#   cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIB=libuser32.a -DDLL=user32 -DOUTPUT=... -P make_delaylib.cmake
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${IMPORT_LIB}")
endif()
string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@]+" imports "${symbols}")
list(TRANSFORM imports REPLACE " I __imp_" "")
list(REMOVE_DUPLICATES imports)
list(JOIN imports "\n" exports)
get_filename_component(folder ${OUTPUT} DIRECTORY)
set(def ${folder}/${DLL}.def)
file(WRITE ${def} "LIBRARY ${DLL}.dll\nEXPORTS\n${exports}\n")
# dlltool names the library's symbols after the output path: run in the output folder so that
# the build folder does not show in the programs that link the library.
get_filename_component(output_name ${OUTPUT} NAME)
execute_process(COMMAND ${DLLTOOL} --def ${DLL}.def --dllname ${DLL}.dll --output-delaylib ${output_name}
  WORKING_DIRECTORY ${folder} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dlltool failed for ${DLL}")
endif()
