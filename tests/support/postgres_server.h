#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillon::testing {

// A PostgreSQL server from the system's packages, made fresh in `folder` (initdb) and
// listening only on a Unix socket there, for the life of the object. When the tests run as
// root the server runs as the ordinary user "nobody" (PostgreSQL refuses root).
//
// The database "quillon" belongs to the login role "station" (password kStationPassword),
// which the server asks for its password; the superuser "postgres" gets in without one.
class PostgresServer {
public:
    static constexpr const char* kStationPassword = "line-secret";

    // `durable` false turns fsync off (the tests); the benchmark keeps the server's default.
    explicit PostgresServer(const std::filesystem::path& folder, bool durable = false);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    void Start();
    void Stop();

    // A URI of the station's database for `user`, over the socket.
    std::string Uri(const std::string& user = "station") const;

    // Runs SQL as the superuser in the database "quillon"; the first value of the first
    // row ("" when none). Throws std::runtime_error with the server's reason.
    std::string Sql(const std::string& sql) const;

    const std::filesystem::path& SocketFolder() const { return folder_; }

private:
    std::string Exec(const std::string& database, const std::string& sql) const;
    void RunTool(const std::string& tool, const std::vector<std::string>& arguments) const;

    std::filesystem::path folder_;
    std::filesystem::path data_;
    std::filesystem::path bin_;
    bool running_ = false;
};

}  // namespace quillon::testing
