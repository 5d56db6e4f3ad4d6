#include "service/database_probe.h"

namespace veltron::service {

std::vector<std::string> probeSeries(db::Connection& connection) {
    try {
        if (connection.connected()) {
            connection.disconnect();
        }
        connection.setConnectionString(
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=DataBase.mdb;Persist Security Info=False");
        connection.connect();
    } catch (const db::DatabaseError&) {
        return {"Не могу подключится к базе данных !"};
    }
    try {
        db::Table& table = connection.table();
        table.open("Series");
        return {std::to_string(table.active() ? 1 : 0), "столбцов=" + std::to_string(table.columns().size()),
                "строк=" + std::to_string(table.recordCount())};
    } catch (const db::DatabaseError& e) {
        return {e.what()};
    }
}

std::vector<std::string> listNames(db::Connection& connection) {
    std::vector<std::string> lines;
    if (!connection.connected() || !connection.table().active()) {
        return lines;
    }
    db::Table& table = connection.table();
    try {
        const std::int64_t count = table.recordCount();
        for (std::int64_t n = 0; n < count; ++n) {
            table.moveTo(n);
            lines.push_back(std::to_string(n + 1) + ":" + table.text("Name"));
        }
    } catch (const db::DatabaseError& e) {
        lines.push_back(e.what());
    }
    return lines;
}

} // namespace veltron::service
