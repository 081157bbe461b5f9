// Wiping passwords that pass through Qt strings. Qt strings share their
// characters between copies, and a write to a shared string first makes a
// fresh copy: filling it with zeros wipes that copy and leaves the
// password where it was. These functions wipe the characters themselves.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Wipes the characters where this string is their only owner, then empties
// it. A string that shares them with another only lets go of them: the
// other owner (a text box, say) still needs them.
void wipe(QString& text);
void wipe(QByteArray& bytes);

// Overwrites the characters in place even where they are shared, so that
// every string holding them reads zeros; then empties this one. For the
// last copy of a password that another object (a text box) is about to
// drop without wiping.
void wipeEverywhere(QString& text);

}  // namespace platform
