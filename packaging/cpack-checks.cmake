# Read by cpack before it packs.
# The programs look for libzun2.so in the library folder of the prefix they were configured for,
# so a package that installs into /usr needs a build configured for /usr.
if(NOT CPACK_ZUN2_CONFIGURED_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(FATAL_ERROR "this build is configured for ${CPACK_ZUN2_CONFIGURED_PREFIX}, the package installs "
                      "into ${CPACK_PACKAGING_INSTALL_PREFIX}: configure it with "
                      "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX}")
endif()
# The same sources make the same package: its files are dated SOURCE_DATE_EPOCH, by default the
# changelog's release date.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ZUN2_RELEASE_EPOCH})
endif()
