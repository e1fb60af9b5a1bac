#include "gui/MailLauncher.h"

#include <gio/gio.h>

#include "core/SharedLibrary.h"

namespace quorvel {

namespace {

// GIO is loaded the first time the mail program is started, not with the
// program: it brings GObject, libmount and libselinux with it (about 1 MiB
// resident). It marks itself as never unloaded, so it stays from then on.
struct Gio {
    SharedLibrary Library{"libgio-2.0.so.0"};
    decltype(&g_app_info_get_default_for_uri_scheme) DefaultForScheme =
        Library.Find<decltype(&g_app_info_get_default_for_uri_scheme)>("g_app_info_get_default_for_uri_scheme");
    decltype(&g_app_info_launch) Launch = Library.Find<decltype(&g_app_info_launch)>("g_app_info_launch");
    decltype(&g_error_free) ErrorFree = Library.Find<decltype(&g_error_free)>("g_error_free");
    decltype(&g_object_unref) Unref = Library.Find<decltype(&g_object_unref)>("g_object_unref");

    bool Ready() const { return DefaultForScheme && Launch && ErrorFree && Unref; }
};

}  // namespace

void ExecuteMailClient() {
    static Gio gio;
    if (!gio.Ready()) return;
    // Looked up afresh each time, so a change of the default takes effect
    // at the next start.
    GAppInfo* info = gio.DefaultForScheme("mailto");
    if (!info) return;
    GError* error = nullptr;
    gio.Launch(info, nullptr, nullptr, &error);
    if (error) gio.ErrorFree(error);
    gio.Unref(info);
}

}  // namespace quorvel
