# Updates a copy of the translation TS from the SOURCES list with LUPDATE and OPTIONS, then fails
# naming every entry that is unfinished (a new or changed text), vanished or obsolete (a text
# no longer in the sources), or finished but empty.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(copy ${WORK}/zorbel_en.ts)
file(COPY_FILE ${TS} ${copy})
execute_process(COMMAND ${LUPDATE} -silent ${OPTIONS} -I ${INCLUDE} @${SOURCES} -ts ${copy}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status})")
endif()
file(READ ${copy} ts)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation( type=\"(unfinished|vanished|obsolete)\"[^>]*>|>[ \n]*</translation>)"
       faults "${ts}")
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation>[ \n]*(<numerusform>[^<]*</numerusform>[ \n]*)*<numerusform></numerusform>"
       emptyForms "${ts}")
list(APPEND faults ${emptyForms})
list(LENGTH faults count)
if(count GREATER 0)
    string(JOIN "\n" listed ${faults})
    message(FATAL_ERROR "${count} entries of ${TS} need work (run `ninja update_translations` "
                        "and translate what it marks unfinished):\n${listed}")
endif()
string(REGEX MATCHALL "<message" messages "${ts}")
list(LENGTH messages total)
message(STATUS "${total} texts, all translated")
