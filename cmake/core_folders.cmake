# The folders under src/ that make up the Qt-free core library, parlatrix_core. The main build and
# the fuzz build (fuzz/CMakeLists.txt) both read this one list.
set(PARLATRIX_CORE_FOLDERS platform model dlgfile interchange config merge search)
