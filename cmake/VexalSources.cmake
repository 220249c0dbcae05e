# Source layout rules shared by the CMake files:
#   src/<folder>/*.cpp       plain C++ (no Qt, no device): the library vexal_<folder>
#   src/<folder>/qt/*.cpp    Qt widgets and adapters: the library vexal_<folder>_qt
#   src/app/main.cpp         the program entry
#   tests/<folder>/          the folder's tests; tests/support/ the doubles they share
# New files are picked up by these globs; no CMake edit is needed for them. The folders,
# lowest first:
set(VEXAL_SUBSYSTEMS common link decode record analysis archive report app)
