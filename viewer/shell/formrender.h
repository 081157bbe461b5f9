// Form rendering: finding the form's members in the working folder and
// transforming XML with XSL into the page the web view shows.
#pragma once

#include "appstate.h"
#include "hostpaths.h"

#include <QString>

namespace shell {

// Sets XmlFileName and XslFileName from the top level of `folder` (a path
// text): files and folders alike are tested by the last "."-piece of their
// names, exactly ("xml", "xsl"); the last match in listing order wins; a
// name not found keeps its earlier value.
void findFormMembers(const QString& folder, AppState& state, const platform::Prefix& prefix);

struct RenderResult {
    bool ok = false;
    QString message;  // what the user is told when not ok
};

// Transforms DataFolder + XmlFileName with DataFolder + XslFileName (XSLT
// 1.0) and writes the result to `pagePath` (a path text) as FF FE and
// UTF-16LE, nothing appended. On failure nothing is written. The
// stylesheet can neither write files, make folders, nor reach the network,
// and document() reads only files inside the working folder.
[[nodiscard]] RenderResult transformForm(const AppState& state, const QString& pagePath,
                                         const platform::Prefix& prefix);

}  // namespace shell
