# SPDX-License-Identifier: MIT
# Run at install time (install(CODE) of desktop/CMakeLists.txt, once per
# component): installs the MIB folder's modules of one licence. The folder's
# .nonfree, written by scripts/fetch-mibs.sh, names the modules that may be
# copied but not modified; NORVANE_NONFREE (1 or 0) says whether those or
# the others are installed.
file(GLOB _norvane_modules LIST_DIRECTORIES false "${NORVANE_BUILD_MIBDIR}/*")
set(_norvane_listed)
if(EXISTS "${NORVANE_BUILD_MIBDIR}/.nonfree")
  file(STRINGS "${NORVANE_BUILD_MIBDIR}/.nonfree" _norvane_listed)
endif()
set(_norvane_chosen)
foreach(_norvane_module IN LISTS _norvane_modules)
  cmake_path(GET _norvane_module FILENAME _norvane_name)
  if(_norvane_name MATCHES "^\\.")
    continue()
  endif()
  list(FIND _norvane_listed "${_norvane_name}" _norvane_at)
  if(_norvane_at EQUAL -1)
    set(_norvane_at 0)
  else()
    set(_norvane_at 1)
  endif()
  if(_norvane_at EQUAL NORVANE_NONFREE) # 1 or 0
    list(APPEND _norvane_chosen "${_norvane_module}")
  endif()
endforeach()
if(_norvane_chosen)
  file(INSTALL ${_norvane_chosen} DESTINATION "${CMAKE_INSTALL_PREFIX}/${NORVANE_MIB_INSTALL_DIR}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
# Run in cmake_install.cmake's own scope, where a variable named like a
# component would change its component tests (CMP0054): nothing stays behind.
unset(_norvane_modules)
unset(_norvane_listed)
unset(_norvane_chosen)
unset(_norvane_module)
unset(_norvane_name)
unset(_norvane_at)
