# CPack pre-build script: the package must not own the user's database, or an
# upgrade would replace it. postinst copies the default into place instead.
file(GLOB_RECURSE live_dbs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/Kestrava.mdb")
foreach(db ${live_dbs})
  message(STATUS "Left out of the package: ${db}")
  file(REMOVE "${db}")
endforeach()
