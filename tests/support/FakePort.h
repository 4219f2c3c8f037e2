#pragma once
// A foot-switch port for tests: CTS changes are injected with their ticks,
// and only reach the program while the port is open.
#include "imaging/FootSwitch.h"
#include "imaging/FootSwitchTesting.h"
#include "imaging/ImagingError.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <memory>

namespace kit {

class FakePort : public CtsSource {
public:
    // What every port made by the factory shares: the ports opened (their
    // comport values), the closes, and the ports refused (with the number raised).
    struct Log {
        QStringList opened;
        int closes = 0;
        QSet<QString> refused;
        int refusedWith = CtsSource::kPortInUse;
    };

    explicit FakePort(std::shared_ptr<Log> log) : log_(std::move(log)) {}

    void open(const QString& port) override
    {
        close();
        if (log_->refused.contains(port))
            throw ImagingError(log_->refusedWith, QStringLiteral("MSComm"), QStringLiteral("端口已被占用"));
        open_ = true;
        log_->opened.append(port);
    }
    void close() override
    {
        if (open_)
            ++log_->closes;
        open_ = false;
    }
    bool isOpen() const override { return open_; }

    // A CTS change at the tick; false (and nothing reported) while closed.
    bool change(quint32 tick)
    {
        if (!open_)
            return false;
        emit ctsChanged(tick);
        return true;
    }

    // Makes every port the program opens from now on a FakePort sharing the log.
    static std::shared_ptr<Log> install()
    {
        auto log = std::make_shared<Log>();
        FootSwitch::setPortFactory([log] { return std::make_unique<FakePort>(log); });
        return log;
    }

private:
    std::shared_ptr<Log> log_;
    bool open_ = false;
};

}
