#include "gui/MailLauncher.h"

#include <gio/gio.h>

namespace quorvel {

void ExecuteMailClient() {
    // Looked up afresh each time, so a change of the default takes effect
    // at the next start.
    GAppInfo* info = g_app_info_get_default_for_uri_scheme("mailto");
    if (!info) return;
    GError* error = nullptr;
    g_app_info_launch(info, nullptr, nullptr, &error);
    if (error) g_error_free(error);
    g_object_unref(info);
}

}  // namespace quorvel
