#include "app/CertificateFetch.h"

#include "app/AccountCheck.h"
#include "net/Pop3Client.h"

namespace quorvel {

TShownCertificate FetchShownCertificate(IEventLoop& Loop, const std::string& Host, std::int32_t Port,
                                        TConnectionSecurity Security) {
    TPop3Client client(Loop);
    client.SetTimeOut(CheckTimeOutMs);
    client.Host = Host;
    client.Port = Port;
    client.Security = Security;
    const TTlsCertificate shown = client.FetchCertificate();
    return {shown.Subject, shown.Issuer, shown.NotBefore, shown.NotAfter, shown.Sha256};
}

}  // namespace quorvel
