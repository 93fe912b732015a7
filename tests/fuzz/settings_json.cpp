// parseSettingsJson on fuzzed text: a document is either refused with a settings or JSON
// message, or read into settings that write out and read back to the same text.
#include <stdexcept>
#include <string>

#include "build/port_settings.h"
#include "support/fuzz_contract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tbp::PortSettings settings;
  try {
    settings = tbp::parseSettingsJson(text);
  } catch (const std::invalid_argument& e) {  // the JSON reader's number conversions
    tbp::fuzz::require(tbp::fuzz::oneOf(e.what(), {"stod", "stoul"}), e.what());
    return 0;
  } catch (const std::out_of_range& e) {
    tbp::fuzz::require(tbp::fuzz::oneOf(e.what(), {"stod", "stoul"}), e.what());
    return 0;
  } catch (const std::runtime_error& e) {
    tbp::fuzz::require(tbp::fuzz::startsWith(e.what(), "settings: ") ||
                           tbp::fuzz::startsWith(e.what(), "json: "),
                       std::string("parseSettingsJson said \"") + e.what() + "\"");
    return 0;
  }
  const std::string written = tbp::writeSettingsJson(settings);
  tbp::fuzz::require(tbp::writeSettingsJson(tbp::parseSettingsJson(written)) == written,
                     "a settings document did not read back as written");
  return 0;
}
