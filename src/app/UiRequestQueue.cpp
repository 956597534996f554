#include "app/UiRequestQueue.h"

CUiRequestQueue::~CUiRequestQueue()
{
    Node* node = pHead.exchange(nullptr, std::memory_order_acquire);
    while (node != nullptr) {
        Node* next = node->pNext;
        delete node;
        node = next;
    }
}

bool CUiRequestQueue::Push(Request request)
{
    Node* node = new Node{std::move(request), nullptr};
    Node* head = pHead.load(std::memory_order_relaxed);
    do {
        node->pNext = head;
    } while (!pHead.compare_exchange_weak(head, node, std::memory_order_release, std::memory_order_relaxed));
    // The node may be drained and freed by now: only the local copy is read.
    return head == nullptr;
}

int CUiRequestQueue::Drain()
{
    Node* list = pHead.exchange(nullptr, std::memory_order_acquire);
    // The list is newest first; turn it around.
    Node* oldest = nullptr;
    while (list != nullptr) {
        Node* next = list->pNext;
        list->pNext = oldest;
        oldest = list;
        list = next;
    }
    int count = 0;
    while (oldest != nullptr) {
        Node* next = oldest->pNext;
        oldest->request();
        delete oldest;
        oldest = next;
        ++count;
    }
    return count;
}
