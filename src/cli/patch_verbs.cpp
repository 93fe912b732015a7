#include <iostream>
#include <stdexcept>
#include <utility>

#include "build/files.h"
#include "build/patch_files.h"
#include "build/paths.h"
#include "cli/output_guard.h"
#include "cli/verbs.h"
#include "formats/patches.h"
#include "port/port_image.h"

namespace tbp::cli {
namespace {

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
  std::string output = arguments.value("-o");
  if (!output.empty()) refuseOutputOverInput({output}, {romPath, patchPath});
  Bytes rom = readFile(romPath, FileRole::Rom);
  const Bytes patch = readFile(patchPath, FileRole::Patch);
  PatchedRom patched = applyAnyPatch(std::move(rom), patch);
  const bool reversed = patched.kind == PatchKind::UpsReversed;
  const PortImage result(std::move(patched.bytes));
  const std::size_t size = result.bytes().size();
  if (output.empty()) {
    // A proposed name may land on an input (a ROM patched by a patch of the same name): the
    // window would ask before replacing it, so the tool refuses and asks for -o.
    output = joinPath(absoluteDirectory(romPath),
                      completeBaseName(patchPath) + patchedRomExtension(result.isPort(), size));
    refuseOutputOverInput({output}, {romPath, patchPath}, true);
  }
  writeFileSafely(output, result.bytes());
  std::cout << "Patched: " << output << " (" << size << " bytes)"
            << (reversed ? ", the UPS patch undone: the ROM was its target" : "") << "\n";
}

void runCreate(const Arguments& arguments) {
  const std::string& sourcePath = arguments.positionals[0];
  const std::string& targetPath = arguments.positionals[1];
  const PatchFormat format = chosenFormat(arguments);
  std::string output = arguments.value("-o");
  if (!output.empty()) refuseOutputOverInput({output}, {sourcePath, targetPath});
  const Bytes source = readFile(sourcePath, FileRole::Rom);
  const Bytes target = readFile(targetPath, FileRole::Rom);
  // The patch is proven before it is written: applied to the source it must give the target.
  const Bytes patch = createProvenPatch(format, source, target, arguments.value("--metadata"));
  if (output.empty()) {
    output = joinPath(absoluteDirectory(sourcePath),
                      completeBaseName(sourcePath) + patchExtension(format));
    refuseOutputOverInput({output}, {sourcePath, targetPath}, true);
  }
  writeFileSafely(output, patch);
  std::cout << "Patch saved: " << output << " (" << patch.size() / kKilobyte << " KB)\n";
}

}  // namespace tbp::cli
