#include "gui/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

namespace quorvel {

namespace {

// Qt objects are released with deleteLater: a timer or watch may be
// destroyed by its own handler, while Qt is still delivering its signal.
template <typename Object>
void Release(Object* object) {
    QObject::disconnect(object, nullptr, nullptr, nullptr);
    object->deleteLater();
}

class QtTimer final : public IEventTimer {
public:
    QtTimer(TQtEventLoop& loop, std::function<void()> onTick) : Timer(new QTimer) {
        Timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(Timer, &QTimer::timeout, [handler = std::move(onTick), &loop] {
            auto call = handler;
            loop.RunGuarded(call);
        });
    }
    ~QtTimer() override {
        Timer->stop();
        Release(Timer);
    }
    void Start(std::uint32_t IntervalMs) override {
        // Qt counts intervals in int; longer ones are clamped to its limit.
        const auto interval = IntervalMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(IntervalMs);
        Timer->start(interval);
    }
    void Stop() override { Timer->stop(); }

private:
    QTimer* Timer;
};

class QtWatch final : public ISocketWatch {
public:
    QtWatch(TQtEventLoop& loop, int fd, std::function<void(TSocketReadiness)> onReady)
        : ReadNotifier(new QSocketNotifier(fd, QSocketNotifier::Read)),
          WriteNotifier(new QSocketNotifier(fd, QSocketNotifier::Write)) {
        ReadNotifier->setEnabled(false);
        WriteNotifier->setEnabled(false);
        QObject::connect(ReadNotifier, &QSocketNotifier::activated, [onReady, &loop] {
            auto call = onReady;
            loop.RunGuarded([&] { call(TSocketReadiness{true, false}); });
        });
        QObject::connect(WriteNotifier, &QSocketNotifier::activated, [onReady, &loop] {
            auto call = onReady;
            loop.RunGuarded([&] { call(TSocketReadiness{false, true}); });
        });
    }
    ~QtWatch() override {
        ReadNotifier->setEnabled(false);
        WriteNotifier->setEnabled(false);
        Release(ReadNotifier);
        Release(WriteNotifier);
    }
    void SetInterest(bool Read, bool Write) override {
        ReadNotifier->setEnabled(Read);
        WriteNotifier->setEnabled(Write);
    }

private:
    QSocketNotifier* ReadNotifier;
    QSocketNotifier* WriteNotifier;
};

}  // namespace

TQtEventLoop::TQtEventLoop(std::function<void(const std::string&)> reporter) : Reporter(std::move(reporter)) {}

void TQtEventLoop::PumpOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TQtEventLoop::WaitForEvents() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

std::unique_ptr<IEventTimer> TQtEventLoop::CreateTimer(std::function<void()> OnTick) {
    return std::make_unique<QtTimer>(*this, std::move(OnTick));
}

std::unique_ptr<ISocketWatch> TQtEventLoop::WatchSocket(int Fd, std::function<void(TSocketReadiness)> OnReady) {
    return std::make_unique<QtWatch>(*this, Fd, std::move(OnReady));
}

void TQtEventLoop::ReportError(const std::string& Message) {
    if (Reporter) Reporter(Message);
}

}  // namespace quorvel
