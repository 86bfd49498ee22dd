#include "workflow/CineWorkflow.h"

#include "workflow/EndSteps.h"
#include "workflow/Messages.h"

#include <set>

namespace kelvo {
namespace {

constexpr std::int32_t kMagicNumber = messages::kMagicNumber;
constexpr std::int32_t kRequiredSvn = messages::kRequiredSvnVersion;

CineRun checkFailed(CineWorkflowHost& host, std::string text) {
    host.message(text); // "Finish!" follows once it is closed
    CineRun run;
    run.end = CineRun::End::CheckFailed;
    run.message = std::move(text);
    return run;
}

// Each text once per run: three cines without an encoder are one message, not three.
class OnceEach {
public:
    explicit OnceEach(CineWorkflowHost& host) : host_(host) {}
    void operator()(const std::string& text) {
        if (!text.empty() && shown_.insert(text).second) host_.message(text);
    }

private:
    CineWorkflowHost& host_;
    std::set<std::string> shown_;
};

// Steps 3 to 14: everything between creating the transfer object and the end steps.
CineRun runCines(TQX27R_Transmisja& v_usb, const std::filesystem::path& p_folder, CineWorkflowHost& host,
                 const CineExportSettings& settings) {
    v_usb.a_EventUpdateSTR = [&host](TQX27R_Transmisja&, const std::string& p_str) { host.status(p_str); };
    v_usb.a_folder = p_folder;
    v_usb.WlaczTransmisjeUSB();
    (void)v_usb.synchronizuj(); // its outcome shows in the queries that follow

    std::int32_t p_magic_number = 0, p_svn_version = 0, p_pole_widzenia = 0, p_cine_max = 0;
    if (!v_usb.Daj_magic_number(p_magic_number)) return checkFailed(host, messages::kMagicNumberProblem);
    if (p_magic_number != kMagicNumber) return checkFailed(host, messages::kWrongMagicNumber);
    if (!v_usb.Daj_svn_version(p_svn_version)) return checkFailed(host, messages::kTransmissionProblem);
    if (p_svn_version < kRequiredSvn) return checkFailed(host, messages::tooOldHardware(p_svn_version));
    if (!v_usb.Daj_pole_widzenia(p_pole_widzenia)) return checkFailed(host, messages::kFieldOfViewProblem);
    v_usb.a_pole_widzenia = p_pole_widzenia; // no bounds here: the frame export refuses what it cannot show
    if (!v_usb.Daj_cine_max(p_cine_max)) return checkFailed(host, messages::kTransmissionProblem);
    if (p_cine_max <= 0) return checkFailed(host, messages::kNoImages);
    if (!v_usb.Daj_cine_opisy(p_cine_max)) return checkFailed(host, messages::kCineDescriptionsProblem);
    v_usb.Create_image_list(p_cine_max);

    CineRun run;
    const std::optional<std::vector<bool>> ticks = host.select(v_usb.a_image_list);
    if (!ticks) {
        run.end = CineRun::End::Cancelled;
        return run;
    }
    auto zaznaczony = [&](std::int32_t p_id) {
        return static_cast<std::size_t>(p_id) < ticks->size() && (*ticks)[static_cast<std::size_t>(p_id)];
    };

    CineExportSettings exportSettings = settings;
    exportSettings.processMessages = [&host] { host.processMessages(); };
    if (!exportSettings.askRange) exportSettings.askRange = [&host] { return host.askRange(); };
    OnceEach tell(host);

    const auto n = static_cast<std::int32_t>(v_usb.a_image_list.size()); // read once, before the loop
    run.entries = n;
    for (std::int32_t p_id = 0; p_id < n; ++p_id) {
        bool cutShort = false;
        host.status(messages::cineProgress(p_id, n));
        host.processMessages();
        host.processMessages();
        if (zaznaczony(p_id)) {
            const TImageData& entry = *v_usb.a_image_list[static_cast<std::size_t>(p_id)];
            CineItem item;
            item.rawFile = v_usb.cineFile(entry);
            item.download = v_usb.pobierajCine(p_id);
            if (item.download.received()) {
                if (item.download.outcome == CineDownload::Outcome::ShortReply)
                    tell(messages::shortCine(entry.ID, item.download.deliveredBytes));
                item.stored = v_usb.zapiszCine(p_id);
                if (item.stored) {
                    item.video = v_usb.zapiszAVI(p_id, exportSettings);
                    tell(item.video->problem);
                }
            }
            cutShort = item.download.outcome == CineDownload::Outcome::Broken ||
                       (item.video && item.video->outcome == CineVideo::Outcome::Broken);
            ++run.ticked;
            if (item.made())
                ++run.videos;
            else
                run.failed.push_back(p_id);
            host.cineDone(p_id, entry, item);
        }
        host.processMessages();
        if (v_usb.a_break) {
            // A break during the last cine's download or frames still cost it its video.
            if (p_id + 1 < n || cutShort) run.end = CineRun::End::Broken;
            break;
        }
    }
    return run;
}

} // namespace

CineRun GetCines(TUSB_Device& usb_device, const std::filesystem::path& p_folder, CineWorkflowHost& host,
                 RunningTransfer& v_usb, CineExportSettings settings) {
    (void)USB_Set_Transfer_Size(usb_device); // its result is not looked at
    const auto transfer = std::make_unique<TQX27R_Transmisja>(usb_device);
    // Declared after the object, in this order: the end steps run, then the object is detached,
    // then freed, on every way out.
    const RunningTransfer::Scope attached(v_usb, *transfer);
    EndSteps end(host, *transfer);
    CineRun run = runCines(*transfer, p_folder, host, settings);
    end.finish();
    return run;
}

} // namespace kelvo
