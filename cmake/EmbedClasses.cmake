# Makes the games' class tables (lights/classes/GAME.tsv) a C++ source of
# the lights library: each table's text as a string, in the order of
# LightsGame, with what the reader needs of it alone: comments and each row's
# source left out (the data files keep them), and a class whose values are
# all Actor's given by its name alone.
# Run with -DDIR=<lights/classes> -DOUT=<the source to write> -DGAMES=<the games, in order>.
set(body "// Made from lights/classes/*.tsv by cmake/EmbedClasses.cmake; edit those, not this.\n#include \"classes.h\"\n\nnamespace tintwise {\nnamespace lights_classes {\n\nconst char* const kTables[] = {\n")
foreach(game IN LISTS GAMES)
  file(READ ${DIR}/${game}.tsv text)
  string(REGEX REPLACE "#[^\n]*\n" "" text "${text}")          # comments
  string(REGEX REPLACE "\t[^\t\n]*\n" "\n" text "${text}")      # each row's source, its last field
  string(REGEX REPLACE "\t[^\t\n]*\tactor\n" "\n" text "${text}") # a plain class: its name alone
  string(APPEND body "R\"tsv(${text})tsv\",\n")
endforeach()
string(APPEND body "};\n\n} // namespace lights_classes\n} // namespace tintwise\n")
file(WRITE ${OUT}.new "${body}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
