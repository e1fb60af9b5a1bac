// OAuth 2.0 end to end on one machine: quorvel-check signs in through a
// stand-in browser (curl) at a stand-in authorization server, keeps the
// tokens in a real GNOME Keyring on a private session bus, and logs in to a
// Dovecot that checks the tokens with that server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "settings/RegistryStore.h"
#include "settings/SecretStore.h"
#include "settings/Settings.h"
#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/pop3server/TestPki.h"
#include "tests/support/TempFolder.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

// The session's helpers, in a process group of their own ended with the
// test: a bus, GNOME Keyring (unlocked) on it, the authorization server,
// which writes its port to "port" once the keyring answers.
class Helpers {
public:
    explicit Helpers(const std::filesystem::path& Folder) {
        const std::string script =
            "cd \"$0\" && export HOME=\"$0\" XDG_DATA_HOME=\"$0/data\" XDG_RUNTIME_DIR=\"$0\" "
            "DBUS_SESSION_BUS_ADDRESS=\"unix:path=$0/bus\"; exec >log 2>&1\n"
            "dbus-daemon --session --nofork --address=\"$DBUS_SESSION_BUS_ADDRESS\" &\n"
            "until [ -S bus ]; do sleep 0.02; done\n"
            "printf pw | gnome-keyring-daemon --unlock --components=secrets --foreground &\n"
            "until dbus-send --session --print-reply --dest=org.freedesktop.DBus / "
            "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets | grep -q true; do sleep 0.02; done\n"
            "exec python3 \"$1\" port\n";
        Pid = ::fork();
        if (Pid == 0) {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::execl("/bin/sh", "sh", "-c", script.c_str(), Folder.c_str(),
                    QUORVEL_SOURCE_DIR "/tests/oauth/authserver.py", nullptr);
            ::_exit(127);
        }
    }
    ~Helpers() {
        ::kill(-Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
    }
    pid_t Pid = -1;
};

std::string Curl(const std::vector<std::string>& Args) {
    return RunChild("/usr/bin/curl", Args, {}, std::chrono::seconds(20)).Output;
}

// Processor time (user + system) of the children waited for so far.
double ChildCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct OAuthRig {
    TTempFolder Temp;
    Helpers Session{Temp.Path()};
    std::string Auth;  // http://127.0.0.1:PORT
    std::unique_ptr<DovecotServer> Dovecot;

    OAuthRig() {
        for (const auto end = Clock::now() + std::chrono::seconds(20); !std::filesystem::exists(Temp / "port");) {
            if (Clock::now() > end) throw std::runtime_error("the helpers did not start: " + ReadText(Temp / "log"));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        Auth = "http://127.0.0.1:" + ReadText(Temp / "port");
        DovecotOptions options;
        options.TlsCertFile = TestPki::Get().Cert("good").string();
        options.TlsKeyFile = TestPki::Get().Key("good").string();
        options.OAuth2IntrospectionUrl = Auth + "/introspect";
        Dovecot = std::make_unique<DovecotServer>(
            std::vector<DovecotMailbox>{{"alice", "unused", 3}, {"bob", "b-pass", 2}}, options);
        // The stand-in browser: records what it was asked to open; with
        // PROBE it first brings a wrong state and tries the listener's port
        // on another loopback address; then it follows the redirect.
        WriteText(
            Temp / "browser.sh",
            "#!/bin/sh\necho \"$1\" >> \"$BROWSER_LOG\"\n"
            "if [ -n \"$PROBE\" ]; then\n"
            "  port=$(printf '%s' \"$1\" | sed -n 's/.*redirect_uri=http%3A%2F%2F127.0.0.1%3A\\([0-9]*\\).*/\\1/p')\n"
            "  echo \"wrong-state $(curl -s -o /dev/null -w '%{http_code}' "
            "\"http://127.0.0.1:$port/?code=x&state=wrong\")\" >> \"$BROWSER_LOG\"\n"
            "  curl -s -o /dev/null --max-time 5 \"http://127.0.0.2:$port/\"; echo \"other-address $?\" >> "
            "\"$BROWSER_LOG\"\n"
            "fi\n"
            "exec curl -s -L -o /dev/null --max-time 20 \"$1\"\n");
        std::filesystem::permissions(Temp / "browser.sh", std::filesystem::perms::owner_all);
    }

    // Settings with one account: alice by OAuth (tokens at the stand-in
    // server) or bob by password.
    std::filesystem::path Config(const std::string& Name, bool OAuth) {
        TAccounts accounts;
        accounts.Add() = {.Host = "127.0.0.1",
                          .Port = Dovecot->Pop3sPort(),
                          .Password = OAuth ? "" : "b-pass",
                          .UserID = OAuth ? "alice" : "bob",
                          .Enabled = true,
                          .Security = TConnectionSecurity::ImplicitTls,
                          .Auth = OAuth ? TAuthMethod::OAuth : TAuthMethod::Password,
                          .OAuthProvider = "custom",
                          .OAuthClientId = "quorvel-test",
                          .OAuthAuthorizeUrl = Auth + "/authorize",
                          .OAuthTokenUrl = Auth + "/token",
                          .OAuthScope = "pop"};
        std::filesystem::create_directories(Temp / Name / "Quorvel");
        TRegistryStore store(Temp / Name / "Quorvel" / "registry.reg");
        SaveAccounts(store, accounts);
        return Temp / Name;
    }

    ChildResult Check(const std::filesystem::path& Config, std::vector<std::string> Args,
                      std::map<std::string, std::string> Env = {}) {
        Args.insert(Args.begin(), {"--ca-file", TestPki::Get().CaFile().string()});
        Env.insert({{"XDG_CONFIG_HOME", Config.string()},
                    {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (Temp / "bus").string()},
                    {"BROWSER", (Temp / "browser.sh").string()},
                    {"BROWSER_LOG", (Temp / "browser.log").string()},
                    {"DISPLAY", ""}});
        return RunChild(QUORVEL_CHECK_PROGRAM, Args, Env, std::chrono::seconds(60));
    }

    nlohmann::json State() { return nlohmann::json::parse(Curl({"-s", Auth + "/state"})); }
    std::string BrowserLog() { return ReadText(Temp / "browser.log"); }
};

TEST(OAuthSignIn, SignInCheckRefreshAndRevocation) {
    OAuthRig rig;
    const std::filesystem::path config = rig.Config("alice", true);
    const std::string name = "alice@127.0.0.1";
    const std::string settings = ReadText(config / "Quorvel" / "registry.reg");

    // No secret store on the session: one clear sentence, nothing started.
    ChildResult run = rig.Check(config, {"--sign-in", name}, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}});
    EXPECT_EQ(run.Output, name + ": sign-in failed: " + NoSecretStoreText + "\n");
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(rig.BrowserLog(), "");

