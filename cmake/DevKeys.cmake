# Development keys, made by the build on the build host and never kept in the repository:
# build/keys/ holds them, the programs compile in what they trust. A release build is told
# what to trust instead and is signed with keys held elsewhere.
find_program(ZEP_OPENSSL openssl REQUIRED)
find_program(ZEP_OSSLSIGNCODE osslsigncode REQUIRED)
set(ZEP_KEYS_DIR ${CMAKE_BINARY_DIR}/keys)
set(ZEP_KEYS_GEN ${CMAKE_BINARY_DIR}/generated/keys)
file(MAKE_DIRECTORY ${ZEP_KEYS_DIR} ${ZEP_KEYS_GEN})

# ---- Code signing of the installers the update client starts ------------------------------
# The client trusts a package's signer only by the SHA-256 of its certificate's
# SubjectPublicKeyInfo. -DZEP_CODE_SIGNING_PINS=<file of PEM certificates> makes those the only
# trusted signers; otherwise the build's development certificate is.
set(ZEP_CODE_SIGNING_PINS "" CACHE FILEPATH "PEM certificates whose signatures the update client trusts (release)")

# zep_dev_code_signing_cert(<name> <subject>): build/keys/<name>.{key,crt}, self-signed for code
# signing, made once.
function(zep_dev_code_signing_cert name subject)
  set(key ${ZEP_KEYS_DIR}/${name}.key)
  set(crt ${ZEP_KEYS_DIR}/${name}.crt)
  if(NOT EXISTS ${key} OR NOT EXISTS ${crt})
    execute_process(
      COMMAND ${ZEP_OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj ${subject}
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature"
        -keyout ${key} -out ${crt}
      RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "openssl could not make ${crt}: ${err}")
    endif()
  endif()
endfunction()

# zep_spki_sha256(<out var> <PEM certificate file>): lower-case hex.
function(zep_spki_sha256 out crt)
  get_filename_component(stem ${crt} NAME_WE)
  set(der ${ZEP_KEYS_GEN}/${stem}.spki.der)
  execute_process(COMMAND ${ZEP_OPENSSL} x509 -in ${crt} -noout -pubkey
    COMMAND ${ZEP_OPENSSL} pkey -pubin -outform DER -out ${der}
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${der})
    message(FATAL_ERROR "openssl could not read the public key of ${crt}: ${err}")
  endif()
  file(SHA256 ${der} hash)
  set(${out} ${hash} PARENT_SCOPE)
endfunction()

zep_dev_code_signing_cert(code-signing-dev "/O=Velomar development/CN=Velomar development code signing")
# Signs the tests' packages that the client must refuse: a signature, but not a trusted one.
zep_dev_code_signing_cert(code-signing-stranger "/O=Stranger/CN=Stranger code signing")
set(ZEP_CODE_SIGNING_KEY ${ZEP_KEYS_DIR}/code-signing-dev.key)
set(ZEP_CODE_SIGNING_CRT ${ZEP_KEYS_DIR}/code-signing-dev.crt)
set(ZEP_STRANGER_SIGNING_KEY ${ZEP_KEYS_DIR}/code-signing-stranger.key)
set(ZEP_STRANGER_SIGNING_CRT ${ZEP_KEYS_DIR}/code-signing-stranger.crt)

set(zep_pin_certs)
if(ZEP_CODE_SIGNING_PINS)
  file(READ ${ZEP_CODE_SIGNING_PINS} pem)
  string(REGEX MATCHALL "-----BEGIN CERTIFICATE-----[^-]+-----END CERTIFICATE-----" blocks "${pem}")
  set(i 0)
  foreach(block ${blocks})
    math(EXPR i "${i} + 1")
    file(WRITE ${ZEP_KEYS_GEN}/release-pin-${i}.crt "${block}\n")
    list(APPEND zep_pin_certs ${ZEP_KEYS_GEN}/release-pin-${i}.crt)
  endforeach()
  if(NOT zep_pin_certs)
    message(FATAL_ERROR "ZEP_CODE_SIGNING_PINS: no PEM certificate in ${ZEP_CODE_SIGNING_PINS}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZEP_CODE_SIGNING_PINS})
else()
  set(zep_pin_certs ${ZEP_CODE_SIGNING_CRT})
endif()
set(ZEP_CODE_SIGNING_PIN_LINES "")
foreach(crt ${zep_pin_certs})
  zep_spki_sha256(pin ${crt})
  string(APPEND ZEP_CODE_SIGNING_PIN_LINES "    L\"${pin}\",\n")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/code_signing_pins.h.in ${ZEP_KEYS_GEN}/code_signing_pins.h @ONLY)

# zep_sign_code_command(<out var> <in> <out> [STRANGER]): the COMMAND arguments that sign a PE
# file or an .msi with the development (or the stranger's) certificate.
function(zep_sign_code_command var in out)
  set(key ${ZEP_CODE_SIGNING_KEY})
  set(crt ${ZEP_CODE_SIGNING_CRT})
  if(ARGV3 STREQUAL "STRANGER")
    set(key ${ZEP_STRANGER_SIGNING_KEY})
    set(crt ${ZEP_STRANGER_SIGNING_CRT})
  endif()
  set(${var} ${ZEP_OSSLSIGNCODE} sign -h sha256 -certs ${crt} -key ${key} -in ${in} -out ${out} PARENT_SCOPE)
endfunction()

function(zep_openssl)
  execute_process(COMMAND ${ZEP_OPENSSL} ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed: ${err}")
  endif()
endfunction()

# ---- Signing of update information ---------------------------------------------------------
# An ECDSA P-256 key pair (PKCS#8 PEM), made once; its public key is what the client trusts unless
# -DZEP_UPDATE_KEYS=<file of PEM public keys> names the keys of a release.
set(ZEP_UPDATE_SIGNING_DEV_KEY ${ZEP_KEYS_DIR}/update-signing-dev.pem)
if(NOT EXISTS ${ZEP_UPDATE_SIGNING_DEV_KEY})
  zep_openssl(genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out ${ZEP_UPDATE_SIGNING_DEV_KEY})
endif()

set(ZEP_UPDATE_KEYS "" CACHE FILEPATH
    "File of PEM public keys (P-256) the update client trusts for update information; empty: the build's development key")
if(ZEP_UPDATE_KEYS)
  set(keys_source ${ZEP_UPDATE_KEYS})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZEP_UPDATE_KEYS})
