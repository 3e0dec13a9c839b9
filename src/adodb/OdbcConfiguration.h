#pragma once

#include <string>
#include <string_view>

namespace adodb {

// The shared object of the driver an ODBC data source names, from the driver manager's
// configuration (odbc.ini, then odbcinst.ini for a driver given by name): the data
// source's own "Driver" when no driver of that name is registered. Empty when the data
// source is not defined.
std::string DataSourceDriverFile(std::string_view dataSourceName);

}  // namespace adodb
