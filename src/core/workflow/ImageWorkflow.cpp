#include "workflow/ImageWorkflow.h"

#include "workflow/EndSteps.h"
#include "workflow/Messages.h"

namespace kelvo {
namespace {

constexpr std::int32_t kMagicNumber = messages::kMagicNumber;
constexpr std::int32_t kRequiredSvn = messages::kRequiredSvnVersion;

ImageRun checkFailed(ImageWorkflowHost& host, std::string text) {
    // No status text before the box: "Finish!" follows once it is closed.
    host.message(text);
    ImageRun run;
    run.end = ImageRun::End::CheckFailed;
    run.message = std::move(text);
    return run;
}

// Steps 3 to 12: everything between creating the transfer object and the end steps.
ImageRun runImages(TQX27R_Transmisja& v_usb, const std::filesystem::path& p_folder, ImageWorkflowHost& host,
                   const ImageDownloadSettings& settings) {
    // The image run leaves a_EventUpdateSTR alone: only the cine export reports through it.
    v_usb.a_folder = p_folder;
    v_usb.WlaczTransmisjeUSB();
    (void)v_usb.synchronizuj(); // its outcome shows in the queries that follow

    std::int32_t p_magic_number = 0, p_svn_version = 0, p_image_max = 0;
    if (!v_usb.Daj_magic_number(p_magic_number) || p_magic_number != kMagicNumber)
        return checkFailed(host, messages::kTryAgain);
    if (!v_usb.Daj_svn_version(p_svn_version)) return checkFailed(host, messages::kTransmissionProblem);
    if (p_svn_version < kRequiredSvn) return checkFailed(host, messages::tooOldHardware(p_svn_version));
    if (!v_usb.Daj_image_max(p_image_max)) return checkFailed(host, messages::kTransmissionProblem);
    if (p_image_max <= 0) return checkFailed(host, messages::kNoImages);
    if (!v_usb.Daj_images_opisy(p_image_max)) return checkFailed(host, messages::kImageDescriptionsProblem);
    v_usb.Create_image_list(p_image_max);

    ImageRun run;
    const std::optional<std::vector<bool>> ticks = host.select(v_usb.a_image_list);
    if (!ticks) {
        run.end = ImageRun::End::Cancelled;
        return run;
    }
    auto zaznaczony = [&](std::int32_t p_id) {
        return static_cast<std::size_t>(p_id) < ticks->size() && (*ticks)[static_cast<std::size_t>(p_id)];
    };

    const auto n = static_cast<std::int32_t>(v_usb.a_image_list.size()); // read once, before the loop
    run.entries = n;
    for (std::int32_t p_id = 0; p_id < n; ++p_id) {
        host.status(messages::imageProgress(p_id, n));
        host.processMessages();
        host.processMessages();
        if (zaznaczony(p_id)) {
            const ImageDownload result = v_usb.pobierajImage(p_id, settings);
            ++run.ticked;
            if (result.saved()) ++run.saved;
            else run.failed.push_back(p_id);
            host.imageDone(p_id, *v_usb.a_image_list[static_cast<std::size_t>(p_id)], result);
        }
        host.processMessages();
        if (v_usb.a_break) {
            if (p_id + 1 < n) run.end = ImageRun::End::Broken;
            break;
        }
    }
    return run;
}

} // namespace

ImageRun GetImages(TUSB_Device& usb_device, const std::filesystem::path& p_folder, ImageWorkflowHost& host,
                   RunningTransfer& v_usb, ImageDownloadSettings settings) {
    if (!settings.showMessage) settings.showMessage = [&host](const std::string& text) { host.message(text); };

    (void)USB_Set_Transfer_Size(usb_device); // its result is not looked at
    const auto transfer = std::make_unique<TQX27R_Transmisja>(usb_device);
    // Declared after the object: detached before it is freed, on every way out.
    const RunningTransfer::Scope attached(v_usb, *transfer);

    // Step 13 but for freeing the object, which its owner does: on every way out.
    EndSteps end(host, *transfer);
    ImageRun run = runImages(*transfer, p_folder, host, settings);
    end.finish();
    return run;
}

} // namespace kelvo
