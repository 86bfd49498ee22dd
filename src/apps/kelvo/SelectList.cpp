#include "SelectList.h"

#include "CommandArgs.h"

namespace kelvo::cli {
namespace {

constexpr std::int64_t kHighestNumber = 65536; // slot numbers are 16 bits

std::int64_t number(const std::string& text) { return parseNumber(text, "--select", 1, kHighestNumber); }

} // namespace

std::set<std::int64_t> parseSelectList(const std::string& list) {
    std::set<std::int64_t> numbers;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty()) throw UsageError("--select: empty item in \"" + list + "\"");
        const std::size_t dash = item.find('-');
        if (dash == std::string::npos) numbers.insert(number(item));
        else {
            const std::int64_t first = number(item.substr(0, dash));
            const std::int64_t last = number(item.substr(dash + 1));
            if (last < first) throw UsageError("--select: the range " + item + " runs backwards");
            for (std::int64_t n = first; n <= last; ++n) numbers.insert(n);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return numbers;
}

std::vector<bool> ticksFor(const std::set<std::int64_t>& numbers,
                           std::span<const std::unique_ptr<TImageData>> entries) {
    std::vector<bool> ticks(entries.size(), false);
    std::set<std::int64_t> unknown = numbers;
    std::vector<std::int64_t> held;
    for (std::size_t p = 0; p < entries.size(); ++p) {
        const std::int64_t shown = std::int64_t{entries[p]->ID} + 1;
        held.push_back(shown);
        if (numbers.contains(shown)) {
            ticks[p] = true;
            unknown.erase(shown);
        }
    }
    if (!unknown.empty()) {
        const std::vector<std::int64_t> missing(unknown.begin(), unknown.end());
        throw UsageError("--select: the scanner holds no image " + describeNumbers(missing) + " (it holds " +
                         (held.empty() ? std::string("none") : describeNumbers(held)) + ")");
    }
    return ticks;
}

std::string describeNumbers(const std::vector<std::int64_t>& sortedNumbers) {
    std::string text;
    for (std::size_t i = 0; i < sortedNumbers.size();) {
        std::size_t j = i;
        while (j + 1 < sortedNumbers.size() && sortedNumbers[j + 1] == sortedNumbers[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(sortedNumbers[i]);
        if (j > i) text += (j == i + 1 ? ", " : "-") + std::to_string(sortedNumbers[j]);
        i = j + 1;
    }
    return text;
}

} // namespace kelvo::cli
