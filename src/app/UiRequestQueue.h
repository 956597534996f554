// Requests that worker threads make of the window, carried to the UI thread.
// Any thread pushes; the UI thread drains. Requests run in the order they
// were pushed, so the requests of one worker keep that worker's order. The
// queue is a lock-free list: a push links one node at the head, the drain
// takes the whole list at once and runs it oldest first. The pusher that
// finds the queue empty is told so, and posts the one wake-up message that
// makes the UI thread drain.
//
// Classes in this file: CUiRequestQueue.
#pragma once

#include <atomic>
#include <functional>

class CUiRequestQueue {
public:
    using Request = std::function<void()>;

    CUiRequestQueue() = default;
    ~CUiRequestQueue();
    CUiRequestQueue(const CUiRequestQueue&) = delete;
    CUiRequestQueue& operator=(const CUiRequestQueue&) = delete;

    // Adds a request; true when the queue was empty before, i.e. the caller
    // must wake the UI thread.
    bool Push(Request request);
    // Runs every request pushed so far, oldest first; requests pushed while
    // it runs wait for the next drain (their pusher wakes it). Returns the
    // number run.
    int Drain();
    bool Empty() const { return pHead.load(std::memory_order_acquire) == nullptr; }

private:
    struct Node {
        Request request;
        Node* pNext;
    };
    std::atomic<Node*> pHead{nullptr};
};
