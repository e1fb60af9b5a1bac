#include "tests/winnet/SchannelRig_win32.h"

#include <cstdio>
#include <cstdlib>

namespace quorvel::schannel_test {

namespace {

std::map<std::string, std::string> EnvironmentTable(const char* Name) {
    std::map<std::string, std::string> table;
    const char* text = std::getenv(Name);
    for (std::string rest = text != nullptr ? text : ""; !rest.empty();) {
        const std::size_t comma = rest.find(',');
        const std::string entry = rest.substr(0, comma);
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos) table[entry.substr(0, equals)] = entry.substr(equals + 1);
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    }
    return table;
}

}  // namespace

const std::map<std::string, std::string>& Ports() {
    static const auto table = EnvironmentTable("QUORVEL_TLS_PORTS");
    return table;
}

std::string Sha256Of(const std::string& Name) {
    static const auto table = EnvironmentTable("QUORVEL_TLS_SHA256");
    const auto found = table.find(Name);
    return found == table.end() ? "" : found->second;
}

std::string PkiFile(const std::string& Name) {
    const char* folder = std::getenv("QUORVEL_TLS_PKI");
    return Name.empty() || folder == nullptr ? "" : std::string(folder) + "\\" + Name;
}

// One line (with its LF) read through the session, taking what the session
// holds before waiting; empty when the session ended first.
std::string ReadLine(Connection& Link, ITlsSession& Tls, std::string& Pending, IoStep* Last) {
    for (;;) {
        const std::size_t lf = Pending.find('\n');
        if (lf != std::string::npos) {
            std::string line = Pending.substr(0, lf + 1);
            Pending.erase(0, lf + 1);
            return line;
        }
        char chunk[512];
        std::size_t got = 0;
        const IoStep step = Link.Run([&] { return Tls.Read(chunk, sizeof chunk, got); });
        if (Last != nullptr) *Last = step;
        if (step != IoStep::Done) return {};
        Pending.append(chunk, got);
    }
}

// Writes all of Text; false when the session ended or failed first.
bool WriteAll(Connection& Link, ITlsSession& Tls, const std::string& Text) {
    for (std::size_t done = 0; done < Text.size();) {
        std::size_t sent = 0;
        const IoStep step = Link.Run([&] { return Tls.Write(Text.data() + done, Text.size() - done, sent); });
        if (step != IoStep::Done) return false;
        EXPECT_LE(sent, Text.size() - done);
        done += sent;
    }
    return true;
}

void Figure(const std::string& What, double Value, const char* Unit) {
    std::printf("[ figure   ] %s: %.1f %s\n", What.c_str(), Value, Unit);
}

double MillisecondsSince(Clock::time_point Start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

}  // namespace quorvel::schannel_test
