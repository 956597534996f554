# pw_add_module(<name> PORTABLE <src...> WINDOWS <src...> DEPS <targets...>)
# One library per source folder. PORTABLE sources are built everywhere (the
# native build takes only those); WINDOWS sources join them in the Windows
# build. A module with no sources for this build becomes an interface target,
# so dependants link it unconditionally.
function(pw_add_module name)
  cmake_parse_arguments(M "" "" "PORTABLE;WINDOWS;DEPS;WINDOWS_DEPS" ${ARGN})
  set(sources ${M_PORTABLE})
  if(WIN32)
    list(APPEND sources ${M_WINDOWS})
  endif()
  if(sources)
    add_library(pw_${name} STATIC ${sources})
    target_include_directories(pw_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(pw_${name} PUBLIC ${M_DEPS})
    if(WIN32 AND M_WINDOWS_DEPS)
      target_link_libraries(pw_${name} PUBLIC ${M_WINDOWS_DEPS})
    endif()
  else()
    add_library(pw_${name} INTERFACE)
    target_include_directories(pw_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(pw_${name} INTERFACE ${M_DEPS})
  endif()
endfunction()
