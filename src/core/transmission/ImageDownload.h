#pragma once
// What the download of one stored image needs from its caller, and what it reports back.
#include "items/CodePage.h"
#include "platform/Paths.h"
#include "platform/ProcessStarter.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kelvo {

struct ImageDownloadSettings {
    // The program's folders, where "RFID.ini" and the upload tool are looked for. Unset: this
    // process's (next to the executable, then the per-user config folder).
    std::optional<platform::AppFolders> programFolders;
    // Starts the upload tool; not owned. Unset: the system's own.
    platform::ProcessStarter* starter = nullptr;
    // A modal message of the upload hook ("Brak pliku:..."); returns once the user has closed
    // it. Unset: the message is dropped.
    std::function<void(const std::string&)> showMessage;
    // The code page of the scanner's RFID and description bytes.
    CodePage codePage = kDefaultCodePage;
};

struct ImageDownload {
    enum class Outcome {
        Saved,      // the bitmap is written (and handed to the upload hook when it is on)
        NoReply,    // the read could not start, the command was not sent, or the wait ran out
        ShortReply, // the reply ended before a whole picture had arrived
    };
    Outcome outcome = Outcome::NoReply;
    std::filesystem::path file; // the bitmap written (Saved only)
    std::size_t deliveredBytes = 0;
    bool uploaded = false; // the upload hook ran for it

    bool saved() const { return outcome == Outcome::Saved; }
};

} // namespace kelvo
