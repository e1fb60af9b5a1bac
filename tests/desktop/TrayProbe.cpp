// A tiny program for the desktop tests: one tray icon through the Qt shell,
// with a test picture, a hint and the tray menu's shape. It prints "click"
// on each OnClick and "menu <label>" for each menu command it runs.
//   --raw: a bare QSystemTrayIcon made at once, to see what Qt does alone.
//   --no-menu: no right-button menu, as the new-mail icon has none.
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <cstdio>

#include "gui/qt/QtIcons.h"
#include "gui/qt/QtPopupMenu.h"
#include "gui/qt/QtTrayShell.h"
#include "tests/desktop/TrayProbePicture.h"
#include "tray/TrayIcon.h"

using namespace quorvel;

static void Say(const QString& Line) {
    std::printf("%s\n", Line.toUtf8().constData());
    std::fflush(stdout);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QMenu menu;
    auto add = [&](QMenu& Into, const QString& Label) {
        QAction* action = Into.addAction(Label);
        QObject::connect(action, &QAction::triggered, [Label] { Say("menu " + Label); });
        return action;
    };
    add(menu, "メールチェック(&C)");
    add(menu, "メーラーを開く(&M)");
    menu.addSeparator();
    QMenu* settings = menu.addMenu("設定(&S)");
    add(*settings, "アカウントの設定(&A)...")->setEnabled(false);
    add(*settings, "オプション(&O)...");
    add(menu, "バージョン情報(&A)...");
    menu.addSeparator();
    add(menu, "終了(&X)");

    if (app.arguments().contains("--raw")) {
        QSystemTrayIcon raw(MakeTrayQIcon(ProbePicture()));
        raw.setToolTip(QString::fromUtf8(ProbeHint));
        QObject::connect(&raw, &QSystemTrayIcon::activated, [](QSystemTrayIcon::ActivationReason Reason) {
            if (Reason == QSystemTrayIcon::Trigger) Say("click");
        });
        raw.show();
        Say("ready");
        return app.exec();
    }

    TQtTrayShell shell([](const std::string& Message) { Say("error " + QString::fromStdString(Message)); });
    TTrayIcon icon(shell);
    TQtPopupMenu popup(&menu);
    if (!app.arguments().contains("--no-menu")) icon.SetRBtnPopupMenu(&popup);
    icon.OnClick = [](TTrayIcon&) { Say("click"); };
    icon.SetHint(ProbeHint);
    const TIcon picture = TIcon::Of(ProbePicture());
    icon.SetIcon(&picture);
    Say("ready");
    return app.exec();
}
