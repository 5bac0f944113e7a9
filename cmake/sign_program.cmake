# Signs PROGRAM in place with what SETTINGS names (written by cmake/Authenticode.cmake):
#   cmake -DPROGRAM=file.exe -DSETTINGS=authenticode_settings.cmake -P cmake/sign_program.cmake
include(${SETTINGS})

set(command ${VL2_OSSLSIGNCODE} sign -h sha256 -n "Velmora 2.0" -i ${information_url} -certs ${VL2_AUTHENTICODE_CERT})
if(VL2_AUTHENTICODE_PKCS11_MODULE)
    list(APPEND command -pkcs11module ${VL2_AUTHENTICODE_PKCS11_MODULE})
endif()
list(APPEND command -key ${VL2_AUTHENTICODE_KEY})
if(VL2_AUTHENTICODE_PASSWORD_FILE)
    list(APPEND command -readpass ${VL2_AUTHENTICODE_PASSWORD_FILE})
endif()
if(VL2_AUTHENTICODE_TIMESTAMP_URL)
    list(APPEND command -ts ${VL2_AUTHENTICODE_TIMESTAMP_URL})
elseif(VL2_AUTHENTICODE_TSA_CERTS)
    list(APPEND command -TSA-certs ${VL2_AUTHENTICODE_TSA_CERTS} -TSA-key ${VL2_AUTHENTICODE_TSA_KEY})
endif()
set(signed ${PROGRAM}.signing)
execute_process(COMMAND ${command} -in ${PROGRAM} -out ${signed}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
    # Without the program, the next build links and signs it again rather than
    # taking the unsigned file for built.
    file(REMOVE ${PROGRAM} ${signed})
    # osslsigncode's own lines say what failed; OpenSSL's stack of errors below them
    # says it again for a developer of OpenSSL.
    string(REGEX REPLACE "[0-9A-F]+:error:[^\n]*\n" "" output "${output}")
    message(FATAL_ERROR "${PROGRAM} could not be signed; it is removed. osslsigncode said:\n${output}")
endif()
file(RENAME ${signed} ${PROGRAM})
