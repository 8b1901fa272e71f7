# The Ansible collection tervane.q7 (ansible/), built into the tarball that
# `ansible-galaxy collection install` takes, and installed beside the tool's data.
find_program(TERVANE_ANSIBLE_GALAXY ansible-galaxy)
if(NOT TERVANE_ANSIBLE_GALAXY)
  message(WARNING "ansible-galaxy not found (Debian package ansible-core): the Ansible collection is not built")
  return()
endif()

# Collections take semantic versions: the project's first three numbers.
set(collectionVersion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(collectionSource ${PROJECT_SOURCE_DIR}/ansible)
set(collectionOut ${CMAKE_CURRENT_BINARY_DIR}/ansible)
set(collectionStage ${collectionOut}/q7)
set(collectionTarball ${collectionOut}/tervane-q7-${collectionVersion}.tar.gz)

find_program(TERVANE_GZIP gzip REQUIRED)

file(READ ${collectionSource}/galaxy.yml galaxy)
string(REGEX REPLACE "\nversion: [^\n]*" "\nversion: ${collectionVersion}" galaxy "${galaxy}")
file(WRITE ${collectionOut}/galaxy.yml "${galaxy}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${collectionSource}/galaxy.yml)

file(GLOB_RECURSE collectionFiles CONFIGURE_DEPENDS ${collectionSource}/*)
list(FILTER collectionFiles EXCLUDE REGEX "/__pycache__/|\\.pyc$")
add_custom_command(OUTPUT ${collectionTarball}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${collectionStage}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${collectionSource} ${collectionStage}
  COMMAND ${CMAKE_COMMAND} -E copy ${collectionOut}/galaxy.yml ${collectionStage}/galaxy.yml
  COMMAND ${TERVANE_ANSIBLE_GALAXY} collection build --force --output-path ${collectionOut} ${collectionStage}
  # Compressed again without the build time in the gzip header, as Debian wants every .gz.
  COMMAND ${TERVANE_GZIP} -df ${collectionTarball}
  COMMAND ${TERVANE_GZIP} -9nf ${collectionOut}/tervane-q7-${collectionVersion}.tar
  DEPENDS ${collectionFiles} ${collectionOut}/galaxy.yml
  COMMENT "Building the Ansible collection tervane.q7"
  VERBATIM)
add_custom_target(tervane_ansible_collection ALL DEPENDS ${collectionTarball})
install(FILES ${collectionTarball} DESTINATION ${CMAKE_INSTALL_DATADIR}/tervane-q7/ansible COMPONENT tool)
