# Writes a C++ source that holds a text file as a char array, so that files
# kept as themselves in the tree (a page's style and script) are built into
# a binary. cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAME=<symbol> -P EmbedText.cmake
file(READ "${INPUT}" strText)
set(strDelimiter "embedded_text")
string(FIND "${strText}" ")${strDelimiter}\"" nClash)
if(NOT nClash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's closing sequence")
endif()
set(strSource "// Made from ${INPUT} by cmake/EmbedText.cmake.\nextern const char ${NAME}[];\nconst char ${NAME}[] = R\"${strDelimiter}(${strText})${strDelimiter}\";\n")
file(WRITE "${OUTPUT}" "${strSource}")
