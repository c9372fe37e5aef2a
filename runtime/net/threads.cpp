// Mutexes and threads of the socket layer.
#include <chrono>
#include <mutex>
#include <new>
#include <thread>

#include "net/socket_layer.h"

struct NLmutex {
    std::mutex mutex;
};

struct NLthread {
    std::thread thread;
};

bool nlMutexInit(NLmutex** mutex) {
    if (!mutex) return false;
    *mutex = new (std::nothrow) NLmutex();
    return *mutex != nullptr;
}

bool nlMutexLock(NLmutex* mutex) {
    if (!mutex) return false;
    mutex->mutex.lock();
    return true;
}

bool nlMutexUnlock(NLmutex* mutex) {
    if (!mutex) return false;
    mutex->mutex.unlock();
    return true;
}

bool nlMutexDestroy(NLmutex** mutex) {
    if (!mutex || !*mutex) return false;
    delete *mutex;
    *mutex = nullptr;
    return true;
}

NLthread* nlThreadCreate(void (*function)(void*), void* argument) {
    NLthread* handle = new (std::nothrow) NLthread();
    if (!handle) return nullptr;
    try {
        handle->thread = std::thread(function, argument);
    } catch (...) {
        delete handle;
        return nullptr;
    }
    return handle;
}

void nlThreadJoin(NLthread* thread) {
    if (!thread) return;
    if (thread->thread.joinable()) thread->thread.join();
    delete thread;
}

void nlThreadSleep(NLint milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0));
}
