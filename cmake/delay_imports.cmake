# Windows libraries the program needs only after its main window is on
# screen: the network (the player's movie, the metadata feed), Media
# Foundation and COM (the first video), the version record and the shell
# (the about box and its link).
# Bound at load time, Wine maps and starts each of them, and the libraries
# they pull in, before the first line of the program runs; bound on first
# call instead, their cost moves to where they are first used.
#
# For each name below an imported library of the same name is made from the
# MinGW import library, so every target_link_libraries(... wininet ...) in
# the tree links the delay-load form without saying so. A library missing
# at run time shows at its first call rather than at start; these are all
# part of every Windows (and Wine) this program runs on.
set(CLIPDECK_DELAY_IMPORTS wininet mfplat mfreadwrite ole32 oleaut32 version shell32)

find_program(CLIPDECK_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(CLIPDECK_NM NAMES x86_64-w64-mingw32-nm REQUIRED)

foreach(name IN LISTS CLIPDECK_DELAY_IMPORTS)
  find_library(CLIPDECK_IMPORT_LIB_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
  set(implib ${CLIPDECK_IMPORT_LIB_${name}})
  set(out ${CMAKE_BINARY_DIR}/delay_imports)
  file(MAKE_DIRECTORY ${out})
  execute_process(COMMAND ${CLIPDECK_DLLTOOL} --identify ${implib}
    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CLIPDECK_NM} ${implib}
    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE " I __imp_" "")
  list(REMOVE_DUPLICATES imports)
  list(JOIN imports "\n  " exports)
  file(WRITE ${out}/${name}.def "LIBRARY ${dll}\nEXPORTS\n  ${exports}\n")
  execute_process(COMMAND ${CLIPDECK_DLLTOOL} --input-def ${out}/${name}.def --dllname ${dll}
    --output-delaylib ${out}/lib${name}_delay.a COMMAND_ERROR_IS_FATAL ANY)
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${out}/lib${name}_delay.a)
endforeach()
