# Sources of the driver installer's logic (its batch files, the udev scripts, writing and
# starting them), as paths relative to src/core.
set(KELVO_INSTALLER_SOURCES
  installer/BatchFiles.cpp
  installer/UdevScripts.cpp
  installer/DriverInstallerLogic.cpp
)
