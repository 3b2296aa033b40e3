// zundoc encode and decode: one conversion each, with the file given as the only target ("Custom"),
// run by the same code as the window's.
#pragma once
#include <string>
#include <vector>

namespace zundoc {

int Encode(const std::vector<std::string>& args);
int Decode(const std::vector<std::string>& args);

}  // namespace zundoc
