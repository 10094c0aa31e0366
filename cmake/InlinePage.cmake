# Makes the page one self-contained file: the style sheet, the WebAssembly
# module (already embedded in its script) and the page's script written into
# the HTML, so that the file alone opens from file:// with no network.
# Run with -DDIR=<the built page's folder> -DOUT=<the file to write>.
file(READ ${DIR}/index.html page)

# Inlined text ends at the first closing tag of its element, so none may hold
# one. An optional fifth argument gives the inlined element's attributes (an
# id by which the page finds the module's text, to start workers with it).
function(inline_into page_var tag original file)
  file(READ ${DIR}/${file} text)
  string(TOLOWER "${text}" lower)
  string(FIND "${lower}" "</${tag}" closing)
  if(NOT closing EQUAL -1)
    message(FATAL_ERROR "${file} holds </${tag}: it cannot be inlined")
  endif()
  string(FIND "${${page_var}}" "${original}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "index.html does not load ${file} as ${original}")
  endif()
  string(REPLACE "${original}" "<${tag}${ARGV4}>\n${text}</${tag}>" result "${${page_var}}")
  set(${page_var} "${result}" PARENT_SCOPE)
endfunction()

inline_into(page style [[<link rel="stylesheet" href="style.css">]] style.css)
inline_into(page script [[<script id="tintwise-module" src="tintwise.js"></script>]] tintwise.js [[ id="tintwise-module"]])
inline_into(page script [[<script src="app.js"></script>]] app.js)
inline_into(page script [[<script src="picture.js"></script>]] picture.js)
inline_into(page script [[<script src="lights.js"></script>]] lights.js)
inline_into(page script [[<script src="chart.js"></script>]] chart.js)
file(WRITE ${OUT} "${page}")
