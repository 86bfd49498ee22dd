#include "CommandLine.h"

namespace kelvo::cli {

std::string imageCommandHelp(const std::string& command) {
    if (command == "list")
        return "Usage: kelvo list images [--code-page NAME] [--simulate [CARD]] [--trace FILE]\n\n"
               "Checks the scanner as a download does (magic number 7181, revision 1812 or later, at least\n"
               "one stored image), reads its image catalogue and shows one row per stored image: the\n"
               "number (the bitmap's name without .bmp), the time, the description, the RFID number, the\n"
               "depth range, the frequency and which of the measurements 0 to 3 are present. Nothing is\n"
               "downloaded.\n\n"
               "  --code-page NAME  how the scanner's description and RFID bytes read: windows-1250\n"
               "                    (default), windows-1252 or iso-8859-1\n";
    if (command == "images")
        return "Usage: kelvo images -o DIR [--select LIST] [--code-page NAME] [--simulate [CARD]]\n"
               "                   [--trace FILE]\n\n"
               "Downloads the scanner's stored images and writes each as an annotated 480 x 640 bitmap\n"
               "DIR/N.bmp, N being the image's number as `kelvo list images` shows it. DIR is created when\n"
               "it is missing. With \"RFID.ini\" next to the program (or in the config folder) each image\n"
               "shows its RFID number and is handed to the upload tool named there.\n\n"
               "  -o, --output DIR  the folder to write into\n"
               "  --select LIST     only these numbers, e.g. 1,3-5 (default: every stored image); a\n"
               "                    number the scanner does not hold is an error before any download\n"
               "  --code-page NAME  how the scanner's description and RFID bytes read (default\n"
               "                    windows-1250)\n\n"
               "Ctrl-C finishes the image being downloaded, ends the transmission and stops (exit status\n"
               "130); a second Ctrl-C stops at once. Exit status 1 when a check failed or an image could\n"
               "not be downloaded (each is named).\n";
    if (command == "render")
        return "Usage: kelvo render RAW -o FILE.bmp [header options]\n\n"
               "Renders a raw picture (the 131,072 bytes the scanner sends for one image) as the annotated\n"
               "bitmap a download writes, with the header given by the options. Talks to no scanner.\n\n"
               "  -o, --output FILE     the bitmap to write\n"
               "  --zakres CODE         depth-range code 0..9 (default 0: 250 mm)\n"
               "  --focus MM            focus depth (default 0)\n"
               "  --freq CODE           frequency code 0..7 (default 0: 4.0 MHz)\n"
               "  --zoom PERCENT        zoom (default 100)\n"
               "  --time \"YYYY-MM-DD HH:MM:SS\"  recording time (default 2000-01-01 00:00:00)\n"
               "  --id N                the image's number as shown, slot + 1 (default 1)\n"
               "  --rfid TEXT           RFID number, at most 12 characters\n"
               "  --desc TEXT           description, at most 30 characters\n"
               "  --swap                left and right swapped on the scanner\n"
               "  --measure X1,Y1,X2,Y2 a measurement in scanner units; up to four times, for\n"
               "                        measurements 0 to 3 in order (0,0,0,0 leaves one out)\n"
               "  --rfid-ini            render as with \"RFID.ini\" present (RFID instead of the number)\n"
               "  --code-page NAME      the code page of --rfid and --desc on the scanner (default\n"
               "                        windows-1250)\n";
    return {};
}

} // namespace kelvo::cli
