# Source layout rules shared by the CMake files:
#   src/<subsystem>/*.cpp       plain C++ (no Qt, no device): the vexal_core library
#   src/<subsystem>/qt/*.cpp    Qt widgets and adapters: the vexal_gui library
#   src/app/main.cpp            the program entry
# New files are picked up by these globs; no CMake edit is needed for them.
set(VEXAL_SUBSYSTEMS link decode record app report)
