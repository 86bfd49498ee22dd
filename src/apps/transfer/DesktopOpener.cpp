#include "DesktopOpener.h"

#include "base/AtomicFile.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace kelvo::transfer {

DesktopOpener::DesktopOpener() : system_(platform::systemProcessStarter()) {}

bool DesktopOpener::shellOpen(const std::filesystem::path& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(pathToUtf8(file))));
}

bool DesktopOpener::startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    return system_->startDetached(program, arguments);
}

} // namespace kelvo::transfer
