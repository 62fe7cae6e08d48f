# The layers of the source tree and the folders each may include. The core (text, osys, diag,
# approot) never includes the toolkit or the controller; where it must call upward it goes
# through a seam of its own (osys/msgpump.h for the message-pumping waits). Inside the core,
# text, osys and diag call each other (the log writes through FILENAME, FILENAME reports
# through the assertions, the containers lock with MUTEXSEM) and never the application root,
# which sits on the three.
set(TARVO_LAYER_text    text osys diag)
set(TARVO_LAYER_osys    text osys diag)
set(TARVO_LAYER_diag    text osys diag)
set(TARVO_LAYER_approot text osys diag approot)
set(TARVO_LAYER_ui      text osys diag approot ui)
set(TARVO_LAYER_service text osys diag approot ui service)

# Fails the configuration when a source file includes a project header from a folder its
# layer may not use.
function(tarvo_check_layers)
  set(violations "")
  foreach(layer text osys diag approot ui service)
    file(GLOB sources ${PROJECT_SOURCE_DIR}/${layer}/*.h ${PROJECT_SOURCE_DIR}/${layer}/*.cpp)
    foreach(source ${sources})
      file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/")
      foreach(line ${includes})
        string(REGEX REPLACE "^[^\"]*\"([a-z]+)/.*$" "\\1" folder "${line}")
        if(NOT folder IN_LIST TARVO_LAYER_${layer})
          file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${source})
          string(APPEND violations "\n  ${name}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(violations)
    message(FATAL_ERROR "Layer violations (a header from a layer above):${violations}")
  endif()
endfunction()
