#pragma once

#include <string>

namespace tkw {

// The program's identity, "QuorvaneSoftware.Tarnwick.ID3s.1.2": company and product names from the
// version information with their blanks removed, "ID3s", and the file version's major and minor
// parts, joined by full stops. Failures to read the version information are reported and the
// identity is built from what could be read.
std::string ComputeApplicationIdentity();

}  // namespace tkw
