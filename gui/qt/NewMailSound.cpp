#include "gui/NewMailSound.h"

#include <canberra.h>

#include <unistd.h>

#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "core/SharedLibrary.h"

namespace quorvel {

namespace {

// libcanberra, with its sound driver and the audio libraries under it, is
// loaded for a sound and unloaded once every sound started has ended and the
// driver's threads are gone: the tray spends most of its life waiting, and
// those libraries would keep about 2 MiB resident for nothing.
class TCanberraSound final : public INewMailSound {
public:
    TCanberraSound() {
        Wait.setSingleShot(true);
        QObject::connect(&Wait, &QTimer::timeout, [this] { TearDown(); });
    }
    ~TCanberraSound() override {
        if (Handle) Destroy(Handle);
        // A driver thread still ending keeps the library mapped to the end.
        if (!DriverThreadsGone()) (void)Library.release();
    }
    TCanberraSound(const TCanberraSound&) = delete;
    TCanberraSound& operator=(const TCanberraSound&) = delete;

    void Play() override {
        Wait.stop();
        if (!Load()) return;
        ca_proplist* properties = nullptr;
        if (ProplistCreate(&properties) != CA_SUCCESS) return Finished(0, 0);
        ProplistSets(properties, CA_PROP_EVENT_ID, "message-new-email");
        ProplistSets(properties, CA_PROP_EVENT_DESCRIPTION, "新着メール");
        const std::uint32_t id = ++LastId;
        Playing.insert(id);
        // The theme falls back through its inherited themes; no sound found
        // means silence. The call returns at once; playing goes on meanwhile.
        const int started = PlayFull(Handle, id, properties, &TCanberraSound::OnFinished, this);
        ProplistDestroy(properties);
        if (started != CA_SUCCESS) Finished(id, 0);
    }

private:
    // Called from a driver thread, or from inside Play: the rest is done on
    // the main thread, where the library may be called again. The driver's
    // thread goes on a little after this returns, inside the library.
    static void OnFinished(ca_context*, std::uint32_t Id, int, void* Self) {
        auto* sound = static_cast<TCanberraSound*>(Self);
        const pid_t thread = QThread::currentThread() == sound->Notice.thread() ? 0 : ::gettid();
        QMetaObject::invokeMethod(
            &sound->Notice, [sound, Id, thread] { sound->Finished(Id, thread); }, Qt::QueuedConnection);
    }

    void Finished(std::uint32_t Id, pid_t Thread) {
        Playing.erase(Id);
        if (Thread) DriverThreads.insert(Thread);
        if (!Playing.empty() || !Handle) return;
        WaitSince.start();
        TearDown();
    }

    // Once every sound has ended and the threads that played them are gone
    // (or, for a driver whose thread lives as long as the context, after a
    // while), the context goes and then the library, unless a thread of it
    // is still there.
    void TearDown() {
        if (!Playing.empty() || !Handle) return;
        if (!DriverThreadsGone() && WaitSince.elapsed() < ThreadWaitMs) return Wait.start(100);
        Destroy(Handle);
        Handle = nullptr;
        if (DriverThreadsGone()) Library.reset();
    }

    bool DriverThreadsGone() {
        std::error_code error;
        std::erase_if(DriverThreads, [&](pid_t Thread) {
            return !std::filesystem::exists("/proc/self/task/" + std::to_string(Thread), error);
        });
        return DriverThreads.empty();
    }

    bool Load() {
        if (Handle) return true;
        auto library = std::make_unique<SharedLibrary>("libcanberra.so.0");
        auto create = library->Find<decltype(&ca_context_create)>("ca_context_create");
        auto changeProps = library->Find<decltype(&ca_context_change_props)>("ca_context_change_props");
        Destroy = library->Find<decltype(&ca_context_destroy)>("ca_context_destroy");
        PlayFull = library->Find<decltype(&ca_context_play_full)>("ca_context_play_full");
        ProplistCreate = library->Find<decltype(&ca_proplist_create)>("ca_proplist_create");
        ProplistSets = library->Find<decltype(&ca_proplist_sets)>("ca_proplist_sets");
        ProplistDestroy = library->Find<decltype(&ca_proplist_destroy)>("ca_proplist_destroy");
        if (!create || !changeProps || !Destroy || !PlayFull || !ProplistCreate || !ProplistSets || !ProplistDestroy ||
            create(&Handle) != CA_SUCCESS) {
            Handle = nullptr;
            return false;
        }
        // Made before the one kept from a driver thread still ending goes,
        // so the library stays mapped meanwhile.
        Library = std::move(library);
        changeProps(Handle, CA_PROP_APPLICATION_NAME, "Quorvel", CA_PROP_APPLICATION_ID, "quorvel",
                    CA_PROP_APPLICATION_ICON_NAME, "quorvel", nullptr);
        return true;
    }

    static constexpr int ThreadWaitMs = 2000;

    QObject Notice;  // where the end of a sound is handed to the main thread
    QTimer Wait;     // looks again whether the driver's threads are gone
    QElapsedTimer WaitSince;
    std::unique_ptr<SharedLibrary> Library;
    ca_context* Handle = nullptr;
    decltype(&ca_context_destroy) Destroy = nullptr;
    decltype(&ca_context_play_full) PlayFull = nullptr;
    decltype(&ca_proplist_create) ProplistCreate = nullptr;
    decltype(&ca_proplist_sets) ProplistSets = nullptr;
    decltype(&ca_proplist_destroy) ProplistDestroy = nullptr;
    std::set<std::uint32_t> Playing;
    std::set<pid_t> DriverThreads;
    std::uint32_t LastId = 0;
};

}  // namespace

std::unique_ptr<INewMailSound> MakeNewMailSound() {
    return std::make_unique<TCanberraSound>();
}

}  // namespace quorvel
