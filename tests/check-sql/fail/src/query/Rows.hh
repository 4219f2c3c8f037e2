#pragma once
#include <QString>

// A header of another spelling is a source like any other.
inline QString rowsOfToday() { return QStringLiteral("SELECT ctid FROM reports WHERE rpdate = ?"); }   // flagged
