#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tbp::cli {

// A command line the tool cannot make sense of: exit status 2, with a hint to the help.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One option of a verb: its names ("-o", "--output"), whether it takes a value and whether it
// may be given more than once.
struct OptionSpec {
  std::vector<std::string> names;
  bool takesValue = true;
  bool repeatable = false;
};

// What a verb declares it accepts: its positional arguments by name (all required) and its
// options.
struct VerbSyntax {
  std::vector<std::string> positionals;
  std::vector<OptionSpec> options;
};

// A parsed command line. Options are filed under their first name; a flag has one empty value.
class Arguments {
 public:
  std::vector<std::string> positionals;
  std::map<std::string, std::vector<std::string>> options;

  bool has(const std::string& option) const { return options.count(option) != 0; }
  // The value of an option given once, or fallback when it was not given.
  std::string value(const std::string& option, const std::string& fallback = "") const;
  // Every value of a repeatable option, in command-line order.
  std::vector<std::string> values(const std::string& option) const;
};

// Options may come before, between or after the positionals, as "-o OUT", "--opt VALUE" or
// "--opt=VALUE"; "--" ends the options. Throws UsageError naming what is wrong.
Arguments parseArguments(const std::vector<std::string>& words, const VerbSyntax& syntax);

}  // namespace tbp::cli
