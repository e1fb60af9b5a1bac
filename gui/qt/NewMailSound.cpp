#include "gui/NewMailSound.h"

#include <canberra.h>

#include <QObject>
#include <cstdint>
#include <memory>
#include <set>

#include "core/SharedLibrary.h"

namespace quorvel {

namespace {

// libcanberra, with its sound driver and the audio libraries under it, is
// loaded for a sound and unloaded once every sound started has ended: the
// tray spends most of its life waiting, and those libraries would keep about
// 2 MiB resident for nothing.
class CanberraSound final : public INewMailSound {
public:
    CanberraSound() = default;
    ~CanberraSound() override { Unload(); }
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    void Play() override {
        if (!Load()) return;
        ca_proplist* properties = nullptr;
        if (ProplistCreate(&properties) != CA_SUCCESS) return Finished(0);
        ProplistSets(properties, CA_PROP_EVENT_ID, "message-new-email");
        ProplistSets(properties, CA_PROP_EVENT_DESCRIPTION, "新着メール");
        const std::uint32_t id = ++LastId;
        Playing.insert(id);
        // The theme falls back through its inherited themes; no sound found
        // means silence. The call returns at once; playing goes on meanwhile.
        const int started = PlayFull(Handle, id, properties, &CanberraSound::OnFinished, this);
        ProplistDestroy(properties);
        if (started != CA_SUCCESS) Finished(id);
    }

private:
    // Called from libcanberra's own thread, or from inside Play: the rest is
    // done on the main thread, where the library may be called again.
    static void OnFinished(ca_context*, std::uint32_t Id, int, void* Self) {
        auto* sound = static_cast<CanberraSound*>(Self);
        QMetaObject::invokeMethod(
            &sound->Notice, [sound, Id] { sound->Finished(Id); }, Qt::QueuedConnection);
    }

    void Finished(std::uint32_t Id) {
        Playing.erase(Id);
        if (Playing.empty()) Unload();
    }

    bool Load() {
        if (Handle) return true;
        Library = std::make_unique<SharedLibrary>("libcanberra.so.0");
        auto create = Library->Find<decltype(&ca_context_create)>("ca_context_create");
        auto changeProps = Library->Find<decltype(&ca_context_change_props)>("ca_context_change_props");
        Destroy = Library->Find<decltype(&ca_context_destroy)>("ca_context_destroy");
        PlayFull = Library->Find<decltype(&ca_context_play_full)>("ca_context_play_full");
        ProplistCreate = Library->Find<decltype(&ca_proplist_create)>("ca_proplist_create");
        ProplistSets = Library->Find<decltype(&ca_proplist_sets)>("ca_proplist_sets");
        ProplistDestroy = Library->Find<decltype(&ca_proplist_destroy)>("ca_proplist_destroy");
        if (!create || !changeProps || !Destroy || !PlayFull || !ProplistCreate || !ProplistSets || !ProplistDestroy ||
            create(&Handle) != CA_SUCCESS) {
            Handle = nullptr;
            Library.reset();
            return false;
        }
        changeProps(Handle, CA_PROP_APPLICATION_NAME, "Quorvel", CA_PROP_APPLICATION_ID, "quorvel",
                    CA_PROP_APPLICATION_ICON_NAME, "quorvel", nullptr);
        return true;
    }

    // Waits for the driver's threads; a sound still playing is cut.
    void Unload() {
        if (Handle) Destroy(Handle);
        Handle = nullptr;
        Playing.clear();
        Library.reset();
    }

    QObject Notice;  // where the end of a sound is handed to the main thread
    std::unique_ptr<SharedLibrary> Library;
    ca_context* Handle = nullptr;
    decltype(&ca_context_destroy) Destroy = nullptr;
    decltype(&ca_context_play_full) PlayFull = nullptr;
    decltype(&ca_proplist_create) ProplistCreate = nullptr;
    decltype(&ca_proplist_sets) ProplistSets = nullptr;
    decltype(&ca_proplist_destroy) ProplistDestroy = nullptr;
    std::set<std::uint32_t> Playing;
    std::uint32_t LastId = 0;
};

}  // namespace

std::unique_ptr<INewMailSound> MakeNewMailSound() {
    return std::make_unique<CanberraSound>();
}

}  // namespace quorvel
