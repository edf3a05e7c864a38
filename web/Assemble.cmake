# Puts the page together: web/index.html with its style sheet, its script and the module
# (a script holding the WebAssembly as base64) put in the places the page marks.
#   cmake -DSOURCE=web -DCORE=lumiveil-core.js -DVERSION=V -DOUTPUT=page.html -P Assemble.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${SOURCE}/index.html page)
file(READ ${SOURCE}/page.css style)
file(READ ${SOURCE}/page.js script)
file(READ ${CORE} core)
# A "</script" inside a script would end it early; the module's text has none, and the
# check keeps it so.
string(FIND "${core}${script}" "</script" inside)
if(NOT inside EQUAL -1)
  message(FATAL_ERROR "a script holds </script")
endif()
string(REPLACE "/*@STYLE@*/" "${style}" page "${page}")
string(REPLACE "/*@CORE@*/" "${core}" page "${page}")
string(REPLACE "/*@SCRIPT@*/" "${script}" page "${page}")
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
