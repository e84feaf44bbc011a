# cmake -DDIR=<folder> -DLABEL=<folder as named in the source> -DNAME=<function> -DOUT=<file.cpp> -P EmbedSql.cmake
# Writes a source that returns the texts of DIR/NNN_*.sql in the order of
# their numbers, which must run 001, 002, ... without a gap.
file(GLOB files RELATIVE ${DIR} ${DIR}/[0-9][0-9][0-9]_*.sql)
list(SORT files)
set(body "")
set(expected 1)
foreach(name ${files})
  string(SUBSTRING ${name} 0 3 number)
  math(EXPR number "${number}")
  if(NOT number EQUAL expected)
    message(FATAL_ERROR "${DIR}/${name}: migration ${expected} expected")
  endif()
  math(EXPR expected "${expected} + 1")
  file(READ ${DIR}/${name} text)
  string(FIND "${text}" ")sql\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${DIR}/${name} holds the text that ends the literal")
  endif()
  string(APPEND body "        R\"sql(${text})sql\",\n")
endforeach()
set(source "// Generated from the numbered .sql files of ${LABEL}; do not edit.
#include \"server/storage/Migrations.h\"

namespace zyr::server {

std::span<const char* const> ${NAME}()
{
    static const char* const kSteps[] = {
${body}    };
    return kSteps;
}

} // namespace zyr::server
")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${source}")
  file(WRITE ${OUT} "${source}")
endif()
