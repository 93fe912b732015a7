#include "cli/arguments.h"

#include <algorithm>

namespace tbp::cli {
namespace {

const OptionSpec* findOption(const VerbSyntax& syntax, const std::string& name) {
  for (const OptionSpec& option : syntax.options)
    if (std::find(option.names.begin(), option.names.end(), name) != option.names.end())
      return &option;
  return nullptr;
}

bool looksLikeOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

// Files one option occurrence; index points at the option word and moves past its value.
void takeOption(const std::vector<std::string>& words, std::size_t& index, const VerbSyntax& syntax,
                Arguments& parsed) {
  std::string name = words[index];
  std::string value;
  bool inlineValue = false;
  const std::size_t equals = name.find('=');
  if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
    value = name.substr(equals + 1);
    name = name.substr(0, equals);
    inlineValue = true;
  }
  const OptionSpec* option = findOption(syntax, name);
  if (!option) throw UsageError("unknown option " + name);
  const std::string& key = option->names.front();
  if (!option->takesValue && inlineValue) throw UsageError("option " + name + " takes no value");
  if (option->takesValue && !inlineValue) {
    if (index + 1 >= words.size()) throw UsageError("option " + name + " needs a value");
    value = words[++index];
  }
  if (!option->repeatable && parsed.has(key)) throw UsageError("option " + name + " given twice");
  parsed.options[key].push_back(value);
}

}  // namespace

std::string Arguments::value(const std::string& option, const std::string& fallback) const {
  const auto found = options.find(option);
  return found == options.end() || found->second.empty() ? fallback : found->second.back();
}

std::vector<std::string> Arguments::values(const std::string& option) const {
  const auto found = options.find(option);
  return found == options.end() ? std::vector<std::string>() : found->second;
}

Arguments parseArguments(const std::vector<std::string>& words, const VerbSyntax& syntax) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t index = 0; index < words.size(); ++index) {
    const std::string& word = words[index];
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && looksLikeOption(word)) {
      takeOption(words, index, syntax, parsed);
    } else {
      if (parsed.positionals.size() == syntax.positionals.size())
        throw UsageError("unexpected argument " + word);
      parsed.positionals.push_back(word);
    }
  }
  if (parsed.positionals.size() < syntax.positionals.size())
    throw UsageError("missing " + syntax.positionals[parsed.positionals.size()]);
  return parsed;
}

}  // namespace tbp::cli
