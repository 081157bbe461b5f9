// The extensions of the engine that issuing services write their
// stylesheets for, in its namespace "urn:schemas-microsoft-com:xslt":
// node-set(), which stylesheets use on every table built in a variable,
// and the functions of msxsl:script elements (scriptfunctions.h).
#pragma once

namespace shell {

inline constexpr char kMsxslNamespace[] = "urn:schemas-microsoft-com:xslt";

// Registers msxsl:node-set for every transformation. Once per process.
void registerMsxslFunctions();

}  // namespace shell
