#include "tests/pop3server/DovecotConfig.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <ctime>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorvel {

namespace {

std::string UserName(uid_t Uid) {
    passwd* Entry = ::getpwuid(Uid);
    if (Entry == nullptr) {
        throw std::runtime_error("the test user (uid " + std::to_string(Uid) +
                                 ") has no entry in the user database; Dovecot needs a user name");
    }
    return Entry->pw_name;
}

std::string GroupName(gid_t Gid) {
    group* Entry = ::getgrgid(Gid);
    if (Entry == nullptr) {
        throw std::runtime_error("the test group (gid " + std::to_string(Gid) +
                                 ") has no entry in the group database; Dovecot needs a group name");
    }
    return Entry->gr_name;
}

void RequireUser(const char* Name) {
    if (::getpwnam(Name) == nullptr) {
        throw std::runtime_error(std::string("user \"") + Name +
                                 "\" is missing; it comes with the dovecot-core package");
    }
}

void WriteFile(const std::filesystem::path& Path, const std::string& Text) {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << Text;
    Out.close();
    if (!Out) {
        throw std::runtime_error("cannot write " + Path.string());
    }
}

void GiveTo(const std::filesystem::path& Path, const DovecotIdentity& Who) {
    if (Who.AsRoot && ::chown(Path.c_str(), Who.MailUid, Who.MailGid) != 0) {
        throw std::runtime_error("cannot hand " + Path.string() + " to the mail user");
    }
}

}  // namespace

DovecotIdentity DovecotIdentityForThisProcess() {
    DovecotIdentity Who;
    Who.AsRoot = ::geteuid() == 0;
    if (Who.AsRoot) {
        RequireUser("dovecot");
        RequireUser("dovenull");
        Who.InternalUser = "dovecot";
        Who.LoginUser = "dovenull";
        passwd* Nobody = ::getpwnam("nobody");
        Who.MailUid = Nobody != nullptr ? Nobody->pw_uid : 65534;
        Who.MailGid = Nobody != nullptr ? Nobody->pw_gid : 65534;
    } else {
        Who.MailUid = ::geteuid();
        Who.MailGid = ::getegid();
        Who.InternalUser = UserName(Who.MailUid);
        Who.InternalGroup = GroupName(Who.MailGid);
        Who.LoginUser = Who.InternalUser;
    }
    return Who;
}

std::string DovecotConfigText(const std::filesystem::path& Root, std::int32_t Port, const DovecotIdentity& Who,
                              const std::string& Greeting, bool RawLog, const DovecotTls& Tls) {
    const std::string R = Root.string();
    std::ostringstream Conf;
    Conf << "# Generated for one test run; everything Dovecot writes stays in this folder.\n"
         << "base_dir = " << R << "/run\n"
         << "state_dir = " << R << "/state\n"
         << "log_path = " << R << "/dovecot.log\n"
         << "protocols = pop3\n"
         << "login_greeting = " << Greeting << "\n"
         << "listen = 127.0.0.1\n"
         << (Tls.CertFile.empty() ? "ssl = no\ndisable_plaintext_auth = no\n"
                                  : "ssl = required\ndisable_plaintext_auth = yes\nssl_min_protocol = TLSv1.2\n"
                                    "ssl_cert = <" +
                                        Tls.CertFile + "\nssl_key = <" + Tls.KeyFile + "\n")
         << (Tls.OAuth2ConfFile.empty() ? "auth_mechanisms = plain\n" : "auth_mechanisms = plain xoauth2 oauthbearer\n")
         // A refused log-in is answered at once rather than after 2 s.
         << "auth_failure_delay = 0\n"
         << "mail_location = maildir:~/Maildir\n"
         << "mail_uid = " << Who.MailUid << "\n"
         << "mail_gid = " << Who.MailGid
         << "\n"
         // Dovecot's defaults (500) would refuse system ids such as nobody's
         // on some systems or a low uid of the calling user; root stays refused.
         << "first_valid_uid = 1\n"
         << "first_valid_gid = 1\n";
    if (!Who.AsRoot) {
        // Without root no process can change user or chroot.
        Conf << "default_internal_user = " << Who.InternalUser << "\n"
             << "default_internal_group = " << Who.InternalGroup << "\n"
             << "default_login_user = " << Who.LoginUser << "\n";
    }
    if (!Tls.OAuth2ConfFile.empty()) {
        Conf << "passdb {\n"
             << "  driver = oauth2\n"
             << "  mechanisms = xoauth2 oauthbearer\n"
             << "  args = " << Tls.OAuth2ConfFile << "\n"
             << "}\n";
    }
    Conf << "passdb {\n"
         << "  driver = passwd-file\n"
         << "  args = scheme=PLAIN username_format=%u " << R << "/passwd\n"
         << "}\n"
         << "userdb {\n"
         << "  driver = passwd-file\n"
         << "  args = username_format=%u " << R << "/passwd\n"
         << "}\n";
    if (!Who.AsRoot) {
        Conf << "service anvil {\n  chroot =\n}\n";
    }
    if (RawLog) {
        Conf << "service pop3 {\n"
             << "  executable = pop3 postlogin\n"
             << "}\n"
             << "service postlogin {\n"
             << "  executable = script-login -d rawlog\n"
             << "  unix_listener postlogin {\n"
             << "  }\n"
             << "}\n";
    }
    Conf << "service pop3-login {\n";
    if (Tls.PreLoginRawLog) {
        Conf << "  executable = pop3-login -R rawlogs\n";
    }
    if (!Who.AsRoot) {
        Conf << "  chroot =\n";
    }
    Conf << "  inet_listener pop3 {\n"
         << "    address = 127.0.0.1\n"
         << "    port = " << Port << "\n"
         << "  }\n"
         << "  inet_listener pop3s {\n"
         << "    address = 127.0.0.1\n"
         << "    port = " << Tls.Pop3sPort << "\n"
         << (Tls.CertFile.empty() ? "" : "    ssl = yes\n") << "  }\n"
         << "}\n";
    return Conf.str();
}

