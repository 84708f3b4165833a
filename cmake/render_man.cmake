# SPDX-License-Identifier: MIT
# Renders the manual page as plain text with CR LF line ends, for readers
# without man: no bold or underline by overstrike, no escape sequences.
# usage: cmake -DGROFF=groff -DPAGE=tamrik.1 -DOUTPUT=tamrik.txt -P render_man.cmake
execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${PAGE}
                OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  message(FATAL_ERROR "groff could not render ${PAGE} (status ${status}): ${errors}")
endif()
string(ASCII 8 backspace)
string(ASCII 27 escape)
if(text MATCHES "[${backspace}${escape}]")
  message(FATAL_ERROR "groff left overstrikes or escape sequences in ${OUTPUT}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
