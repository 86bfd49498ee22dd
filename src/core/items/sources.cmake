# Sources of the stored items (headers, scan geometry, catalogues, the upload hook), as paths
# relative to src/core.
set(KELVO_ITEMS_SOURCES
  items/CodePage.cpp
  items/TImageData.cpp
  items/OpisRecord.cpp
  items/CatalogueCopy.cpp
  items/UploadHook.cpp
  platform/Paths.cpp
  platform/SystemText.cpp
  platform/ProcessStarter.cpp
  transmission/TransmisjaCatalogue.cpp
)
