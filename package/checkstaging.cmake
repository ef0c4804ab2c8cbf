# SPDX-License-Identifier: MIT
# Run by CPack on the staged files, before it builds the package from them.

# The manual page names the installed MIB folder, worked out from the prefix
# the build was configured with: it has to be the package's.
if(NOT CPACK_NORVANE_INSTALL_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(FATAL_ERROR "The package installs to ${CPACK_PACKAGING_INSTALL_PREFIX}, but this build folder was "
                      "configured for ${CPACK_NORVANE_INSTALL_PREFIX}: configure it with "
                      "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX} (scripts/package.sh does).")
endif()

# Without its modules the program runs, but shows numbers where names belong.
# Each package has its share of the MIB folder: norvane the modules that may
# be modified, norvane-mibs-nonfree the others.
foreach(component norvane nonfree)
  file(GLOB modules "${CPACK_TEMPORARY_DIRECTORY}/${component}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_NORVANE_MIB_DIR}/*")
  if(NOT modules)
    message(FATAL_ERROR "The MIB folder is empty: no MIB modules to package (component ${component}). Fill it "
                        "first with scripts/fetch-mibs.sh (the set-up of scripts/run.sh, test.sh and package.sh "
                        "does), which needs the package registries once.")
  endif()
endforeach()
