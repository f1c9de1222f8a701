# Sources of the window toolkit and the seven windows (library daubix_ui),
# and the program's entry point.
set(DAUBIX_UI_SOURCES
)
set(DAUBIX_UI_MAIN "")
