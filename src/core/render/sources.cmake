# Sources of the image renderer and the image download, as paths relative to src/core.
set(KELVO_RENDER_SOURCES
  render/ImageRenderer.cpp
  transmission/TransmisjaImage.cpp
  workflow/RunningTransfer.cpp
  workflow/ImageWorkflow.cpp
)
