# Removes what the last install put down: every file of its manifest (under $DESTDIR when that is
# set, as the install was) and the program's own folders that are left empty. Nothing else: a
# shared folder such as share/icons/hicolor/16x16/apps stays, even when it is empty.
# Usage: cmake -DMANIFEST=<build>/install_manifest.txt -P cmake/Uninstall.cmake

if(NOT MANIFEST OR NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: no install manifest at '${MANIFEST}'")
endif()

file(STRINGS "${MANIFEST}" installed)
set(own_folders)
foreach(file ${installed})
  set(path "$ENV{DESTDIR}${file}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    file(REMOVE "${path}")
    message(STATUS "Removed ${path}")
  endif()
  get_filename_component(folder "${path}" DIRECTORY)
  get_filename_component(folder_name "${folder}" NAME)
  if(folder_name STREQUAL "brevant")
    list(APPEND own_folders "${folder}")
  endif()
endforeach()

list(REMOVE_DUPLICATES own_folders)
foreach(folder ${own_folders})
  file(GLOB left LIST_DIRECTORIES true "${folder}/*" "${folder}/.*")
  # The folder is empty, so removing it "recursively" removes the folder alone.
  if(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}" AND NOT left)
    file(REMOVE_RECURSE "${folder}")
    message(STATUS "Removed ${folder}/")
  endif()
endforeach()
