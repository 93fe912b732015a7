#pragma once

#include <string>
#include <vector>

namespace tbp::cli {

// Refuses (a runtime error, status 1) any output that is one of the inputs: the same file by
// device and inode, also through links, so that a run never replaces a file it reads. proposed
// says that the outputs are the tool's default names rather than the user's -o.
void refuseOutputOverInput(const std::vector<std::string>& outputs,
                           const std::vector<std::string>& inputs, bool proposed = false);

}  // namespace tbp::cli
