// The tokens in the Credential Manager, as Wine keeps it for the user.
#include <gtest/gtest.h>

#include <windows.h>

#include <wincred.h>

#include "core/WideText_win32.h"
#include "settings/SecretStore.h"

using namespace quorvel;

namespace {

std::wstring Target(const std::string& Account, const std::string& Suffix = "") {
    return WideFromUtf8("Quorvel OAuth 2.0: " + Account + Suffix);
}

// How many credentials hold parts of Account's secret.
DWORD PartsOf(const std::string& Account) {
    DWORD count = 0;
    PCREDENTIALW* found = nullptr;
    if (!::CredEnumerateW(Target(Account, " part *").c_str(), 0, &count, &found)) return 0;
    ::CredFree(found);
    return count;
}

// A part written outside the store: one that a save cut short left behind,
// or one of another save.
void PlantPart(const std::string& Account, const std::string& Suffix) {
    const std::wstring name = Target(Account, Suffix);
    std::string blob(2560, 'z');
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(name.c_str());
    credential.CredentialBlobSize = static_cast<DWORD>(blob.size());
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    ASSERT_TRUE(::CredWriteW(&credential, 0));
}

}  // namespace

TEST(CredentialStore, PartsReplaceAndDeleteWithoutLeftovers) {
    const std::string a = "a" + std::to_string(::GetCurrentProcessId()) + "@pop.example.org";
    const std::string b = "b" + std::to_string(::GetCurrentProcessId()) + "@pop.example.org";
    std::string long1(7 * 1024, 'x'), long2(7 * 1024, 'y');
    for (std::size_t i = 0; i < long1.size(); i += 97) long1[i] = long2[i] = static_cast<char>('0' + i % 10);
    const auto store = OpenSecretStore();
    struct Step {
        char Action;  // 's' save Secret, 'd' delete, 'p' plant the part named by Secret
        std::string Account, Secret;
        std::optional<std::string> A, B;  // what loads afterwards
        DWORD PartsOfA;
    };
    for (const Step& step : std::vector<Step>{
             {'s', a, "short", "short", std::nullopt, 1},
             {'s', a, long1, long1, std::nullopt, 3},
             {'s', b, long2, long1, long2, 3},
             {'p', a, " part 99.1", long1, long2, 4},
             {'s', a, "short2", "short2", long2, 1},
             {'s', a, long1, long1, long2, 3},
             {'p', a, " part 4.2", std::nullopt, long2, 3},  // never a mix of two secrets
             {'s', a, "", "", long2, 0},
             {'p', a, " part 1.1", "", long2, 1},
             {'d', a, "", std::nullopt, long2, 0},
             {'d', b, "", std::nullopt, std::nullopt, 0},
         }) {
        SCOPED_TRACE(testing::Message() << step.Action << " " << step.Account << " " << step.Secret.size());
        if (step.Action == 's') store->Save(step.Account, step.Secret);
        if (step.Action == 'd') store->Delete(step.Account);
        if (step.Action == 'p') PlantPart(step.Account, step.Secret);
        EXPECT_EQ(store->Load(a), step.A);
        EXPECT_EQ(store->Load(b), step.B);
        EXPECT_EQ(PartsOf(a), step.PartsOfA);
    }
    EXPECT_EQ(PartsOf(b), 0u);
}
