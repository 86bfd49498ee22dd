#include "CommandLine.h"

namespace kelvo::cli {

std::string cineCommandHelp(const std::string& command) {
    if (command == "list")
        return "Usage: kelvo list cines [--code-page NAME] [--simulate [CARD]] [--trace FILE]\n\n"
               "Checks the scanner as a cine download does (magic number 7181, revision 1812 or later,\n"
               "its field of view, at least one stored cine), reads its cine catalogue and shows one row\n"
               "per stored cine: the number (the video is N_cine.avi), the time, the description, the\n"
               "depth range, the frequency and whether left and right are swapped. Nothing is\n"
               "downloaded.\n";
    if (command == "cines")
        return "Usage: kelvo cines -o DIR [--select LIST] [--simulate [CARD]] [--trace FILE]\n\n"
               "Downloads the scanner's stored cines. Each arrives as one raw loop of 32 MiB, kept as\n"
               "DIR/tmp/cine_N.bin, and is made into frame bitmaps DIR/tmp/a_cine_0.bmp ... a_cine_254.bmp\n"
               "(the frames of the next cine replace them) and the video DIR/N_cine.avi, N being the\n"
               "cine's number as `kelvo list cines` shows it. The frames are as wide as the scanner's\n"
               "field of view at the scale of 288 pixels for the cine's depth range. The video is made by\n"
               "ffmpeg, found next to this program or on PATH (Debian: apt install ffmpeg); its output\n"
               "goes to DIR/tmp/ffmpeg_N.log. DIR is created when it is missing.\n\n"
               "  -o, --output DIR  the folder to write into\n"
               "  --select LIST     only these numbers, e.g. 1,3 (default: every stored cine); a\n"
               "                    number the scanner does not hold is an error before any download\n\n"
               "Ctrl-C stops after the frame in hand (that cine gets no video), ends the transmission\n"
               "and stops (exit status 130); a second Ctrl-C stops at once. Exit status 1 when a check\n"
               "failed or a cine got no video (each is named).\n";
    if (command == "cine2avi")
        return "Usage: kelvo cine2avi RAW -o DIR --fov MM --range MM [--mirror] [--id N]\n\n"
               "Makes a raw cine file (such as DIR/tmp/cine_N.bin of a download) into the frame bitmaps\n"
               "DIR/tmp/a_cine_K.bmp and the video DIR/N_cine.avi exactly as a cine download does. Talks\n"
               "to no scanner.\n\n"
               "  -o, --output DIR  the folder to write into\n"
               "  --fov MM          the scanner's field of view (`kelvo info` shows it)\n"
               "  --range MM        the cine's depth range (`kelvo list cines` shows it)\n"
               "  --mirror          left and right swapped on the scanner: scan line 0 on the right\n"
               "  --id N            the cine's number for the video's name (default: N of a file\n"
               "                    named cine_N.bin, else 1)\n";
    return {};
}

} // namespace kelvo::cli
