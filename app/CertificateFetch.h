#pragma once

#include <cstdint>
#include <string>

#include "core/ConnectionSecurity.h"
#include "settings/DialogFields.h"

namespace quorvel {

class IEventLoop;

// The certificate a POP3 server shows, fetched for the user to decide
// whether to trust it: a client of its own, waiting in Loop like every
// check, limited like a check's waits. Raises std::exception with the reason
// when the certificate cannot be fetched.
TShownCertificate FetchShownCertificate(IEventLoop& Loop, const std::string& Host, std::int32_t Port,
                                        TConnectionSecurity Security);

}  // namespace quorvel
