#include "cli/output_guard.h"

#include <stdexcept>

#include "build/paths.h"

namespace tbp::cli {

void refuseOutputOverInput(const std::vector<std::string>& outputs,
                           const std::vector<std::string>& inputs, bool proposed) {
  for (const std::string& output : outputs)
    for (const std::string& input : inputs)
      if (sameFile(output, input))
        throw std::runtime_error((proposed ? "the default output " : "the output ") + output +
                                 " is an input file; choose another name with -o");
}

}  // namespace tbp::cli
