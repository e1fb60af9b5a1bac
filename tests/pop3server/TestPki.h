#pragma once

#include <filesystem>
#include <string>

namespace quorvel {

// Test certificates made with the openssl command once per test program
// run, in a temporary folder removed when the program ends. Every leaf has
// a P-256 key in "<name>.key" and its certificate in "<name>.pem":
//   good      from the test CA, for localhost and 127.0.0.1
//   other     from the test CA, for other.example.invalid only
//   expired   from the test CA, valid 2020 to 2021
//   notyet    from the test CA, valid from 2099
//   self      self-signed, for localhost and 127.0.0.1
//   self2     another self-signed one, for the same names
//   unknown   from a second CA that nobody trusts
// "ca.pem" is the test CA. Throws std::runtime_error when openssl fails.
class TestPki {
public:
    static const TestPki& Get();

    std::filesystem::path CaFile() const { return Folder / "ca.pem"; }
    std::filesystem::path Cert(const std::string& Name) const { return Folder / (Name + ".pem"); }
    std::filesystem::path Key(const std::string& Name) const { return Folder / (Name + ".key"); }
    // SHA-256 of a certificate, 64 lowercase hex digits.
    std::string Sha256(const std::string& Name) const;

private:
    TestPki();
    std::filesystem::path Folder;
};

}  // namespace quorvel
