# The platform of the WebAssembly build (emcmake cmake, see make web): no SDL, no PNG and no
# threads, the display on a canvas, and the document compiler taken from a build for this machine.
set(QM_PROGRAM_DISPLAY qm_display_web)

# Pages served without cross-origin isolation cannot use threads: nothing is built with -pthread.
# The module player links Threads::Threads for its desktop output thread; here it names nothing.
add_library(Threads::Threads INTERFACE IMPORTED)

# contentc turns the issue's documents into C++ at build time, so it must run here, not in the
# browser.
set(QM_CONTENTC "" CACHE FILEPATH "contentc built for the build machine")
if(NOT EXISTS "${QM_CONTENTC}")
  message(FATAL_ERROR "QM_CONTENTC must name a contentc built for this machine (make web does)")
endif()
add_executable(contentc IMPORTED)
set_target_properties(contentc PROPERTIES IMPORTED_LOCATION "${QM_CONTENTC}")

# html5.h and EM_JS only; the program's own code builds as on the desktop.
add_compile_options(-fno-exceptions)
