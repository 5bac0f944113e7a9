# Each shipped program's version resource, from one template and the project's
# version: what Explorer's details, Task Manager and an antivirus read of a program.
#
# Windows looks the strings up under the block that the Translation entry names
# (language and code page as four hexadecimal digits each): the key is made here
# from the same two numbers as the entry, so that the two always agree.
# What Windows reads of a program before it runs it comes with it: every program
# that gets a version resource can take its manifest with one call too.
include(${CMAKE_CURRENT_LIST_DIR}/ProgramManifest.cmake)

set(VL2_RESOURCE_LANGUAGE_ID 0x0412)  # Korean, as the LANGUAGE statements of the resource scripts
set(VL2_RESOURCE_CODE_PAGE 949)

function(vl2_hex4 number result)
    math(EXPR hex "${number}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "000" hex "${hex}")
    string(LENGTH "${hex}" length)
    math(EXPR start "${length} - 4")
    string(SUBSTRING "${hex}" ${start} 4 hex)
    set(${result} "${hex}" PARENT_SCOPE)
endfunction()

# Gives the program `target` (which is also its file name) a version resource that
# describes it as `description`.
function(vl2_version_resource target description)
    vl2_hex4(${VL2_RESOURCE_LANGUAGE_ID} language)
    vl2_hex4(${VL2_RESOURCE_CODE_PAGE} code_page)
    set(VL2_STRING_BLOCK "${language}${code_page}")
    string(REPLACE "." ", " VL2_VERSION_NUMBERS "${PROJECT_VERSION}")
    set(VL2_PROGRAM_NAME "${target}")
    set(VL2_PROGRAM_DESCRIPTION "${description}")
    set(script ${PROJECT_BINARY_DIR}/generated/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/resources/version_info.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
endfunction()
