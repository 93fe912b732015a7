#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"

namespace tbp::cli {

// 0 on success, 1 when an input is refused, 2 when the command line makes no sense.
enum ExitStatus : int { kSuccess = 0, kRefused = 1, kUsageError = 2 };

// A command of the tool. run prints its result on standard output and throws on refusal: a
// UsageError for a bad command line, any other std::exception with the message the window
// would show.
struct Verb {
  const char* name;
  const char* synopsis;  // the usage line after the program name
  const char* summary;   // one line for the overview
  std::string details;   // what it does and its options, for "help VERB"
  VerbSyntax syntax;
  void (*run)(const Arguments& arguments);
};

const std::vector<Verb>& verbs();
const Verb* findVerb(const std::string& name);

std::string overviewHelp();
std::string verbHelp(const Verb& verb);
std::string versionText();

void runApply(const Arguments& arguments);
void runCreate(const Arguments& arguments);
void runInfo(const Arguments& arguments);
void runBuild(const Arguments& arguments);
void runLoop(const Arguments& arguments);
void runSettings(const Arguments& arguments);
void runScan(const Arguments& arguments);

// The port's own values of every build setting, for 'help build FILE'.
std::string portValuesHelp(const std::string& path);

// The whole command line without the program name; returns the exit status.
int runCommandLine(const std::vector<std::string>& words);

}  // namespace tbp::cli
