#pragma once

#include <string>

// Path pieces as the program uses them for the names it proposes. Paths are UTF-8 and use "/".
namespace tbp {

// The name after the last "/".
std::string fileNameOf(const std::string& path);
// The file name without its last suffix: "Game (USA).nes" gives "Game (USA)", "a.b.bps" gives
// "a.b", ".bps" gives an empty name.
std::string completeBaseName(const std::string& path);
// The absolute directory that holds path, without "." or ".." parts and without a trailing "/"
// (except for the root itself).
std::string absoluteDirectory(const std::string& path);
// directory + "/" + name, without doubling the "/" after the root.
std::string joinPath(const std::string& directory, const std::string& name);
// Whether both paths name the same existing file.
bool sameFile(const std::string& first, const std::string& second);

}  // namespace tbp
