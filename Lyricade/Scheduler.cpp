#include "Lyricade/Scheduler.h"

#include <QTimer>

namespace Lyricade {

namespace {

class TimerTask final : public PendingTask {
public:
    TimerTask(Milliseconds delay, std::function<void()> work) : timer_(new QTimer)
    {
        timer_->setSingleShot(true);
        QObject::connect(timer_, &QTimer::timeout, timer_, [this, work = std::move(work)] {
            ran_ = true;
            const auto run = work; // the work may destroy this task, its timer and this lambda
            run();
        });
        timer_->start(delay);
    }

    ~TimerTask() override
    {
        // The work itself may replace its own task, so the timer cannot be
        // deleted while its signal is being delivered.
        timer_->stop();
        timer_->disconnect();
        timer_->deleteLater();
    }

    void cancel() override { timer_->stop(); }
    bool pending() const override { return !ran_ && timer_->isActive(); }

private:
    QTimer* timer_;
    bool ran_ = false;
};

class QtScheduler final : public Scheduler {
public:
    TaskHandle after(Milliseconds delay, std::function<void()> work) override
    {
        return std::make_unique<TimerTask>(delay, std::move(work));
    }
};

} // namespace

std::shared_ptr<Scheduler> qtScheduler()
{
    return std::make_shared<QtScheduler>();
}

} // namespace Lyricade
