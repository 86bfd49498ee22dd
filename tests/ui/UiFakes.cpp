#include "UiFakes.h"

namespace kelvo::test {

bool PluggableBackend::initLib() {
    ++initCalls;
    return !initFails && inner_.initLib();
}

bool PluggableBackend::findDevice(std::string& p_path, int p_typ) {
    ++findCalls;
    return plugged && inner_.findDevice(p_path, p_typ);
}

std::unique_ptr<UsbPort> PluggableBackend::openDevice(const std::string& p_path) {
    ++opens;
    if (openFails) throw UsbOpenError("the scanner is in use by another program");
    return inner_.openDevice(p_path);
}

void RecordingShell::errorReport(const std::string& text, const std::string& detail) {
    (void)detail;
    errors.push_back(text);
    if (duringErrorReport) duringErrorReport();
}

std::optional<std::filesystem::path> RecordingShell::chooseFolder() {
    ++folderDialogs;
    if (duringFolderDialog) duringFolderDialog();
    return folder;
}

} // namespace kelvo::test