std::string DovecotOAuth2ConfText(const std::string& Url) {
    return "introspection_mode = post\nintrospection_url = " + Url +
           "\nusername_attribute = email\nactive_attribute = active\nactive_value = true\n"
           "force_introspection = yes\n";
}

std::string DovecotPasswdLine(const DovecotMailbox& Box, const std::filesystem::path& Home) {
    auto Carriable = [](const std::string& Text) { return Text.find_first_of(":\r\n") == std::string::npos; };
    if (Box.UserID.empty() || !Carriable(Box.UserID) || Box.UserID.find('/') != std::string::npos ||
        Box.UserID == "." || Box.UserID == "..") {
        throw std::invalid_argument("test mailbox user \"" + Box.UserID + "\" cannot be stored");
    }
    if (!Carriable(Box.Password)) {
        throw std::invalid_argument("test mailbox password of \"" + Box.UserID + "\" cannot be stored");
    }
    if (Box.MessageCount < 0) {
        throw std::invalid_argument("test mailbox \"" + Box.UserID + "\" has a negative message count");
    }
    return Box.UserID + ":{PLAIN}" + Box.Password + "::::" + Home.string() + "::\n";
}

std::filesystem::path RawLogFolder(const std::filesystem::path& Home) {
    return Home / "dovecot.rawlog";
}

void PrepareRawLogFolder(const std::filesystem::path& Home, const DovecotIdentity& Who) {
    std::filesystem::create_directories(RawLogFolder(Home));
    GiveTo(RawLogFolder(Home), Who);
}

void FillMaildir(const std::filesystem::path& Home, int Count, const DovecotIdentity& Who) {
    const std::filesystem::path Maildir = Home / "Maildir";
    for (const auto& Path : {Home, Maildir, Maildir / "cur", Maildir / "new", Maildir / "tmp"}) {
        std::filesystem::create_directories(Path);
        GiveTo(Path, Who);
    }
    const long Stamp = static_cast<long>(::time(nullptr));
    for (int Index = 1; Index <= Count; ++Index) {
        std::ostringstream Name;
        Name << Stamp << ".M" << Index << "P" << ::getpid() << ".quorvel-test";
        std::ostringstream Text;
        Text << "From: sender@example.invalid\n"
             << "To: mailbox@example.invalid\n"
             << "Subject: test message " << Index << "\n"
             << "Message-ID: <" << Index << "." << Stamp << "@example.invalid>\n"
             << "\n"
             << "Body of test message " << Index << ".\n";
        const auto Path = Maildir / "new" / Name.str();
        WriteFile(Path, Text.str());
        GiveTo(Path, Who);
    }
}

}  // namespace quorvel
