#include "tests/support/postgres_server.h"

#include <grp.h>
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include "tests/support/exec_program.h"

namespace quillon::testing {

namespace {

constexpr uid_t kNobody = 65534;
constexpr const char* kPort = "5432";

// The newest server found among Debian's versioned folders, else the search path.
std::filesystem::path ServerBinFolder() {
    std::filesystem::path best;
    int bestVersion = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const auto bin = entry.path() / "bin";
        const int version = std::atoi(entry.path().filename().c_str());
        if (std::filesystem::exists(bin / "initdb") && version > bestVersion) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

void GiveToNobody(const std::filesystem::path& folder) {
    if (::geteuid() != 0) {
        return;
    }
    if (::chown(folder.c_str(), kNobody, kNobody) != 0) {
        throw std::runtime_error("cannot give " + folder.string() + " to nobody");
    }
}

struct ConnectionClose {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
struct ResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};

}  // namespace

PostgresServer::PostgresServer(const std::filesystem::path& folder, bool durable)
    : folder_(folder / "pg"), data_(folder / "pg" / "data"), bin_(ServerBinFolder()) {
    if (bin_.empty()) {
        throw std::runtime_error("no PostgreSQL server in /usr/lib/postgresql (scripts/setup)");
    }
    std::filesystem::create_directories(folder_);
    // The server's user must reach its folder through the test's own.
    std::filesystem::permissions(folder, std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    GiveToNobody(folder_);
    RunTool("initdb", {"-D", data_.string(), "-U", "postgres", "-A", "trust", "--no-sync", "-E",
                       "UTF8", "--no-locale"});
    {
        std::ofstream hba(data_ / "pg_hba.conf", std::ios::trunc);
        hba << "local all postgres trust\nlocal all all scram-sha-256\n";
        std::ofstream conf(data_ / "postgresql.conf", std::ios::app);
        conf << "listen_addresses = ''\nunix_socket_directories = '" << folder_.string()
             << "'\nport = " << kPort << "\nmax_connections = 40\n";
        if (!durable) {
            conf << "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n";
        }
    }
    Start();
    Exec("postgres", std::string("CREATE ROLE station LOGIN PASSWORD '") + kStationPassword + "'");
    Exec("postgres", "CREATE DATABASE quillon OWNER station");
}

PostgresServer::~PostgresServer() {
    try {
        Stop();
    } catch (const std::exception&) {
    }
}

void PostgresServer::RunTool(const std::string& tool,
                             const std::vector<std::string>& arguments) const {
    const std::string program = (bin_ / tool).string();
    const auto log = folder_ / (tool + ".out");
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("cannot start " + tool);
    }
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            std::_Exit(126);
        }
        if (!std::freopen(log.c_str(), "w", stdout) || !std::freopen(log.c_str(), "a", stderr)) {
            std::_Exit(126);
        }
        ::setenv("LC_ALL", "C", 1);
        ExecProgram(program, arguments);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ifstream in(log);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        throw std::runtime_error(tool + " failed: " + text);
    }
}

void PostgresServer::Start() {
    if (running_) {
        return;
    }
    RunTool("pg_ctl", {"-D", data_.string(), "-l", (folder_ / "server.log").string(), "-w", "-t",
                       "60", "start"});
    running_ = true;
}

void PostgresServer::Stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    RunTool("pg_ctl", {"-D", data_.string(), "-m", "fast", "-w", "stop"});
}

std::string PostgresServer::Uri(const std::string& user) const {
    return "postgresql://" + user + "@/quillon?host=" + folder_.string() + "&port=" + kPort;
}

std::string PostgresServer::Sql(const std::string& sql) const {
    return Exec("quillon", sql);
}

std::string PostgresServer::Exec(const std::string& database, const std::string& sql) const {
    std::unique_ptr<PGconn, ConnectionClose> db(PQconnectdb(
        ("host=" + folder_.string() + " port=" + kPort + " user=postgres dbname=" + database)
            .c_str()));
    if (PQstatus(db.get()) != CONNECTION_OK) {
        throw std::runtime_error(std::string("cannot connect: ") + PQerrorMessage(db.get()));
    }
    PQsetNoticeProcessor(
        db.get(), [](void*, const char*) {}, nullptr);
    std::unique_ptr<PGresult, ResultClear> result(PQexec(db.get(), sql.c_str()));
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        throw std::runtime_error(sql + ": " + PQresultErrorMessage(result.get()));
    }
    if (status == PGRES_TUPLES_OK && PQntuples(result.get()) > 0 && PQnfields(result.get()) > 0) {
        return PQgetvalue(result.get(), 0, 0);
    }
    return "";
}

}  // namespace quillon::testing
