#include "tests/pop3server/DovecotServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/pop3server/DovecotConfig.h"
#include "tests/pop3server/LoopbackLineClient.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PortAttempts = 5;

std::string ReadWhole(const std::filesystem::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

// A port on 127.0.0.1 that was free a moment ago. Another program may take
// it before Dovecot binds; the caller retries on such a clash.
std::int32_t FindFreePort() {
    int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (Fd < 0) {
        throw std::runtime_error(std::string("socket() for a free port failed: ") + std::strerror(errno));
    }
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Address.sin_port = 0;
    socklen_t Length = sizeof(Address);
    if (::bind(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof(Address)) != 0 ||
        ::getsockname(Fd, reinterpret_cast<sockaddr*>(&Address), &Length) != 0) {
        int Error = errno;
        ::close(Fd);
        throw std::runtime_error(std::string("no free port on 127.0.0.1: ") + std::strerror(Error));
    }
    ::close(Fd);
    return ntohs(Address.sin_port);
}

std::filesystem::path MakeTemporaryFolder(bool AsRoot) {
    // As root the unprivileged Dovecot processes must be able to walk down
    // to the folder, so it goes straight under /tmp rather than $TMPDIR.
    std::string Base = "/tmp";
    const char* TmpDir = std::getenv("TMPDIR");
    // Dovecot's sockets live below the folder, and a socket path may not
    // exceed 107 bytes; a long $TMPDIR gives way to /tmp.
    if (!AsRoot && TmpDir != nullptr && *TmpDir != '\0' && std::strlen(TmpDir) <= 60) {
        Base = TmpDir;
    }
    std::string Pattern = Base + "/quorvel-dovecot-XXXXXX";
    if (::mkdtemp(Pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder under " + Base + ": " + std::strerror(errno));
    }
    ::chmod(Pattern.c_str(), 0755);
    return Pattern;
}

void WriteTextFile(const std::filesystem::path& Path, const std::string& Text) {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << Text;
    Out.close();
    if (!Out) {
        throw std::runtime_error("cannot write " + Path.string());
    }
    ::chmod(Path.c_str(), 0644);
}

}  // namespace

DovecotServer::DovecotServer(std::vector<DovecotMailbox> Mailboxes, DovecotOptions Options)
    : Boxes(std::move(Mailboxes)), Settings(std::move(Options)) {
    if (::access(Settings.Binary.c_str(), X_OK) != 0) {
        throw std::runtime_error(Settings.Binary +
                                 " is missing or not executable: the POP3 tests need a real Dovecot "
                                 "(Debian packages dovecot-core and dovecot-pop3d)");
    }
    const DovecotIdentity Who = DovecotIdentityForThisProcess();
    Root = MakeTemporaryFolder(Who.AsRoot);
    try {
        PrepareFolder(Who);
        const auto Deadline = Clock::now() + Settings.StartLimit;
        for (int Attempt = 1;; ++Attempt) {
            ListenPort = Attempt == 1 && Settings.FirstPort > 0 ? Settings.FirstPort : FindFreePort();
            DovecotTls Tls{Settings.TlsCertFile, Settings.TlsKeyFile, 0, Settings.PreLoginRawLog, ""};
            if (!Settings.OAuth2IntrospectionUrl.empty()) {
                WriteTextFile(Root / "oauth2.conf.ext", DovecotOAuth2ConfText(Settings.OAuth2IntrospectionUrl));
                Tls.OAuth2ConfFile = (Root / "oauth2.conf.ext").string();
            }
            if (!Tls.CertFile.empty()) {
                do {
                    TlsPort = FindFreePort();
                } while (TlsPort == ListenPort);
                Tls.Pop3sPort = TlsPort;
            }
            WriteTextFile(Root / "dovecot.conf",
                          DovecotConfigText(Root, ListenPort, Who, GreetingText(), Settings.RawLog, Tls));
            // Only this attempt's messages decide whether the port was taken.
            std::filesystem::remove(Root / "dovecot.log");
            std::filesystem::remove(Root / "dovecot.stderr");
            if (StartOnce(ListenPort, Deadline) == StartResult::Ready) {
                if (Settings.PreLoginRawLog) {
                    // The log-in processes record only into a folder that
                    // exists and is theirs.
                    const auto Folder = Root / "run" / "login" / "rawlogs";
                    std::filesystem::create_directories(Folder);
                    if (Who.AsRoot) {
                        passwd* Login = ::getpwnam(Who.LoginUser.c_str());
                        if (Login != nullptr && ::chown(Folder.c_str(), Login->pw_uid, Login->pw_gid) != 0) {
                            throw std::runtime_error("cannot hand the rawlog folder to the log-in user");
                        }
                    }
                    ::chmod(Folder.c_str(), 0700);
                }
                break;
            }
            Stop();
            if (Attempt == PortAttempts) {
                throw std::runtime_error("every port tried was taken before Dovecot could bind it");
            }
        }
    } catch (const std::exception& Error) {
        std::string Message = std::string("the Dovecot test server did not start: ") + Error.what() +
                              "\n--- Dovecot log (" + Root.string() + ") ---\n" + Log();
        Stop();
        std::error_code Ignored;
        std::filesystem::remove_all(Root, Ignored);
        throw std::runtime_error(Message);
    }
}

DovecotServer::~DovecotServer() {
    Stop();
    std::error_code Ignored;
    std::filesystem::remove_all(Root, Ignored);
}

void DovecotServer::SetMessageCount(const std::string& UserID, int Count) {
    const auto Home = Root / "mail" / UserID;
    for (const char* Sub : {"new", "cur"}) {
        for (const auto& Entry : std::filesystem::directory_iterator(Home / "Maildir" / Sub)) {
            std::filesystem::remove(Entry.path());
        }
    }
    FillMaildir(Home, Count, DovecotIdentityForThisProcess());
}

void DovecotServer::PrepareFolder(const DovecotIdentity& Who) {
    std::filesystem::create_directories(Root / "run");
    std::filesystem::create_directories(Root / "state");
    std::filesystem::create_directories(Root / "mail");
    ::chmod((Root / "mail").c_str(), 0755);
    std::string Passwd;
    for (const auto& Box : Boxes) {
        const auto Home = Root / "mail" / Box.UserID;
        Passwd += DovecotPasswdLine(Box, Home);
        if (std::filesystem::exists(Home)) {
            throw std::invalid_argument("test mailbox \"" + Box.UserID + "\" is listed twice");
        }
        FillMaildir(Home, Box.MessageCount, Who);
        if (Settings.RawLog) {
            PrepareRawLogFolder(Home, Who);
        }
    }
    WriteTextFile(Root / "passwd", Passwd);
}

DovecotServer::StartResult DovecotServer::StartOnce(std::int32_t TryPort, Clock::time_point Deadline) {
    const std::string Conf = (Root / "dovecot.conf").string();
    const std::string Binary = Settings.Binary;
    const std::string ErrPath = (Root / "dovecot.stderr").string();
    int ErrFd = ::open(ErrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    int NullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (ErrFd < 0 || NullFd < 0) {
        throw std::runtime_error("cannot open the files for Dovecot's standard streams");
    }
    const pid_t Parent = ::getpid();
    pid_t Child = ::fork();
    if (Child == 0) {
        // Only async-signal-safe calls between fork and exec. Dovecot is
        // told to shut down when this process dies without stopping it (a
        // test killed on its time limit), so no server outlives its test.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != Parent) {
            ::_exit(127);
        }
        ::dup2(NullFd, 0);
        ::dup2(ErrFd, 1);
        ::dup2(ErrFd, 2);
        ::close_range(3, ~0U, 0);
        const char* Args[] = {"dovecot", "-F", "-c", Conf.c_str(), nullptr};
        ::execv(Binary.c_str(), const_cast<char* const*>(Args));
        ::_exit(127);
    }
    ::close(ErrFd);
    ::close(NullFd);
    if (Child < 0) {
        throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    }
    ::setpgid(Child, Child);
    Pid = Child;

    while (Clock::now() < Deadline) {
        if (Exited()) {
            if (Log().find("Address already in use") != std::string::npos) {
                return StartResult::PortTaken;
            }
            throw std::runtime_error("dovecot exited during start-up");
        }
        LoopbackLineClient Probe;
        auto Step = std::min(Deadline, Clock::now() + std::chrono::seconds(2));
        std::string Greeting;
        if (Probe.Connect("127.0.0.1", TryPort, Step) && Probe.ReadLine(Greeting, Step)) {
            if (Greeting == "+OK " + GreetingText()) {
                return StartResult::Ready;
            }
            // Another server holds the port; this one will fail to bind it
            // and exit, which the next round sees.
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("no POP3 greeting on 127.0.0.1:" + std::to_string(TryPort) + " within the start limit");
}

std::string DovecotServer::GreetingText() const {
    return Root.filename().string() + " ready.";
}

bool DovecotServer::Exited() {
    if (Pid <= 0) {
        return true;
    }
    int Status = 0;
    pid_t Result = ::waitpid(Pid, &Status, WNOHANG);
    if (Result == Pid || (Result < 0 && errno == ECHILD)) {
        Pid = -1;
        return true;
    }
    return false;
}

void DovecotServer::Stop(std::chrono::milliseconds StopLimit) {
    if (Pid <= 0) {
        return;
    }
    const pid_t Group = Pid;
    ::kill(Pid, SIGTERM);
    const auto Deadline = Clock::now() + StopLimit;
    while (!Exited() && Clock::now() < Deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!Exited()) {
        ::kill(-Group, SIGKILL);
        int Status = 0;
        ::waitpid(Group, &Status, 0);
        Pid = -1;
    }
}

namespace {

// Every ".in" file of a rawlog folder, one session after another. Names are
// "<date>-<time>-<pid>.in"; within one second the pid orders them only
// roughly, so sessions that matter are told apart by content.
std::string RawLogInput(const std::filesystem::path& Folder) {
    std::vector<std::filesystem::path> Sessions;
    std::error_code Error;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder, Error)) {
        if (Entry.path().extension() == ".in") {
            Sessions.push_back(Entry.path());
        }
    }
    std::sort(Sessions.begin(), Sessions.end());
    std::string Text;
    for (const auto& Session : Sessions) {
        Text += ReadWhole(Session);
    }
    return Text;
}

}  // namespace

std::string DovecotServer::RawInput(const std::string& UserID) const {
    return RawLogInput(RawLogFolder(Root / "mail" / UserID));
}

std::string DovecotServer::PreLoginInput() const {
    return RawLogInput(Root / "run" / "login" / "rawlogs");
}

std::string DovecotServer::Log() const {
    std::string Text = ReadWhole(Root / "dovecot.log");
    std::string Err = ReadWhole(Root / "dovecot.stderr");
    if (!Err.empty()) {
        Text += "--- dovecot stderr ---\n" + Err;
    }
    return Text;
}

bool DovecotServer::LogShows(const std::string& Text, std::size_t Times) const {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const std::string Log = this->Log();
        std::size_t Found = 0;
        for (auto At = Log.find(Text); At != std::string::npos; At = Log.find(Text, At + 1)) ++Found;
        if (Found >= Times) return true;
        if (std::chrono::steady_clock::now() >= Deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace quorvel
