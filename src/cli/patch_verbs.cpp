#include <iostream>
#include <stdexcept>

#include "build/files.h"
#include "build/patch_files.h"
#include "build/paths.h"
#include "cli/verbs.h"
#include "formats/patches.h"
#include "port/port_image.h"

namespace tbp::cli {
namespace {

constexpr std::size_t kKilobyte = 1024;

// A proposed name may land on an input (a ROM patched by a patch of the same name): the window
// would ask before replacing it, so the tool refuses and asks for -o.
void refuseInputAsOutput(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs)
    if (sameFile(output, input))
      throw std::runtime_error("the default output " + output +
                               " is an input file; choose another name with -o");
}

}  // namespace

void runApply(const Arguments& arguments) {
  const std::string& patchPath = arguments.positionals[0];
  const std::string& romPath = arguments.positionals[1];
  const Bytes rom = readFile(romPath);
  const Bytes patch = readFile(patchPath);
  const PortImage result(applyAnyPatch(rom, patch).bytes);
  const std::size_t size = result.bytes().size();
  std::string output = arguments.value("-o");
  if (output.empty()) {
    output = joinPath(absoluteDirectory(romPath),
                      completeBaseName(patchPath) + patchedRomExtension(result.isPort(), size));
    refuseInputAsOutput(output, {romPath, patchPath});
  }
  writeFileSafely(output, result.bytes());
  std::cout << "Patched: " << output << " (" << size << " bytes)\n";
}

void runCreate(const Arguments& arguments) {
  const std::string& sourcePath = arguments.positionals[0];
  const std::string& targetPath = arguments.positionals[1];
  const Bytes source = readFile(sourcePath);
  const Bytes target = readFile(targetPath);
  const Bytes patch = createBps(source, target, arguments.value("--metadata"));
  // The patch is proven before it is written: applied to the source it must give the target.
  if (applyBps(source, patch) != target)
    throw std::runtime_error("internal error: the patch did not round-trip");
  std::string output = arguments.value("-o");
  if (output.empty()) {
    output = joinPath(absoluteDirectory(sourcePath), completeBaseName(sourcePath) + ".bps");
    refuseInputAsOutput(output, {sourcePath, targetPath});
  }
  writeFileSafely(output, patch);
  std::cout << "Patch saved: " << output << " (" << patch.size() / kKilobyte << " KB)\n";
}

}  // namespace tbp::cli
