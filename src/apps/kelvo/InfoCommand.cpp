#include "Commands.h"
#include "ScannerAccess.h"
#include "workflow/Messages.h"

#include <iomanip>

namespace kelvo::cli {

std::string forTerminal(std::string message) {
    std::erase(message, '\r');
    return message;
}

int runInfo(const Options& options, std::ostream& out, std::ostream& err) {
    ScannerAccess access(options);
    Transmission tx(access.device());
    if (!tx.synchronised()) err << "warning: the scanner did not answer while synchronising\n";

    auto row = [&](const char* label) -> std::ostream& { return out << std::left << std::setw(19) << label; };
    std::int32_t magic = 0, svn = 0;
    if (!tx->Daj_magic_number(magic)) {
        err << messages::kTryAgain << "\nThe scanner did not answer the magic-number query.\n";
        return kExitFailed;
    }
    row("Magic number:") << magic << '\n';
    if (magic != messages::kMagicNumber) {
        err << messages::kTryAgain << "\nThe device answered magic number " << magic << "; a Kelvo scanner answers "
            << messages::kMagicNumber << ". Switch the scanner off and on, and try again.\n";
        return kExitFailed;
    }
    if (!tx->Daj_svn_version(svn)) {
        err << messages::kTransmissionProblem << "\nThe scanner did not answer the software-revision query.\n";
        return kExitFailed;
    }
    row("Software revision:") << svn << '\n';
    if (svn < messages::kRequiredSvnVersion) {
        err << forTerminal(messages::tooOldHardware(svn)) << '\n';
        return kExitFailed;
    }

    bool allAnswered = true;
    auto noAnswer = [&] {
        allAnswered = false;
        return "(no answer)";
    };
    std::int32_t probe = 0, lh = 0, versionSvn = 0, fov = 0, images = 0, cines = 0;
    if (tx->Daj_version(probe, lh, versionSvn))
        row("Version words:") << "probe " << probe << ", LH " << lh << ", SVN " << versionSvn << '\n';
    else row("Version words:") << noAnswer() << '\n';
    if (tx->Daj_pole_widzenia(fov)) row("Field of view:") << fov << " mm\n";
    else row("Field of view:") << noAnswer() << '\n';
    if (tx->Daj_image_max(images)) row("Images:") << images << '\n';
    else row("Images:") << noAnswer() << '\n';
    if (tx->Daj_cine_max(cines)) row("Cines:") << cines << '\n';
    else row("Cines:") << noAnswer() << '\n';
    if (!allAnswered) {
        err << messages::kTransmissionProblem << "\nThe scanner did not answer every query.\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace kelvo::cli
