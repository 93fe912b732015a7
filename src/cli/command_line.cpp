#include <exception>
#include <iostream>
#include <new>

#include "cli/verbs.h"

namespace tbp::cli {
namespace {

bool asksForHelp(const std::string& word) { return word == "-h" || word == "--help"; }

int usageError(const std::string& problem, const std::string& helpTopic) {
  std::cerr << "bexulo-cli: " << problem << "\nTry 'bexulo-cli help" << helpTopic
            << "' for more information.\n";
  return kUsageError;
}

int showHelp(const std::vector<std::string>& words) {
  if (words.size() == 1) {
    std::cout << overviewHelp();
    return kSuccess;
  }
  const Verb* verb = findVerb(words[1]);
  const bool withPort = verb && words.size() == 3 && std::string(verb->name) == "build";
  if (!verb || (words.size() > 2 && !withPort))
    return usageError("no help for '" + words.back() + "'", "");
  std::cout << verbHelp(*verb);
  if (!withPort) return kSuccess;
  try {
    std::cout << portValuesHelp(words[2]);
    return kSuccess;
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return kRefused;
  }
}

int runVerb(const Verb& verb, const std::vector<std::string>& words) {
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  for (const std::string& word : rest) {
    if (word == "--") break;
    if (asksForHelp(word)) {
      std::cout << verbHelp(verb);
      return kSuccess;
    }
  }
  const std::string topic = std::string(" ") + verb.name;
  try {
    verb.run(parseArguments(rest, verb.syntax));
    return kSuccess;
  } catch (const UsageError& error) {
    return usageError(error.what(), topic);
  } catch (const std::bad_alloc&) {
    std::cerr << "not enough memory\n";
    return kRefused;
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return kRefused;
  }
}

}  // namespace

int runCommandLine(const std::vector<std::string>& words) {
  if (words.empty()) {
    std::cerr << overviewHelp();
    return kUsageError;
  }
  const std::string& first = words.front();
  if (asksForHelp(first)) return showHelp({"help"});
  if (first == "help") return showHelp(words);
  if (first == "--version") {
    std::cout << versionText();
    return kSuccess;
  }
  const Verb* verb = findVerb(first);
  if (!verb) return usageError("unknown command '" + first + "'", "");
  return runVerb(*verb, words);
}

}  // namespace tbp::cli
