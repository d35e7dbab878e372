#pragma once

#include <QString>

// Where and by whom a run is made, as its record keeps it.
namespace RunOrigin {

QString hostName();
// The login name: from the environment, else the account's own name;
// empty when neither tells it.
QString operatorName();
QString toolVersion();

} // namespace RunOrigin
