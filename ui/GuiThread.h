#pragma once

#include <functional>

class QObject;

namespace tkw {

// Work a worker thread hands to the GUI thread. Both calls go through one queue, so requests run
// in the order they were made, posted and waited-for alike. With no application the work simply
// runs.
//
// The queue is our own, under a std::mutex; Qt's event queue only wakes the GUI thread to empty
// it. So what the worker did before a request is ordered with what the request does, and that
// with what the worker does after waiting, in a way ThreadSanitizer sees too: Qt's own event
// queue and semaphores are invisible to it, as Qt is not built for it.

// Runs `work` on the GUI thread later, unless `context` has been deleted by then; also when called
// on the GUI thread, so a caller may post while holding a lock that `work` takes.
void PostToGuiThread(QObject* context, std::function<void()> work);

// Runs `work` on the GUI thread and returns once it has run there (or was skipped because
// `context` had been deleted), passing back anything it throws. On the GUI thread it runs at once,
// as waiting there for the GUI thread would never end.
void RunOnGuiThread(QObject* context, const std::function<void()>& work);

}  // namespace tkw
