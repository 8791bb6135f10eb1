#include "ui/GuiThread.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace tkw {
namespace {

// A request someone waits for.
struct Waiter {
    std::exception_ptr failure;
    bool done = false;
};

struct Request {
    QPointer<QObject> context;
    std::function<void()> work;
    Waiter* waiter = nullptr;
};

std::mutex g_mutex;
std::condition_variable g_answered;
std::deque<Request> g_requests;

// Lives on the GUI thread and empties the queue whenever it is woken. The wake-up is a queued call
// by name, so the event that carries it is made and read by Qt's code alone.
class CRequestRunner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void RunRequests() {
        for (;;) {
            Request request;
            {
                std::lock_guard lock(g_mutex);
                if (g_requests.empty()) {
                    return;
                }
                request = std::move(g_requests.front());
                g_requests.pop_front();
            }
            Run(request);
        }
    }

private:
    static void Run(Request& request) {
        if (!request.waiter) {
            if (request.context) {
                request.work();
            }
            return;
        }
        std::exception_ptr failure;
        try {
            if (request.context) {
                request.work();
            }
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(g_mutex);
            request.waiter->failure = std::move(failure);
            request.waiter->done = true;
        }
        g_answered.notify_all();
    }
};

// Made on the GUI thread as the application starts, before any worker can exist, so that every
// worker sees it whole. Kept for the program's life: a wake-up may still be on its way at the end.
CRequestRunner* g_runner = nullptr;

void MakeRunner() {
    g_runner = new CRequestRunner;
}
Q_COREAPP_STARTUP_FUNCTION(MakeRunner)

bool OnGuiThread(QCoreApplication* application) {
    return application == nullptr || QThread::currentThread() == application->thread();
}

void Enqueue(Request request) {
    bool wake = false;
    {
        std::lock_guard lock(g_mutex);
        wake = g_requests.empty();  // otherwise a wake-up is on its way already
        g_requests.push_back(std::move(request));
    }
    if (wake) {
        QMetaObject::invokeMethod(g_runner, "RunRequests", Qt::QueuedConnection);
    }
}

}  // namespace

void PostToGuiThread(QObject* context, std::function<void()> work) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        work();
        return;
    }
    Enqueue(Request{context, std::move(work), nullptr});
}

void RunOnGuiThread(QObject* context, const std::function<void()>& work) {
    QCoreApplication* application = QCoreApplication::instance();
    if (OnGuiThread(application)) {
        work();
        return;
    }
    Waiter waiter;
    Enqueue(Request{context, work, &waiter});
    std::unique_lock lock(g_mutex);
    g_answered.wait(lock, [&] { return waiter.done; });
    if (waiter.failure) {
        std::rethrow_exception(waiter.failure);
    }
}

}  // namespace tkw

#include "GuiThread.moc"
