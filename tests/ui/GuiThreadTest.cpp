// Work a worker thread hands to the GUI thread: in order, answered, and never run for a target
// that is gone.
#include <QTest>
#include <QThread>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/GuiThread.h"

namespace tkw {

class GuiThreadTest : public QObject {
    Q_OBJECT

private:
    // Runs `work` on a thread of its own while the GUI thread keeps handling events.
    static void OnWorker(const std::function<void()>& work) {
        // The mutex makes the worker's end visible to ThreadSanitizer, which cannot see Qt's join.
        std::mutex ended;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            work();
            std::lock_guard last(ended);
        }));
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        worker->wait();
        std::lock_guard joined(ended);
    }

private slots:
    void requestsRunOnTheGuiThreadInTheOrderMade() {
        QObject target;
        std::vector<std::string> done;  // only ever touched on the GUI thread
        bool ranOnGuiThread = true;
        const auto record = [&](std::string what) {
            ranOnGuiThread = ranOnGuiThread && QThread::currentThread() == thread();
            done.push_back(std::move(what));
        };
        std::vector<std::string> seenByWorker;
        OnWorker([&] {
            PostToGuiThread(&target, [&] { record("posted 1"); });
            PostToGuiThread(&target, [&] { record("posted 2"); });
            RunOnGuiThread(&target, [&] { record("waited"); });
            // The waited-for request has run, and everything posted before it.
            seenByWorker = done;
            PostToGuiThread(&target, [&] { record("posted 3"); });
        });
        QTRY_COMPARE(done.size(), std::size_t{4});
        QCOMPARE(seenByWorker, (std::vector<std::string>{"posted 1", "posted 2", "waited"}));
        QCOMPARE(done.back(), std::string("posted 3"));
        QVERIFY(ranOnGuiThread);
    }

    void whatTheWorkThrowsReachesTheWaitingWorker() {
        QObject target;
        std::string caught;
        OnWorker([&] {
            try {
                RunOnGuiThread(&target, [] { throw std::runtime_error("disk full"); });
            } catch (const std::runtime_error& error) {
                caught = error.what();
            }
        });
        QCOMPARE(caught, std::string("disk full"));
    }

    void aRequestForATargetDeletedBeforeItRunsIsSkipped() {
        auto* target = new QObject;
        bool ran = false;
        PostToGuiThread(target, [&] { ran = true; });
        delete target;
        bool later = false;
        PostToGuiThread(this, [&] { later = true; });
        QTRY_VERIFY(later);
        QVERIFY(!ran);
    }

    void onTheGuiThreadAWaitedRequestRunsAtOnceAndAPostedOneLater() {
        QObject target;
        bool waited = false;
        bool posted = false;
        RunOnGuiThread(&target, [&] { waited = true; });
        QVERIFY(waited);
        PostToGuiThread(&target, [&] { posted = true; });
        QVERIFY(!posted);
        QTRY_VERIFY(posted);
    }
};

}  // namespace tkw

QTEST_MAIN(tkw::GuiThreadTest)
#include "GuiThreadTest.moc"
