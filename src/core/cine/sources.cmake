# Sources of the cines: download and raw file, frames, the video encoder and the cine run, as
# paths relative to src/core.
set(KELVO_CINE_SOURCES
  cine/CineFrames.cpp
  cine/FrameExport.cpp
  cine/VideoEncoder.cpp
  cine/CineExport.cpp
  platform/ShortPath.cpp
  platform/ProgramRun.cpp
  transmission/TransmisjaCine.cpp
  transmission/TransmisjaAVI.cpp
  workflow/EndSteps.cpp
  workflow/CineWorkflow.cpp
)
