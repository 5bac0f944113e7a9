# Delay-loaded system libraries for the Windows programs: a library named here is
# loaded the first time one of its functions is called, not when the program
# starts, so a start of the current suite loads only what it calls. The import
# library for delay loading is made from MinGW's own import library: its exported
# names become a module definition that dlltool turns into delay-load thunks.
find_program(VL2_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)

# Makes an interface target delayed_<library> for each library named.
function(vl2_delay_loaded_libraries)
    foreach(library ${ARGN})
        set(import ${CMAKE_FIND_ROOT_PATH}/lib/lib${library}.a)
        set(folder ${CMAKE_BINARY_DIR}/delay-load)
        set(definition ${folder}/${library}.def)
        set(output ${folder}/lib${library}_delay.a)
        if(NOT EXISTS ${output})
            file(MAKE_DIRECTORY ${folder})
            execute_process(COMMAND ${CMAKE_NM} ${import} OUTPUT_VARIABLE symbols ERROR_QUIET)
            string(REGEX MATCHALL "I __imp__[^\n]+" imports "${symbols}")
            list(REMOVE_DUPLICATES imports)
            set(text "LIBRARY ${library}.dll\nEXPORTS\n")
            foreach(import_line ${imports})
                string(REPLACE "I __imp__" "" name "${import_line}")
                string(APPEND text "${name}\n")
            endforeach()
            file(WRITE ${definition} "${text}")
            execute_process(COMMAND ${VL2_DLLTOOL} --input-def ${definition} --dllname ${library}.dll
                                    --output-delaylib ${output} --kill-at
                            RESULT_VARIABLE failed)
            if(failed)
                message(FATAL_ERROR "dlltool could not make the delay-load library for ${library}.dll")
            endif()
        endif()
        add_library(delayed_${library} INTERFACE)
        target_link_libraries(delayed_${library} INTERFACE ${output} delayimp)
    endforeach()
endfunction()
