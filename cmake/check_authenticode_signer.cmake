# Refuses, with the reason, a signer that cannot sign the programs as Windows wants
# them signed: a certificate without the code-signing usage, expired, with another key
# than RSA (Smart App Control blocks programs signed with any other), or a key file
# that is not the certificate's. Found here, when the build is configured, instead of
# by users after a release. A key on a token cannot be compared here: osslsigncode
# compares it when it signs, and the build fails with its message.
#
# Included by cmake/Authenticode.cmake, and runs on its own too:
#   cmake -DVL2_AUTHENTICODE_CERT=chain.pem -DVL2_AUTHENTICODE_KEY=key.pem
#         [-DVL2_AUTHENTICODE_PASSWORD_FILE=FILE] -P cmake/check_authenticode_signer.cmake

find_program(VL2_OPENSSL NAMES openssl)
if(NOT VL2_OPENSSL)
    message(FATAL_ERROR "Checking the Authenticode certificate needs openssl (Debian: openssl).")
endif()

# The reason may come in several quoted parts, which are joined.
function(vl2_refuse_signer)
    string(JOIN "" reason ${ARGV})
    message(FATAL_ERROR "VL2_AUTHENTICODE_CERT \"${VL2_AUTHENTICODE_CERT}\" cannot sign the programs: ${reason}.")
endfunction()

if(NOT EXISTS "${VL2_AUTHENTICODE_CERT}")
    vl2_refuse_signer("there is no such file")
endif()
# The first certificate of the file is the signer's; its chain follows.
execute_process(COMMAND ${VL2_OPENSSL} x509 -in ${VL2_AUTHENTICODE_CERT} -noout -text
                RESULT_VARIABLE unreadable OUTPUT_VARIABLE certificate ERROR_QUIET)
if(unreadable)
    vl2_refuse_signer("it does not begin with a PEM certificate")
endif()
if(NOT certificate MATCHES "X509v3 Extended Key Usage:[^\n]*\n[^\n]*Code Signing")
    vl2_refuse_signer("the certificate has no code-signing extended key usage")
endif()
execute_process(COMMAND ${VL2_OPENSSL} x509 -in ${VL2_AUTHENTICODE_CERT} -noout -checkend 0
                RESULT_VARIABLE expired OUTPUT_QUIET ERROR_QUIET)
if(expired)
    string(REGEX MATCH "Not After *: *([^\n]*)" ignored "${certificate}")
    vl2_refuse_signer("the certificate expired (${CMAKE_MATCH_1})")
endif()
if(NOT certificate MATCHES "Public Key Algorithm: rsaEncryption")
    string(REGEX MATCH "Public Key Algorithm: *([^\n]*)" ignored "${certificate}")
    vl2_refuse_signer("its key is ${CMAKE_MATCH_1}, not RSA, and Smart App Control blocks programs signed with "
                      "any key but RSA")
endif()

if(NOT VL2_AUTHENTICODE_PKCS11_MODULE)
    # Never asked for at the terminal: a key with a password needs its file.
    set(password -passin pass:)
    if(VL2_AUTHENTICODE_PASSWORD_FILE)
        set(password -passin file:${VL2_AUTHENTICODE_PASSWORD_FILE})
    endif()
    execute_process(COMMAND ${VL2_OPENSSL} pkey -in ${VL2_AUTHENTICODE_KEY} -pubout ${password}
                    RESULT_VARIABLE unreadable OUTPUT_VARIABLE key_public ERROR_VARIABLE reason)
    if(unreadable)
        string(REGEX REPLACE "\n.*" "" reason "${reason}")
        vl2_refuse_signer("its key VL2_AUTHENTICODE_KEY \"${VL2_AUTHENTICODE_KEY}\" cannot be read (a password that "
                          "VL2_AUTHENTICODE_PASSWORD_FILE does not give, or not a key: ${reason})")
    endif()
    execute_process(COMMAND ${VL2_OPENSSL} x509 -in ${VL2_AUTHENTICODE_CERT} -noout -pubkey
                    OUTPUT_VARIABLE certificate_public ERROR_QUIET)
    if(NOT key_public STREQUAL certificate_public)
        vl2_refuse_signer("VL2_AUTHENTICODE_KEY \"${VL2_AUTHENTICODE_KEY}\" is not the certificate's key")
    endif()
endif()
