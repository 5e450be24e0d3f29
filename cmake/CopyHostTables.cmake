# Copies the derived tables of a host build (FROM) into this build's table directory (TO).

foreach(table IN LISTS TABLES)
  if(NOT EXISTS "${FROM}/${table}")
    message(FATAL_ERROR "${FROM}/${table} is missing: build the host programs first, for example "
                        "cmake --preset local && cmake --build --preset local")
  endif()
  file(COPY_FILE "${FROM}/${table}" "${TO}${table}" ONLY_IF_DIFFERENT)
endforeach()
