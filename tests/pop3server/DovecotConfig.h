#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/pop3server/DovecotServer.h"

namespace quorvel {

// Who the test server's processes and mailboxes run as.
struct DovecotIdentity {
    bool AsRoot = false;
    // Dovecot's internal and log-in users; as root the package's own
    // "dovecot" and "dovenull", otherwise the calling user for both.
    std::string InternalUser;
    std::string InternalGroup;
    std::string LoginUser;
    // Owner of the mailboxes. Dovecot refuses mail access as root, so a
    // root run hands the mail to "nobody"; a user run keeps its own ids.
    uid_t MailUid = 0;
    gid_t MailGid = 0;
};

// The identity for the calling process. Throws std::runtime_error when the
// needed accounts are missing from the user database.
DovecotIdentity DovecotIdentityForThisProcess();

// The whole dovecot.conf for a server rooted in Root and listening on
// 127.0.0.1:Port. Every path Dovecot writes
// lies inside Root.
// The server greets with "+OK " and Greeting, so that a test can tell its
// own server from another that took the port. With RawLog every mail
// session runs through Dovecot's rawlog, which records the session's
// traffic in the user's RawLogFolder.
// TLS of the test server: certificate and key files and the implicit-TLS
// port; no CertFile means ssl = no.
struct DovecotTls {
    std::string CertFile;
    std::string KeyFile;
    std::int32_t Pop3sPort = 0;
    bool PreLoginRawLog = false;  // the log-in process records to run/login/rawlogs
    std::string OAuth2ConfFile;   // not empty: an oauth2 passdb with these settings
};

std::string DovecotConfigText(const std::filesystem::path& Root, std::int32_t Port, const DovecotIdentity& Who,
                              const std::string& Greeting, bool RawLog = false, const DovecotTls& Tls = {});

// The settings of the oauth2 passdb: introspection by POST at Url, the user
// name from the answer's "email", active when "active" is true.
std::string DovecotOAuth2ConfText(const std::string& Url);

// Where rawlog keeps a user's sessions: "<session>.in" holds what the client
// sent, "<session>.out" what the server answered.
std::filesystem::path RawLogFolder(const std::filesystem::path& Home);
void PrepareRawLogFolder(const std::filesystem::path& Home, const DovecotIdentity& Who);

// One passwd-file line: name, {PLAIN} password, empty uid/gid (the global
// mail_uid/mail_gid apply), home = Home. Throws std::invalid_argument for a
// name or password that the file format cannot carry.
std::string DovecotPasswdLine(const DovecotMailbox& Box, const std::filesystem::path& Home);

// Creates the Maildir folders under Home and Count small messages in new/,
// each with a distinct subject, owned by Who's mail ids.
void FillMaildir(const std::filesystem::path& Home, int Count, const DovecotIdentity& Who);

}  // namespace quorvel
