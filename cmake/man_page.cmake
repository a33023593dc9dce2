# Writes a program's manual page with help2man from its own --help and
# --version, gzipped for installing. Run as
#   cmake -DPROGRAM=... -DSUMMARY=... -DINCLUDES=a.h2m;b.h2m [-DVERBS=TRUE] -DOUTPUT=x.1.gz -P man_page.cmake
# With VERBS, a COMMANDS section holds `PROGRAM VERB --help` for each verb
# listed under "Commands:" in `PROGRAM --help`.
get_filename_component(name ${OUTPUT} NAME)
string(REGEX REPLACE "\\.1\\.gz$" "" name "${name}")
get_filename_component(dir ${OUTPUT} DIRECTORY)
set(include ${dir}/${name}.h2m)
set(page ${dir}/${name}.1)

set(text "")
foreach(file IN LISTS INCLUDES)
  file(READ ${file} part)
  string(APPEND text "${part}\n")
endforeach()
if(VERBS)
  execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE usage RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name} --help failed (${rc})")
  endif()
  string(REGEX MATCH "Commands:\n(  [^\n]*\n)+" commands "${usage}")
  string(REGEX MATCHALL "\n  [a-z][-a-z]*" verbs "${commands}")
  list(TRANSFORM verbs REPLACE "^\n  " "")
  if(NOT verbs)
    message(FATAL_ERROR "${name} --help lists no commands")
  endif()
  string(APPEND text "[COMMANDS]\n")
  foreach(verb IN LISTS verbs)
    execute_process(COMMAND ${PROGRAM} ${verb} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${name} ${verb} --help failed (${rc})")
    endif()
    # Verbatim roff: backslashes escaped, no line read as a request.
    string(REPLACE "\\" "\\e" help "${help}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
    string(APPEND text ".SS \"${name} ${verb}\"\n.nf\n${help}.fi\n")
  endforeach()
endif()
file(WRITE ${include} "${text}")

execute_process(COMMAND help2man --no-info --section=1 --manual "User Commands"
                        "--name=${SUMMARY}" --include=${include} --output=${page} ${PROGRAM}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM} (${rc})")
endif()
# Debian wants manual pages compressed at the highest level, without a time stamp.
execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
