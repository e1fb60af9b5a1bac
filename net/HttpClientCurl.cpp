// The token calls over libcurl, with the system's certificate checks.
#include <mutex>

#include "net/CurlLibrary.h"
#include "net/HttpClient.h"

namespace quorvel {

namespace {

struct Transfer {
    std::string Body;
    bool TooLarge = false;
};

std::size_t Collect(char* Data, std::size_t Size, std::size_t Count, void* User) {
    Transfer& transfer = *static_cast<Transfer*>(User);
    const std::size_t length = Size * Count;
    if (transfer.Body.size() + length > HttpAnswerLimit) {
        transfer.TooLarge = true;
        return 0;  // ends the transfer
    }
    transfer.Body.append(Data, length);
    return length;
}

class TCurlHttpClient final : public IHttpClient {
public:
    explicit TCurlHttpClient(std::chrono::milliseconds Limit) : FLimit(Limit) {}

    THttpResponse PostForm(const std::string& Url, const std::string& Body) override {
        if (!IsAllowedTokenUrl(Url)) {
            throw EHttpError("OAuth: " + Url + " is refused: only https:// (or http:// on this computer)");
        }
        // The library starts at the first call, so a check without one
        // never loads it.
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        CURL* curl = curl_easy_init();
        if (curl == nullptr) throw EHttpError("OAuth: libcurl could not start");
        struct Cleanup {
            CURL* Handle;
            curl_slist* Headers = nullptr;
            ~Cleanup() {
                curl_slist_free_all(Headers);
                curl_easy_cleanup(Handle);
            }
        } cleanup{curl};
        Transfer transfer;
        char error[CURL_ERROR_SIZE] = "";
        cleanup.Headers = curl_slist_append(nullptr, "Accept: application/json");
        curl_easy_setopt(curl, CURLOPT_URL, Url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, Body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(Body.size()));
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, cleanup.Headers);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(FLimit.count()));
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(HttpAnswerLimit));
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
        const CURLcode code = curl_easy_perform(curl);
        if (transfer.TooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            throw EHttpError("OAuth: the answer of " + Url + " is larger than 1 MB");
        }
        if (code == CURLE_OPERATION_TIMEDOUT) {
            throw EHttpError("OAuth: " + Url + " did not answer within " + std::to_string(FLimit.count() / 1000) +
                             " s");
        }
        if (code != CURLE_OK) {
            throw EHttpError("OAuth: " + Url + ": " + (error[0] != '\0' ? error : curl_easy_strerror(code)));
        }
        THttpResponse response;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.Status);
        response.Body = std::move(transfer.Body);
        return response;
    }

private:
    std::chrono::milliseconds FLimit;
};

}  // namespace

std::unique_ptr<IHttpClient> MakeHttpClient(std::chrono::milliseconds Limit) {
    return std::make_unique<TCurlHttpClient>(Limit);
}

}  // namespace quorvel
