# Writes a C++ source file that holds the text of each image-list picture.
# cmake -DPICTURES=<folder of NN.xpm> -DCOUNT=<number> -DOUTPUT=<file.cpp> -P EmbedPictures.cmake
# The output is rewritten only when its content changes.
set(delimiter "xpm")
set(body "")
math(EXPR last "${COUNT} - 1")
foreach(i RANGE ${last})
  if(i LESS 10)
    set(name "0${i}")
  else()
    set(name "${i}")
  endif()
  file(READ "${PICTURES}/${name}.xpm" text)
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${PICTURES}/${name}.xpm holds the text )${delimiter}\" and cannot be embedded")
  endif()
  string(APPEND body "    R\"${delimiter}(${text})${delimiter}\",\n")
endforeach()

set(content "// Written by the build from resources/pictures/*.xpm; edit those files instead.
#include \"tray/ImageListSources.h\"

namespace quorvel {

static_assert(ImageCount == ${COUNT}, \"the build embeds ${COUNT} pictures\");

const std::string_view ImageListSources[] = {
${body}};

}  // namespace quorvel
")
file(WRITE "${OUTPUT}.new" "${content}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
