#include "bench/CheckTiming.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "bench/Figures.h"
#include "core/Exception.h"
#include "net/PollEventLoop.h"
#include "net/Pop3Client.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int WarmUpRuns = 3;

std::string FindCurl() {
    if (::access("/usr/bin/curl", X_OK) == 0) {
        return "/usr/bin/curl";
    }
    const char* Path = std::getenv("PATH");
    std::istringstream Dirs(Path != nullptr ? Path : "");
    for (std::string Dir; std::getline(Dirs, Dir, ':');) {
        const std::string Candidate = Dir + "/curl";
        if (!Dir.empty() && ::access(Candidate.c_str(), X_OK) == 0) {
            return Candidate;
        }
    }
    return {};
}

// One check as the tray makes it per account. Returns the failure's
// message, empty on success.
std::string OneClientCheck(TPollEventLoop& Loop, const DovecotServer& Server, const std::string& UserID,
                           const std::string& Password, std::int32_t TimeOutMs, std::int32_t Expected) {
    TPop3Client Client(Loop);
    Client.SetTimeOut(TimeOutMs);
    Client.Host = Server.Host();
    Client.Port = Server.Port();
    Client.UserID = UserID;
    Client.Password = Password;
    try {
        Client.Connect();
        const std::int32_t Count = Client.MessageCount();
        Client.Disconnect();
        if (Count != Expected) {
            return "counted " + std::to_string(Count) + " messages, expected " + std::to_string(Expected);
        }
        return {};
    } catch (const Exception& Error) {
        return Error.Message();
    }
}

std::string OneCurlCheck(const std::string& Curl, const DovecotServer& Server, const std::string& UserID,
                         const std::string& Password, std::int32_t TimeOutMs, std::chrono::nanoseconds& Elapsed) {
    const std::string Url = "pop3://" + Server.Host() + ":" + std::to_string(Server.Port()) + "/";
    const ChildResult Result = RunChild(Curl, {"-s", "-u", UserID + ":" + Password, Url, "-X", "STAT", "-I"}, {},
                                        std::chrono::milliseconds(TimeOutMs));
    Elapsed = Result.Elapsed;
    if (!Result.Finished) {
        return "curl overran its time limit";
    }
    if (Result.ExitStatus != 0) {
        return "curl exited with status " + std::to_string(Result.ExitStatus);
    }
    return {};
}

}  // namespace

CheckTimingFigures MeasureCheckTimes(const DovecotServer& Server, const std::string& UserID,
                                     const std::string& Password, int Runs, std::int32_t TimeOutMs,
                                     Clock::time_point Deadline) {
    CheckTimingFigures Figures;
    Figures.CurlPath = FindCurl();
    std::int32_t Expected = -1;
    for (const auto& Box : Server.Mailboxes()) {
        if (Box.UserID == UserID) {
            Expected = Box.MessageCount;
        }
    }
    TPollEventLoop Loop;
    std::chrono::nanoseconds Ignored{0};
    for (int Run = 0; Run < WarmUpRuns && Clock::now() < Deadline; ++Run) {
        OneClientCheck(Loop, Server, UserID, Password, TimeOutMs, Expected);
        if (!Figures.CurlPath.empty()) {
            OneCurlCheck(Figures.CurlPath, Server, UserID, Password, TimeOutMs, Ignored);
        }
    }
    // The two kinds take turns, so a slow spell of the machine hits both.
    for (int Run = 0; Run < Runs; ++Run) {
        if (Clock::now() >= Deadline) {
            Figures.StoppedByDeadline = true;
            break;
        }
        const auto Start = Clock::now();
        const std::string Failure = OneClientCheck(Loop, Server, UserID, Password, TimeOutMs, Expected);
        const auto Elapsed = Clock::now() - Start;
        if (Failure.empty()) {
            Figures.ClientMs.push_back(Milliseconds(Elapsed));
        } else if (Figures.ClientFailures++ == 0) {
            Figures.FirstClientFailure = Failure;
        }
        if (Figures.CurlPath.empty()) {
            continue;
        }
        std::chrono::nanoseconds CurlElapsed{0};
        const std::string CurlFailure =
            OneCurlCheck(Figures.CurlPath, Server, UserID, Password, TimeOutMs, CurlElapsed);
        if (CurlFailure.empty()) {
            Figures.CurlMs.push_back(Milliseconds(CurlElapsed));
        } else if (Figures.CurlFailures++ == 0) {
            Figures.FirstCurlFailure = CurlFailure;
        }
    }
    return Figures;
}

}  // namespace quorvel
