#include "Lyricade/Scheduler.h"

#include "Platform/TextLayout.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <future>
#include <iostream>

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

class ThreadWorker final : public Worker {
public:
    ThreadWorker()
    {
        // One thread: jobs share the render caches and run in order.
        pool_.setMaxThreadCount(1);
        pool_.setExpiryTimeout(-1);
    }
    ~ThreadWorker() override { pool_.waitForDone(); }

    void post(Job job) override
    {
        (void)QtConcurrent::run(&pool_, [job = std::move(job)] {
            Finish finish;
            try {
                const Platform::SoleLayout sole;
                finish = job();
            } catch (const std::exception& e) {
                // Nobody keeps the future: said here, or it would vanish.
                std::cerr << "A background job failed: " << e.what() << std::endl;
            } catch (...) {
                std::cerr << "A background job failed." << std::endl;
            }
            if (finish) QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(finish), Qt::QueuedConnection);
        });
    }

    void wait(std::function<void()> work) override
    {
        // A promise rather than QFuture::waitForFinished, which may take a job
        // that has not started yet and run it here, beside the worker's own.
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        (void)QtConcurrent::run(&pool_, [done, work = std::move(work)] {
            try {
                {
                    const Platform::SoleLayout sole;
                    work();
                }
                done->set_value();
            } catch (...) {
                done->set_exception(std::current_exception());
            }
        });
        finished.get();
    }

private:
    QThreadPool pool_;
};

} // namespace

std::shared_ptr<Worker> threadWorker()
{
    return std::make_shared<ThreadWorker>();
}

std::shared_ptr<Scheduler> qtScheduler()
{
    return std::make_shared<QtScheduler>();
}

} // namespace Lyricade
