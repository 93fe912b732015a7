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

PatchFormat chosenFormat(const Arguments& arguments) {
  if (arguments.has("--ips") && arguments.has("--ups"))
    throw UsageError("choose one of --ips and --ups");
  if (arguments.has("--metadata") && (arguments.has("--ips") || arguments.has("--ups")))
    throw UsageError("--metadata is for BPS patches only");
  if (arguments.has("--ips")) return PatchFormat::Ips;
  return arguments.has("--ups") ? PatchFormat::Ups : PatchFormat::Bps;
}

}  // namespace

void runApply(const Arguments& arguments) {
  const std::string& patchPath = arguments.positionals[0];
  const std::string& romPath = arguments.positionals[1];
  const Bytes rom = readFile(romPath);
  const Bytes patch = readFile(patchPath);
  PatchedRom patched = applyAnyPatch(rom, patch);
  const bool reversed = patched.kind == PatchKind::UpsReversed;
  const PortImage result(std::move(patched.bytes));
  const std::size_t size = result.bytes().size();
  std::string output = arguments.value("-o");
  if (output.empty()) {
    output = joinPath(absoluteDirectory(romPath),
                      completeBaseName(patchPath) + patchedRomExtension(result.isPort(), size));
    refuseInputAsOutput(output, {romPath, patchPath});
  }
  writeFileSafely(output, result.bytes());
  std::cout << "Patched: " << output << " (" << size << " bytes)"
            << (reversed ? ", the UPS patch undone: the ROM was its target" : "") << "\n";
}

void runCreate(const Arguments& arguments) {
  const std::string& sourcePath = arguments.positionals[0];
  const std::string& targetPath = arguments.positionals[1];
  const PatchFormat format = chosenFormat(arguments);
  const Bytes source = readFile(sourcePath);
  const Bytes target = readFile(targetPath);
  const Bytes patch = createProvenPatch(format, source, target, arguments.value("--metadata"));
  std::string output = arguments.value("-o");
  if (output.empty()) {
    output = joinPath(absoluteDirectory(sourcePath),
                      completeBaseName(sourcePath) + patchExtension(format));
    refuseInputAsOutput(output, {sourcePath, targetPath});
  }
  writeFileSafely(output, patch);
  std::cout << "Patch saved: " << output << " (" << patch.size() / kKilobyte << " KB)\n";
}

}  // namespace tbp::cli
