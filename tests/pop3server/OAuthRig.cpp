#include "tests/pop3server/OAuthRig.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/pop3server/TestPki.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

std::string Curl(const std::vector<std::string>& Args) {
    return RunChild("/usr/bin/curl", Args, {}, std::chrono::seconds(20)).Output;
}

// The helpers' script: with a keyring, a bus and GNOME Keyring on it first;
// the authorization server writes its port to "port" once all are up.
pid_t StartHelpers(const std::filesystem::path& Folder, bool Keyring) {
    std::string script =
        "cd \"$0\" && export HOME=\"$0\" XDG_DATA_HOME=\"$0/data\" XDG_RUNTIME_DIR=\"$0\" "
        "DBUS_SESSION_BUS_ADDRESS=\"unix:path=$0/bus\"; exec >log 2>&1\n";
    if (Keyring) {
        script +=
            "dbus-daemon --session --nofork --address=\"$DBUS_SESSION_BUS_ADDRESS\" &\n"
            "until [ -S bus ]; do sleep 0.02; done\n"
            "printf pw | gnome-keyring-daemon --unlock --components=secrets --foreground &\n"
            "until dbus-send --session --print-reply --dest=org.freedesktop.DBus / "
            "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets | grep -q true; do sleep 0.02; done\n";
    }
    script += "exec python3 \"$1\" port\n";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::execl("/bin/sh", "sh", "-c", script.c_str(), Folder.c_str(), QUORVEL_SOURCE_DIR "/tests/oauth/authserver.py",
                nullptr);
        ::_exit(127);
    }
    return pid;
}

}  // namespace

OAuthRig::OAuthRig(bool Keyring) : Helpers{StartHelpers(Temp.Path(), Keyring)}, WithKeyring(Keyring) {
    for (const auto end = Clock::now() + std::chrono::seconds(20); !std::filesystem::exists(Temp / "port");) {
        if (Clock::now() > end) throw std::runtime_error("the helpers did not start: " + ReadText(Temp / "log"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Auth = "http://127.0.0.1:" + ReadText(Temp / "port");
    DovecotOptions options;
    options.TlsCertFile = TestPki::Get().Cert("good").string();
    options.TlsKeyFile = TestPki::Get().Key("good").string();
    options.OAuth2IntrospectionUrl = Auth + "/introspect";
    Dovecot = std::make_unique<DovecotServer>(std::vector<DovecotMailbox>{{"alice", "unused", 3}, {"bob", "b-pass", 2}},
                                              options);
    // The stand-in browser: records what it was asked to open; with PROBE it
    // first brings a wrong state and tries the listener's port on another
    // loopback address; then it follows the redirect.
    WriteText(Browser(), "#!/bin/sh\nlog=\"" + (Temp / "browser.log").string() +
                             "\"\necho \"$1\" >> \"$log\"\n"
                             "if [ -n \"$PROBE\" ]; then\n"
                             "  port=$(printf '%s' \"$1\" | sed -n "
                             "'s/.*redirect_uri=http%3A%2F%2F127.0.0.1%3A\\([0-9]*\\).*/\\1/p')\n"
                             "  echo \"wrong-state $(curl -s -o /dev/null -w '%{http_code}' "
                             "\"http://127.0.0.1:$port/?code=x&state=wrong\")\" >> \"$log\"\n"
                             "  curl -s -o /dev/null --max-time 5 \"http://127.0.0.2:$port/\"; "
                             "echo \"other-address $?\" >> \"$log\"\n"
                             "fi\n"
                             "exec curl -s -L -o /dev/null --max-time 20 \"$1\"\n");
    std::filesystem::permissions(Browser(), std::filesystem::perms::owner_all);
}

OAuthRig::TProcessGroup::~TProcessGroup() {
    ::kill(-Pid, SIGKILL);
    ::waitpid(Pid, nullptr, 0);
}

std::filesystem::path OAuthRig::Config(const std::string& Name, bool OAuth, const std::string& Fingerprint) {
    TAccounts accounts;
    accounts.Add() = {.Host = "127.0.0.1",
                      .Port = Dovecot->Pop3sPort(),
                      .Password = OAuth ? "" : "b-pass",
                      .UserID = OAuth ? "alice" : "bob",
                      .Enabled = true,
                      .Security = TConnectionSecurity::ImplicitTls,
                      .CertFingerprint = Fingerprint,
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

std::string OAuthRig::BusAddress() const {
    return WithKeyring ? "unix:path=" + (Temp / "bus").string() : "";
}

ChildResult OAuthRig::Check(const std::filesystem::path& Config, std::vector<std::string> Args,
                            std::map<std::string, std::string> Env) {
    Args.insert(Args.begin(), {"--ca-file", TestPki::Get().CaFile().string()});
    Env.insert({{"XDG_CONFIG_HOME", Config.string()},
                {"DBUS_SESSION_BUS_ADDRESS", BusAddress()},
                {"BROWSER", Browser().string()},
                {"DISPLAY", ""}});
    return RunChild(QUORVEL_CHECK_PROGRAM, Args, Env, std::chrono::seconds(60));
}

std::filesystem::path OAuthRig::TrustFolder() const {
    const std::filesystem::path ca = TestPki::Get().CaFile();
    std::string hash =
        RunChild("/usr/bin/openssl", {"x509", "-hash", "-noout", "-in", ca.string()}, {}, std::chrono::seconds(20))
            .Output;
    hash.erase(hash.find_last_not_of('\n') + 1);
    std::filesystem::create_directories(Temp / "trust");
    std::filesystem::copy_file(ca, Temp / "trust" / (hash + ".0"), std::filesystem::copy_options::overwrite_existing);
    return Temp / "trust";
}

nlohmann::json OAuthRig::State() const {
    return nlohmann::json::parse(Curl({"-s", Auth + "/state"}));
}

void OAuthRig::Control(const std::string& Query) const {
    Curl({"-s", Auth + "/control?" + Query});
}

std::string OAuthRig::Token(const std::string& Form) const {
    return Curl({"-s", "-d", Form, Auth + "/token"});
}

}  // namespace quorvel
