#include <cstdio>
#include <iostream>
#include <string>

#include "build/audio.h"
#include "build/files.h"
#include "build/loop_search.h"
#include "formats/json_writer.h"
#include "cli/verbs.h"

namespace tbp::cli {
namespace {

std::string fixed(double value, int places) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  return text;
}

void writeText(const LoopSuggestion& loop) {
  if (!loop.found) {
    std::cout << "no seamless loop start found (best match " << fixed(loop.match, 3) << ")\n";
    return;
  }
  std::cout << "loop start: " << fixed(loop.seconds, 3) << " s (frame " << loop.msuFrame
            << " at 44100 Hz), match " << fixed(loop.match, 3) << "\n";
}

void writeJson(const LoopSuggestion& loop) {
  JsonWriter json(std::cout);
  json.beginObject();
  json.key("found").boolean(loop.found);
  json.key("match").decimal(loop.match, 3);
  json.key("seconds");
  loop.found ? json.decimal(loop.seconds, 6) : json.null();
  json.key("frame");
  loop.found ? json.number(loop.msuFrame) : json.null();
  json.key("sampleRate").number(kMsuSampleRate);
  json.endObject();
}

}  // namespace

void runLoop(const Arguments& arguments) {
  const LoopSuggestion loop = findLoopStart(readFile(arguments.positionals[0], FileRole::Audio));
  if (arguments.has("--json"))
    writeJson(loop);
  else
    writeText(loop);
}

}  // namespace tbp::cli
