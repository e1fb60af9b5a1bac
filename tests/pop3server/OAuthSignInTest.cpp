// OAuth 2.0 end to end on one machine: quorvel-check signs in through a
// stand-in browser (curl) at a stand-in authorization server, keeps the
// tokens in a real GNOME Keyring on a private session bus, and logs in to a
// Dovecot that checks the tokens with that server.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "settings/SecretStore.h"
#include "tests/pop3server/OAuthRig.h"

namespace quorvel {
namespace {

// Processor time (user + system) of the children waited for so far.
double ChildCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
    rig.Control("expire=1&lifetime=60");
    run = rig.Check(config, {});
    EXPECT_EQ(run.Output, name + ": 3\n") << rig.Dovecot->Log();
    state = rig.State();
    EXPECT_EQ(state["refresh_calls"], 1);
    const std::string old = "grant_type=refresh_token&refresh_token=" + state["issued_refresh"][0].get<std::string>();
    EXPECT_NE(rig.Token(old).find("invalid_grant"), std::string::npos);

    // An access token with less than five minutes left is refreshed before
    // the log-in.
    run = rig.Check(config, {});
    EXPECT_EQ(run.Output, name + ": 3\n");
    EXPECT_EQ(rig.State()["refresh_calls"], 3);  // the test's own call above counts too

    // Never a token in the settings file: sign-in and checks leave it as it was.
    EXPECT_EQ(ReadText(config / "Quorvel" / "registry.reg"), settings);

    // Revoked: "sign in again", and no browser of its own accord.
    rig.Control("expire=1&revoke=1");
    run = rig.Check(config, {});
    EXPECT_EQ(run.Output, name + ": failed: OAuth: sign in again\n");
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(rig.BrowserLog(), log);
}

}  // namespace
}  // namespace quorvel
