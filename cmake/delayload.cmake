# tarvo_delay_load(target dll...): links the target with the DLLs delay-loaded, so that a run
# that never calls them never loads them (user32 costs a display connection under Wine).
function(tarvo_delay_load target)
  if(MINGW)
    foreach(dll ${ARGN})
      find_library(import_lib_${dll} NAMES lib${dll}.a ${dll} REQUIRED)
      set(output ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/delay
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL} -DIMPORT_LIB=${import_lib_${dll}}
                -DDLL=${dll} -DOUTPUT=${output} -P ${PROJECT_SOURCE_DIR}/cmake/make_delaylib.cmake
        DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make_delaylib.cmake
        VERBATIM)
      add_custom_target(${target}_delay_${dll} DEPENDS ${output})
      add_dependencies(${target} ${target}_delay_${dll})
      target_link_libraries(${target} PRIVATE ${output})
    endforeach()
  elseif(MSVC)
    foreach(dll ${ARGN})
      target_link_libraries(${target} PRIVATE ${dll})
      target_link_options(${target} PRIVATE /DELAYLOAD:${dll}.dll)
    endforeach()
    target_link_libraries(${target} PRIVATE delayimp)
  else()
    target_link_libraries(${target} PRIVATE ${ARGN})
  endif()
endfunction()
