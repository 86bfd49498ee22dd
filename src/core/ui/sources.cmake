# Sources of the windows' logic without a toolkit (main window, placement file, selection
# dialog), as paths relative to src/core.
set(KELVO_UI_SOURCES
  ui/AppIdentity.cpp
  ui/WindowPlacement.cpp
  ui/MainWindowLogic.cpp
  ui/SelectionLogic.cpp
)
