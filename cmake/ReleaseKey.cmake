# The ed25519 public key that every release must be signed with, built into the
# programs as VL2_RELEASE_PUBLIC_KEY (the base64 text of the raw 32-byte key).
#
# The key is checked here, once per key, by a small program built for and run on
# the build machine against its own libgcrypt: the same decoding and key check the
# programs use, so a key the build accepts is one the programs can use. A program
# run at configure time also works when the programs themselves are cross-compiled.
# (OpenSSL is no help here: `openssl pkey -pubin -pubcheck` calls an all-zero key
# valid, and that key makes libgcrypt 1.10 abort the process that checks with it.)

# The public half of tests/keys/release-key.TEST-ONLY.pem. The native build uses it
# when no key is given; a test checks that this text and the win32 preset's match
# the private key file.
set(VL2_TEST_RELEASE_PUBLIC_KEY "jR9wMuMcgc2LuKXN9OGac/ly9zGbmMfvBI8pWpsQSnM=")

# True in `result` when a server setting ("host", "host:port", with or without an
# "http://" or "https://" in front) names this machine only.
function(vl2_is_loopback_server setting result)
    vl2_server_host("${setting}" host)
    string(TOLOWER "${host}" host)
    if(host STREQUAL "localhost" OR host STREQUAL "::1" OR host MATCHES "^127\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
        set(${result} TRUE PARENT_SCOPE)
    else()
        set(${result} FALSE PARENT_SCOPE)
    endif()
endfunction()

# The test key's private half is in this repository: programs that trust it would
# install whatever anybody signs with it. They may only talk to this machine,
# unless the build says on purpose that it is for testing.
function(vl2_refuse_test_key_for_real_servers)
    if(NOT VL2_RELEASE_PUBLIC_KEY STREQUAL VL2_TEST_RELEASE_PUBLIC_KEY OR VL2_ALLOW_TEST_KEY)
        return()
    endif()
    foreach(setting ${ARGN})
        vl2_is_loopback_server("${${setting}}" loopback)
        if(NOT loopback)
            message(FATAL_ERROR "VL2_RELEASE_PUBLIC_KEY is the test key of tests/keys/, whose private half is in this "
                                "repository, but ${setting} (\"${${setting}}\") is not a loopback address: programs "
                                "built so would install anything signed with the test key. Pass the vendor's own key "
                                "(-DVL2_RELEASE_PUBLIC_KEY=$(cvztool pubkey KEYFILE)), or -DVL2_ALLOW_TEST_KEY=ON "
                                "for a build that is only ever tested.")
        endif()
    endforeach()
endfunction()

function(vl2_check_release_public_key key)
    set(sources
        ${CMAKE_SOURCE_DIR}/cmake/check_release_key.cpp
        ${CMAKE_SOURCE_DIR}/release/release_encoding.cpp
        ${CMAKE_SOURCE_DIR}/release/release_key.cpp)
    set(fingerprint "${key}")
    foreach(source ${sources} ${CMAKE_SOURCE_DIR}/release/release_key.h ${CMAKE_SOURCE_DIR}/release/release_encoding.h)
        file(SHA256 ${source} digest)
        string(APPEND fingerprint ":${digest}")
    endforeach()
    if(DEFINED CACHE{VL2_RELEASE_PUBLIC_KEY_CHECKED} AND "$CACHE{VL2_RELEASE_PUBLIC_KEY_CHECKED}" STREQUAL "${fingerprint}")
        return()
    endif()

    find_program(VL2_HOST_CXX NAMES c++ g++ clang++ DOC "C++ compiler of the build machine, for the release key check")
    if(NOT VL2_HOST_CXX)
        message(FATAL_ERROR "Checking VL2_RELEASE_PUBLIC_KEY needs a C++ compiler and libgcrypt (Debian: g++ and "
                            "libgcrypt20-dev) on the build machine.")
    endif()
    set(checker ${CMAKE_BINARY_DIR}/release-key-check/check_release_key)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/release-key-check)
    execute_process(COMMAND ${VL2_HOST_CXX} -std=c++17 -O1 -I${CMAKE_SOURCE_DIR} ${sources} -o ${checker} -lgcrypt -lgpg-error
                    RESULT_VARIABLE built OUTPUT_VARIABLE build_output ERROR_VARIABLE build_output)
    if(NOT built EQUAL 0)
        message(FATAL_ERROR "Could not build the release key check with ${VL2_HOST_CXX} (is libgcrypt20-dev "
                            "installed?):\n${build_output}")
    endif()
    execute_process(COMMAND ${checker} "${key}" RESULT_VARIABLE usable
                    OUTPUT_VARIABLE reason ERROR_VARIABLE reason OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(NOT usable EQUAL 0)
        if(reason STREQUAL "")
            set(reason "the check ended with \"${usable}\"")
        endif()
        message(FATAL_ERROR "VL2_RELEASE_PUBLIC_KEY \"${key}\" is not a usable ed25519 public key: ${reason}.\n"
                            "Pass the text that `cvztool pubkey KEYFILE` prints for the release signing key.")
    endif()
    set(VL2_RELEASE_PUBLIC_KEY_CHECKED "${fingerprint}" CACHE INTERNAL "The release key and key check last found usable")
endfunction()