    // Sign-in: a wrong state is refused and the right one completes; the
    // listener answers on 127.0.0.1 only (curl 7: could not connect).
    run = rig.Check(config, {"--sign-in", name}, {{"PROBE", "1"}});
    EXPECT_EQ(run.Output, name + ": signed in\n") << rig.Dovecot->Log();
    EXPECT_EQ(run.ExitStatus, 0);
    const std::string log = rig.BrowserLog();
    EXPECT_EQ(log.substr(0, log.find('\n')).rfind(rig.Auth + "/authorize?response_type=code", 0), 0u) << log;
    EXPECT_NE(log.find("\nwrong-state 400\nother-address 7\n"), std::string::npos) << log;
    nlohmann::json state = rig.State();
    EXPECT_EQ(state["token_calls"], 1) << state.dump();

    // A fresh token: the check makes no token call. Processor time against
    // a password account on the same server.
    double before = ChildCpuSeconds();
    run = rig.Check(config, {});
    const double oauthCpu = ChildCpuSeconds() - before;
    EXPECT_EQ(run.Output, name + ": 3\n") << rig.Dovecot->Log();
    EXPECT_EQ(rig.State()["token_calls"], 1);
    before = ChildCpuSeconds();
    EXPECT_EQ(rig.Check(rig.Config("bob", false), {}).Output, "bob@127.0.0.1: 2\n");
    const double passwordCpu = ChildCpuSeconds() - before;
    std::cout << "processor time of quorvel-check: OAuth (fresh token) " << oauthCpu * 1000 << " ms, password "
              << passwordCpu * 1000 << " ms\n";

    // The server voids the access token: refused, refreshed once, checked;
    // the rotated-out refresh token is no longer accepted.
    Curl({"-s", rig.Auth + "/control?expire=1&lifetime=60"});
    run = rig.Check(config, {});
    EXPECT_EQ(run.Output, name + ": 3\n") << rig.Dovecot->Log();
    state = rig.State();
    EXPECT_EQ(state["refresh_calls"], 1);
    const std::string old = "grant_type=refresh_token&refresh_token=" + state["issued_refresh"][0].get<std::string>();
    EXPECT_NE(Curl({"-s", "-d", old, rig.Auth + "/token"}).find("invalid_grant"), std::string::npos);

    // An access token with less than five minutes left is refreshed before
    // the log-in.
    run = rig.Check(config, {});
    EXPECT_EQ(run.Output, name + ": 3\n");
    EXPECT_EQ(rig.State()["refresh_calls"], 3);  // the test's own call above counts too

    // Never a token in the settings file: sign-in and checks leave it as it was.
    EXPECT_EQ(ReadText(config / "Quorvel" / "registry.reg"), settings);

    // Revoked: "sign in again", and no browser of its own accord.
    Curl({"-s", rig.Auth + "/control?expire=1&revoke=1"});
    run = rig.Check(config, {});
    EXPECT_EQ(run.Output, name + ": failed: OAuth: sign in again\n");
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(rig.BrowserLog(), log);
}

}  // namespace
}  // namespace quorvel
