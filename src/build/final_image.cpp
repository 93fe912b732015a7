#include "build/final_image.h"

namespace tbp {
namespace {

constexpr std::size_t kTwoMegabytes = 2097152;
constexpr std::size_t kFourMegabytes = 4194304;

}  // namespace

PortImage makeFinalImage(const PortImage& port, const std::vector<std::string>& codes,
                         const Bytes& codeNes, RomSizeChoice size,
                         std::vector<GameGenieResult>* codeReports) {
  PortImage image = port;
  if (!codes.empty() && !codeNes.empty()) {
    std::vector<GameGenieResult> results = applyGameGenie(image, codeNes, codes);
    if (codeReports) *codeReports = std::move(results);
  }
  switch (size) {
    case RomSizeChoice::Smallest:
      image.setRomSize(snesRomSize(image.contentSize()));
      break;
    case RomSizeChoice::TwoMegabytes:
      image.setRomSize(kTwoMegabytes);
      break;
    case RomSizeChoice::FourMegabytes:
      image.setRomSize(kFourMegabytes);
      break;
    case RomSizeChoice::AsItIs:
      break;
  }
  image.fixChecksum();
  return image;
}

}  // namespace tbp
