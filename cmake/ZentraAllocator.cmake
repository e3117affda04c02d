# The programs allocate from jemalloc when it is there. The reading threads build contacts that
# the storing thread frees, tens of small blocks per contact; glibc's allocator takes the
# owning thread's arena lock for each such free, and with two threads reading the importer
# spent about a tenth of its time in malloc and free and waiting on those locks. jemalloc hands
# such blocks back without a shared lock. Without it (or in sanitizer builds, which bring their
# own allocator) the programs use the system allocator and behave the same, only slower.
option(ZENTRA_USE_JEMALLOC "Link the programs with jemalloc when it is installed" ON)

set(ZENTRA_JEMALLOC_TARGET "")
if(ZENTRA_USE_JEMALLOC AND NOT ZENTRA_SANITIZE AND NOT ZENTRA_FUZZ)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(ZENTRA_JEMALLOC QUIET IMPORTED_TARGET jemalloc)
  endif()
  if(ZENTRA_JEMALLOC_FOUND)
    set(ZENTRA_JEMALLOC_TARGET PkgConfig::ZENTRA_JEMALLOC)
    message(STATUS "Programs allocate from jemalloc ${ZENTRA_JEMALLOC_VERSION}")
  else()
    message(STATUS "jemalloc not found (Debian: libjemalloc-dev): programs use the system allocator")
  endif()
endif()

# Links a program (an executable, never a library) with the chosen allocator.
function(zentra_use_program_allocator target)
  if(ZENTRA_JEMALLOC_TARGET)
    target_link_libraries(${target} PRIVATE ${ZENTRA_JEMALLOC_TARGET})
  endif()
endfunction()
