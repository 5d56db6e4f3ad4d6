// The console's two database test buttons: connect and open "Series" with a summary, and a
// list of the open table's records by their Name.
#pragma once

#include "platform/database.h"

#include <string>
#include <vector>

namespace veltron::service {

// "Button1": (re)connects with the program's connection string, opens "Series" and gives the
// number of open data sets, "столбцов=" + columns and "строк=" + records. A connection that
// fails gives the single line "Не могу подключится к базе данных !"; a missing table, its
// error text.
std::vector<std::string> probeSeries(db::Connection& connection);

// "Button4": record number (from 1) + ":" + Name for every record of the open table; nothing
// when no table is open. A table without Name gives its error text.
std::vector<std::string> listNames(db::Connection& connection);

} // namespace veltron::service
