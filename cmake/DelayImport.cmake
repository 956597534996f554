# Delay-loaded system DLLs for the Windows build. A DLL linked this way is
# loaded on the first call into it rather than before the program starts, so
# the DLLs the window does not need to show itself (the two HTTP stacks,
# certificates, signatures and the TLS stack, hashing, accessibility objects, image lists)
# cost nothing on the way to the first frame. It is also loaded from the
# system folder only (src/system/SystemLibrary.h), whereas the loader looks
# for a direct import beside the program first unless the system always takes
# it from its own folder: only such DLLs (KERNEL32, USER32, GDI32, ADVAPI32,
# SHELL32, OLE32, SHLWAPI, msvcrt and their like) may be imported directly.
#
# pw_delay_import(<name> <function>...) defines the target pw_delayed_<name>
# for the system library <name> (as it would be linked: winhttp, crypt32, ...)
# with the functions listed: dlltool makes a delay-import library for
# <name>.dll from them (the stdcall decorations are taken from the
# toolchain's import library lib<name>.a), and its objects are linked as
# objects: this linker mishandles them when it takes them from an archive.
# A function used but not listed fails the link with an undefined reference;
# add it to the list.
if(NOT WIN32)
  return()
endif()
find_program(PW_DLLTOOL NAMES ${PW_MINGW_TRIPLE}-dlltool dlltool REQUIRED)
find_program(PW_NM NAMES ${PW_MINGW_TRIPLE}-nm nm REQUIRED)
find_program(PW_AR NAMES ${PW_MINGW_TRIPLE}-ar ar REQUIRED)

function(pw_delay_import name)
  find_library(PW_IMPLIB_${name} NAMES lib${name}.a REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delayimp/${name})
  set(stamp ${dir}/functions.txt)
  set(wanted "${ARGN}")
  set(made "")
  if(EXISTS ${stamp})
    file(READ ${stamp} made)
  endif()
  if(NOT made STREQUAL "${wanted}" OR ${PW_IMPLIB_${name}} IS_NEWER_THAN ${stamp})
    file(REMOVE_RECURSE ${dir})
    file(MAKE_DIRECTORY ${dir}/objects)
    execute_process(COMMAND ${PW_NM} -g ${PW_IMPLIB_${name}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    set(exports "")
    foreach(function IN LISTS wanted)
      # "_Name@N" for a stdcall function, "_Name" for a cdecl one.
      string(REGEX MATCH " T _${function}(@[0-9]+)?\n" found "${symbols}")
      if(NOT found)
        message(FATAL_ERROR "${function} is not a function of lib${name}.a")
      endif()
      string(REGEX REPLACE "^ T _|\n$" "" decorated "${found}")
      string(APPEND exports "${decorated}\n")
    endforeach()
    file(WRITE ${dir}/${name}.def "LIBRARY ${name}.dll\nEXPORTS\n${exports}")
    # -k: imported by the plain names the DLL exports.
    execute_process(COMMAND ${PW_DLLTOOL} -k --input-def ${name}.def --dllname ${name}.dll
                            --output-delaylib ${name}-delay.a
                    WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${PW_AR} x ../${name}-delay.a WORKING_DIRECTORY ${dir}/objects COMMAND_ERROR_IS_FATAL ANY)
    file(WRITE ${stamp} "${wanted}")
  endif()
  file(GLOB objects ${dir}/objects/*.o)
  add_library(pw_delayed_${name} INTERFACE)
  target_link_libraries(pw_delayed_${name} INTERFACE ${objects})
endfunction()

pw_delay_import(winhttp WinHttpAddRequestHeaders WinHttpCloseHandle WinHttpConnect WinHttpOpen WinHttpOpenRequest
                WinHttpGetProxyForUrl WinHttpQueryAuthSchemes WinHttpQueryHeaders WinHttpReadData WinHttpReceiveResponse
                WinHttpSendRequest WinHttpSetCredentials WinHttpSetOption)
pw_delay_import(wininet HttpAddRequestHeadersW HttpOpenRequestW HttpQueryInfoW HttpSendRequestW InternetCloseHandle
                InternetConnectW InternetOpenW InternetQueryOptionW InternetReadFile
                InternetSetOptionW)
pw_delay_import(wintrust WTHelperGetProvSignerFromChain WTHelperProvDataFromStateData WinVerifyTrust)
pw_delay_import(crypt32 CertAddStoreToCollection CertCloseStore CertEnumCertificatesInStore CertFreeCertificateChain
                CertFreeCertificateContext CertGetCertificateChain CertGetNameStringW CertOpenStore
                CertOpenSystemStoreW CertVerifyCertificateChainPolicy)
pw_delay_import(secur32 AcquireCredentialsHandleW DeleteSecurityContext FreeContextBuffer FreeCredentialsHandle
                InitializeSecurityContextW)
pw_delay_import(bcrypt BCryptCloseAlgorithmProvider BCryptCreateHash BCryptDestroyHash BCryptFinishHash
                BCryptHashData BCryptOpenAlgorithmProvider)
pw_delay_import(comctl32 ImageList_Create ImageList_Destroy)
# AccessibleObjectFromWindow: the window tests read the window as a screen
# reader does.
pw_delay_import(oleacc AccessibleObjectFromWindow CreateStdAccessibleObject LresultFromObject)
pw_delay_import(oleaut32 SysAllocString SysAllocStringLen SysFreeString VariantInit)
# VERSION is no DLL the system always takes from its own folder: imported
# directly, it would be looked for beside the program before anything of the
# program runs.
pw_delay_import(version GetFileVersionInfoSizeW GetFileVersionInfoW VerQueryValueW)