else()
  set(keys_source ${ZEP_KEYS_DIR}/update-signing-dev.pub.pem)
  zep_openssl(pkey -in ${ZEP_UPDATE_SIGNING_DEV_KEY} -pubout -out ${keys_source})
endif()

# Each PEM block becomes the 65-byte public point in C initialiser form. A P-256
# SubjectPublicKeyInfo is this fixed prefix followed by the point.
set(spki_prefix "3059301306072a8648ce3d020106082a8648ce3d030107034200")
file(READ ${keys_source} pem_text)
string(REGEX MATCHALL "-----BEGIN PUBLIC KEY-----[^-]+-----END PUBLIC KEY-----" pem_blocks "${pem_text}")
set(points "")
set(index 0)
foreach(block IN LISTS pem_blocks)
  set(one ${ZEP_KEYS_DIR}/update-key-${index}.pem)
  file(WRITE ${one} "${block}\n")
  zep_openssl(pkey -pubin -in ${one} -outform DER -out ${one}.der)
  file(READ ${one}.der der HEX)
  file(REMOVE ${one} ${one}.der)
  string(LENGTH "${der}" der_length)
  string(SUBSTRING "${der}" 0 52 prefix)
  if(NOT der_length EQUAL 182 OR NOT prefix STREQUAL spki_prefix)
    message(FATAL_ERROR "${keys_source}: public key ${index} is not an ECDSA P-256 key")
  endif()
  string(SUBSTRING "${der}" 52 130 point)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," point "${point}")
  string(APPEND points "    {{${point}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
if(index EQUAL 0)
  message(FATAL_ERROR "${keys_source} holds no PEM public key")
endif()
file(CONFIGURE OUTPUT ${ZEP_KEYS_DIR}/update_signing_keys.inc CONTENT "${points}")
message(STATUS "Update information: ${index} trusted signing key(s) from ${keys_source}")
