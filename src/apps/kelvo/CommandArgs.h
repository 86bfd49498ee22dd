#pragma once
// The arguments of a command with options of its own, read one by one: "--name value" and
// "--name=value" alike.
#include "CommandLine.h"
#include "items/CodePage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo::cli {

class CommandArgs {
public:
    explicit CommandArgs(const std::vector<std::string>& arguments);

    bool done() const { return at_ >= words_.size(); }
    // The next word: an option name or a positional argument.
    const std::string& next() { return words_[at_++]; }
    // The value of the option just read; UsageError when there is none.
    const std::string& value(const std::string& option);

private:
    std::vector<std::string> words_;
    std::size_t at_ = 0;
};

bool isOption(const std::string& word);

// A whole decimal number in [min, max]; UsageError naming `what` otherwise.
std::int64_t parseNumber(const std::string& text, const std::string& what, std::int64_t min, std::int64_t max);

// --code-page NAME; UsageError for a name it does not know.
CodePage parseCodePage(const std::string& name);

} // namespace kelvo::cli
