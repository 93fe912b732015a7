#pragma once

#include <string>

// The MSU-1 files written beside a saved ROM or patch: for a saved file whose absolute directory
// is D and whose complete base name is B, the marker D/B.msu and track n as D/B-n.pcm.
namespace tbp {

std::string msuMarkerPath(const std::string& savedPath);
std::string msuTrackPath(const std::string& savedPath, int song);

// Creates the empty marker when no file of that name exists. An existing file keeps its
// content; a failure is ignored, since the marker carries no data.
void createMsuMarker(const std::string& savedPath);

}  // namespace tbp
