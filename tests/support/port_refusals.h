#pragma once

#include <set>
#include <string>

namespace tbp::testkit {

// The messages a PortImage setter may refuse with; range errors may carry any text.
const std::set<std::string>& portRefusals();

}  // namespace tbp::testkit
