#pragma once

#include <QString>

// The version of the tool as released ("1.0.0"), the same for the window,
// the command-line tool and what a test run records.
namespace ToolVersion {

QString text();

} // namespace ToolVersion
