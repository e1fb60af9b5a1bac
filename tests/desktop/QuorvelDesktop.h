#pragma once

// The tray program end to end, as a user meets it: the real quorvel on a
// private X display and session bus, read and clicked the way a panel does
// (a StatusNotifierItem host, or a real XEmbed tray), checking a real Dovecot.
// The rig of QuorvelDesktopTest.cpp (the tray), QuorvelNoticeTest.cpp (the
// new-mail notice) and QuorvelWakingTest.cpp.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <memory>

#include "settings/Account.h"
#include "settings/RegistryStore.h"
#include "settings/Settings.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/desktop/SniHost.h"
#include "tests/pop3server/DovecotServer.h"
#include "tests/support/TempFolder.h"
#include "tray/ImageList.h"
#include "tray/PanelImage.h"

namespace quorvel {

inline QImage ToImage(const TPicture16& Picture) {
    const TPanelImage panel = RenderForPanel(Picture, 16);
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.setPixel(x, y, panel.At(x, y));
    return image;
}

// The 16 x 16 picture a panel would draw for an item.
inline QImage Shown(const SniItemState& State) {
    for (const QImage& image : State.IconPixmaps)
        if (image.width() == 16) return image.convertToFormat(QImage::Format_ARGB32);
    return {};
}

class QuorvelDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        StartGuiApplication("quorvel_desktop_tests");
        Session = std::make_unique<DesktopSession>();
        if (!Session->Ok()) GTEST_SKIP() << Session->SkipReason().toStdString();
        for (const char* sub : {"config/Quorvel", "run", "data/applications"}) QDir().mkpath(Folder(sub));
        QFile::setPermissions(Folder("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Session->SetEnvironment("XDG_CONFIG_HOME", Folder("config"));
        Session->SetEnvironment("XDG_RUNTIME_DIR", Folder("run"));
        Session->SetEnvironment("XDG_DATA_HOME", Folder("data"));
    }

    QString Folder(const char* Sub) const { return QString::fromStdString((Temp.Path() / Sub).string()); }
    std::string SettingsFile() const { return (Temp.Path() / "config/Quorvel/registry.reg").string(); }

    void Save(const DovecotServer& Server, std::initializer_list<std::pair<const char*, std::int32_t>> Rows) {
        TAccounts accounts;
        for (const auto& [user, port] : Rows)
            accounts.Add() =
                TAccount{Server.Host(), port ? port : Server.Port(), std::string(user) + "-pass", user, true};
        TRegistryStore store(SettingsFile());
        SaveAccounts(store, accounts);
    }
    // A Dovecot that records what it hears, for Checks.
    static DovecotOptions RawLog() {
        DovecotOptions options;
        options.RawLog = true;
        return options;
    }
    // The checks of Dovecot's User so far, read from its log of what it heard.
    static int Checks(DovecotServer& Server, const char* User = "alice") {
        return CountOf(Server.RawInput(User), "STAT\r\n");
    }
    QProcess* StartQuorvel() { return Program = Session->Start(QUORVEL_PROGRAM); }

    // The desktop's mail program: a test handler of mailto links that adds a
    // line to the file whose name it returns each time it starts.
    QString InstallMailProgram() {
        const QString started = Folder("mail-started");
        QFile handler(Folder("data/applications") + "/quorvel-test-mail.desktop");
        QFile mimeapps(Folder("config") + "/mimeapps.list");
        EXPECT_TRUE(handler.open(QIODevice::WriteOnly) && mimeapps.open(QIODevice::WriteOnly));
        handler.write(("[Desktop Entry]\nType=Application\nName=Test Mail\nExec=sh -c \"echo started >> " + started +
                       "\"\nMimeType=x-scheme-handler/mailto;\n")
                          .toUtf8());
        mimeapps.write("[Default Applications]\nx-scheme-handler/mailto=quorvel-test-mail.desktop\n");
        return started;
    }

    // The item whose tooltip starts with Tip, once there.
    QString WaitForItem(SniHost& Host, const QString& Tip) {
        QString found;
        WaitUntil(
            [&] {
                for (const QString& item : Host.Items())
                    if (Host.ReadItem(item).ToolTipTitle.startsWith(Tip)) found = item;
                return !found.isEmpty();
            },
            AppearMs);
        return found;
    }
    // Waits until the status item's tooltip is Tip (the end of a check).
    bool WaitForStatus(SniHost& Host, const QString& Item, const QString& Tip) {
        return WaitUntil([&] { return Host.ReadItem(Item).ToolTipTitle == Tip; }, AppearMs);
    }
    // The entry labelled Label, in a submenu or not; an empty one when there is none.
    static SniMenuEntry Entry(const std::vector<SniMenuEntry>& Menu, const QString& Label) {
        for (const SniMenuEntry& entry : Menu) {
            if (entry.Label == Label) return entry;
            if (SniMenuEntry child = Entry(entry.Children, Label); child.Id) return child;
        }
        return {};
    }
    static int MenuId(const std::vector<SniMenuEntry>& Menu, const QString& Label) { return Entry(Menu, Label).Id; }
    // The bars of the status item's aerial, 1 to 4; 0: another picture.
    static int Bars(SniHost& Host, const QString& Item) {
        const QImage shown = Shown(Host.ReadItem(Item));
        for (int level = 1; level <= 4; ++level)
            if (shown == ToImage(ImageListPicture(9 + level))) return level;
        return 0;
    }

    TTempFolder Temp;
    std::unique_ptr<DesktopSession> Session;
    QProcess* Program = nullptr;
};

}  // namespace quorvel
