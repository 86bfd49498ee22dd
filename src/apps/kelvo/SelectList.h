#pragma once
// The numbers of `kelvo images --select LIST`: the image numbers as shown (slot + 1), single
// numbers and ranges separated by commas, e.g. "1,3-5".
#include "transmission/Transmisja.h"

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace kelvo::cli {

// UsageError for an empty list or item, a number below 1 or above 65536, or a range that runs
// backwards.
std::set<std::int64_t> parseSelectList(const std::string& list);

// The ticks by list position. UsageError naming the numbers that no entry has.
std::vector<bool> ticksFor(const std::set<std::int64_t>& numbers, std::span<const std::unique_ptr<TImageData>> entries);

// "1, 3-5, 8": numbers as ranges where they run on.
std::string describeNumbers(const std::vector<std::int64_t>& sortedNumbers);

} // namespace kelvo::cli
