#pragma once
// The messages the download runs show, character for character. Line breaks inside a message
// are CR LF, as the message boxes show them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvo::messages {

inline constexpr const char* kTryAgain = "Try again !";
inline constexpr const char* kTransmissionProblem = "Transmision problem !";
inline constexpr const char* kNoImages = "No images !";
inline constexpr const char* kFinish = "Finish!";
inline constexpr int kRequiredSvnVersion = 1812;
inline constexpr int kMagicNumber = 7181;

// "To old hardware !" CR LF "Your version: %d, request version %d"
std::string tooOldHardware(int version);

// "Transmision problem !" CR LF "With images descriptions": the image catalogue was not read.
inline constexpr const char* kImageDescriptionsProblem = "Transmision problem !\r\nWith images descriptions";

// The status text of list position p_id (0-based) of n entries: "Image 3/12" for the third.
std::string imageProgress(int p_id, int n);

// The cine run's own checks.
inline constexpr const char* kMagicNumberProblem = "Transmision problem, \"magic number\", please restart device! !";
inline constexpr const char* kWrongMagicNumber = "Wrong \"magic number\", please restart device! !";
inline constexpr const char* kFieldOfViewProblem = "Transmision problem, [field of view] !";
inline constexpr const char* kCineDescriptionsProblem = "Transmision problem !\r\nWith cine descriptions";

// "Cine 2/5" for the second of five entries.
std::string cineProgress(int p_id, int n);

// A cine whose reply ended early: how much of the loop came, for the cine shown as ID + 1.
std::string shortCine(std::int32_t ID, std::size_t deliveredBytes);

} // namespace kelvo::messages
