#pragma once
// --screenshot FOLDER: the main window as shown ("transfer_main_not_connected.png" or
// "transfer_main_connected.png", whichever it is), and, when connected, the selection dialog filled by an
// image run into a scratch folder ("transfer_select.png"); then the program ends. For the docs.
#include "TForm68.h"

#include "platform/ProcessStarter.h"

#include <filesystem>
#include <memory>

namespace kelvo::transfer {

// Takes the pictures once the event loop runs; the program quits when they are saved.
void takeScreenshots(TForm68& window, const std::filesystem::path& folder);

// A folder chooser for the screenshot run: always `folder`.
FolderChooser fixedFolder(const std::filesystem::path& folder);

// Opens and starts nothing.
std::unique_ptr<platform::ProcessStarter> quietStarter();

} // namespace kelvo::transfer
