# The sources of the transfer program's windows. A window started from this folder keeps the
# height it was designed with (the file's name marks the program's source folder).
set(KELVO_TRANSFER_QT_SOURCES
  SmokySkin.cpp
  CaptionButton.cpp
  TFormSelect.cpp
  WorkflowThread.cpp
  DesktopOpener.cpp
  TForm68.cpp
  Screenshots.cpp
)
