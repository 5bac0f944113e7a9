# Signs PROGRAM in place with what SETTINGS names (written by cmake/Authenticode.cmake):
#   cmake -DPROGRAM=file.exe -DSETTINGS=authenticode_settings.cmake -P cmake/sign_program.cmake
#
# A signature differs at every signing (its time, and the time stamp's), and an
# update fetches every file whose bytes differ. So a program that links to the bytes
# it had before gets the signed bytes it had before, from the cache, keyed by the
# digest of its unsigned bytes and of the settings: a rebuild of the same source
# then changes nothing that is published, and a program that carries another (the
# installer, the uninstaller) stays the same too.
include(${SETTINGS})
file(SHA256 ${PROGRAM} unsigned_digest)
file(SHA256 ${SETTINGS} settings_digest)
set(cached ${VL2_AUTHENTICODE_CACHE}/${unsigned_digest}-${settings_digest})
if(EXISTS ${cached})
    file(COPY_FILE ${cached} ${PROGRAM})
    return()
endif()

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
file(MAKE_DIRECTORY ${VL2_AUTHENTICODE_CACHE})
file(COPY_FILE ${signed} ${cached}.new)
file(RENAME ${cached}.new ${cached})
file(RENAME ${signed} ${PROGRAM})
