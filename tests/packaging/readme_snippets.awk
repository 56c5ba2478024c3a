# Extracts README.md's examples into the folder OUT, verbatim:
# - a fenced block after a line "Save as `NAME`" goes to OUT/NAME;
# - the CMake block goes to OUT/CMakeLists.txt;
# - the sh blocks of "## Install" go to OUT/install.sh, and those of
#   "## Use it" for C, CMake and C++ to OUT/use.sh (Python and the browser
#   have tests of their own).
#
#   awk -v OUT=folder -f readme_snippets.awk README.md
/^## / { section = $0 }
/^### / { subsection = $0 }
!fenced && /^```/ {
  fenced = 1
  lang = substr($0, 4)
  target = ""
  if (pending != "") {
    target = OUT "/" pending
  } else if (lang == "cmake") {
    target = OUT "/CMakeLists.txt"
  } else if (lang == "sh" && section == "## Install") {
    target = OUT "/install.sh"
  } else if (lang == "sh" && section == "## Use it" && subsection ~ /^### From (C|CMake|C[+][+])$/) {
    target = OUT "/use.sh"
  }
  pending = ""
  next
}
fenced && /^```$/ { fenced = 0; next }
fenced { if (target != "") print > target; next }
match($0, /Save as `[^`]+`/) { pending = substr($0, RSTART + 9, RLENGTH - 10) }
