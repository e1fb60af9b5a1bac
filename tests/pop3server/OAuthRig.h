#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/pop3server/ChildProcess.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/support/TempFolder.h"

namespace quorvel {

// OAuth 2.0 on one machine, for the end-to-end tests of every program that
// signs in: a stand-in authorization server (tests/oauth/authserver.py), a
// Dovecot that checks bearer tokens with it (alice by OAuth with 3 messages,
// bob by password "b-pass" with 2), a stand-in browser script that follows
// the redirect with curl and, when asked, GNOME Keyring (unlocked) on a
// private session bus. The helpers run in a process group of their own,
// ended with the rig.
class OAuthRig {
public:
    explicit OAuthRig(bool Keyring = true);
    OAuthRig(const OAuthRig&) = delete;
    OAuthRig& operator=(const OAuthRig&) = delete;

    // Settings with one account, alice by OAuth (tokens at the stand-in
    // server) or bob by password, in Temp/Name/Quorvel/registry.reg (REGEDIT4,
    // which Wine's regedit imports too); returns Temp/Name (XDG_CONFIG_HOME).
    // Fingerprint: the server's certificate trusted by its SHA-256, for
    // programs that take no CA file.
    std::filesystem::path Config(const std::string& Name, bool OAuth, const std::string& Fingerprint = "");
    // The private session bus with the keyring on it (empty without one).
    std::string BusAddress() const;
    // The stand-in browser (it gets the URL as its first argument) and the
    // file where it adds each URL it was asked to open.
    std::filesystem::path Browser() const { return Temp / "browser.sh"; }
    std::string BrowserLog() const { return ReadText(Temp / "browser.log"); }

    // quorvel-check on Config, trusting the test CA, on the keyring's bus,
    // with the stand-in browser and no display.
    ChildResult Check(const std::filesystem::path& Config, std::vector<std::string> Args,
                      std::map<std::string, std::string> Env = {});

    // A folder of trusted CAs holding the test CA (for SSL_CERT_DIR), for
    // programs that take no CA file: the tray trusts it like a system CA.
    std::filesystem::path TrustFolder() const;

    // The server's /state: token_calls, refresh_calls, issued_access, issued_refresh.
    nlohmann::json State() const;
    // GET /control?Query (lifetime=N, expire=1, revoke=1).
    void Control(const std::string& Query) const;
    // POSTs Form to /token; returns the answer.
    std::string Token(const std::string& Form) const;

    TTempFolder Temp;
    std::string Auth;  // http://127.0.0.1:PORT
    std::unique_ptr<DovecotServer> Dovecot;

private:
    // The helpers' process group, killed with the rig.
    struct TProcessGroup {
        pid_t Pid = -1;
        ~TProcessGroup();
    };
    TProcessGroup Helpers;
    bool WithKeyring;
};

}  // namespace quorvel
