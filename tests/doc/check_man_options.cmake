# cmake -DPROGRAM=... -DHELP_ARGS=... -DPAGE=... -P check_man_options.cmake
# Runs PROGRAM HELP_ARGS and fails unless every option its help prints (-x, --word) appears in the
# manual page source PAGE as a word of its own.
execute_process(COMMAND ${PROGRAM} ${HELP_ARGS} OUTPUT_VARIABLE help ERROR_VARIABLE help
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${HELP_ARGS} ended with ${status}:\n${help}")
endif()
file(READ ${PAGE} page)

# Brackets and semicolons would bend CMake's list splitting; they never belong to an option.
string(REGEX REPLACE "[][;]" " " help "${help}")
string(REGEX MATCHALL "(^|[^A-Za-z0-9_-])--?[a-z][a-z0-9-]*" found "${help}")
set(options)
foreach(match IN LISTS found)
  string(REGEX MATCH "--?[a-z][a-z0-9-]*" option "${match}")
  list(APPEND options ${option})
endforeach()
list(REMOVE_DUPLICATES options)
if(NOT options)
  message(FATAL_ERROR "no options found in the help of ${PROGRAM}:\n${help}")
endif()

set(missing)
foreach(option IN LISTS options)
  if(NOT page MATCHES "(^|[^A-Za-z0-9_-])${option}([^A-Za-z0-9_-]|$)")
    list(APPEND missing ${option})
  endif()
endforeach()
if(missing)
  list(JOIN missing " " missing)
  message(FATAL_ERROR "options not in ${PAGE}: ${missing}")
endif()
list(LENGTH options count)
message(STATUS "all ${count} options of the help are in ${PAGE}: ${options}")
