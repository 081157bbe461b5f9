// Distinguished names as the toolkit writes them: most specific component
// first, lower-case short labels, joined by "," without blanks, values as
// UTF-8 and not escaped, e.g. "cn=...,ou=...,o=yessign,c=kr".
#pragma once

#include "internal.h"

#include <string>

namespace otrx {

[[nodiscard]] bool formatName(const X509_NAME* name, std::string& text);

}  // namespace otrx
