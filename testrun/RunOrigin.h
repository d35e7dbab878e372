#pragma once

#include <QString>

// Where and by whom a run is made, as its record keeps it.
namespace RunOrigin {

QString hostName();
// The login name; empty when the environment does not tell it.
QString operatorName();
QString toolVersion();

} // namespace RunOrigin
