#pragma once
// Opens the target folder after a run through the desktop (xdg-open on Linux, open on macOS);
// the encoder and the upload tool are started as the system's own starter does.
#include "platform/ProcessStarter.h"

#include <memory>

namespace kelvo::transfer {

class DesktopOpener final : public platform::ProcessStarter {
public:
    DesktopOpener();
    bool shellOpen(const std::filesystem::path& file) override;
    bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override;

private:
    std::unique_ptr<platform::ProcessStarter> system_;
};

} // namespace kelvo::transfer
