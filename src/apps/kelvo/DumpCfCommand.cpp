#include "Commands.h"
#include "ScannerAccess.h"

namespace kelvo::cli {

int runDumpCf(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.arguments.size() != 1) throw UsageError("dump-cf needs the FILE to write");
    const std::filesystem::path file = options.arguments[0];
    ScannerAccess access(options);
    Transmission tx(access.device());
    const auto failed = tx->writeCF(file, [&](int chunk) {
        err << "Reading CF chunk " << chunk + 1 << "/" << kCfChunks << " (8 MiB)\n" << std::flush;
    });
    if (!failed.empty()) {
        err << "The scanner did not deliver chunk";
        if (failed.size() > 1) err << 's';
        for (std::size_t i = 0; i < failed.size(); ++i) err << (i ? ", " : " ") << failed[i] + 1;
        err << " of " << kCfChunks << "; " << (failed.size() > 1 ? "they are" : "it is") << " left as zeros in \""
            << file.string() << "\".\n";
        return kExitFailed;
    }
    out << "Wrote 64 MiB of CF storage to \"" << file.string() << "\"\n";
    return kExitOk;
}

} // namespace kelvo::cli
