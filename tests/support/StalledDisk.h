#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Runs `rescue` after `seconds` unless dismissed first: a call that would wait
// for ever then returns, and the test fails on its outcome instead of hanging.
class Watchdog {
public:
    Watchdog(int seconds, std::function<void()> rescue)
        : thread([this, seconds, rescue] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!dismissedSignal.wait_for(lock, std::chrono::seconds(seconds), [this] { return dismissed; }))
                rescue();
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            dismissed = true;
        }
        dismissedSignal.notify_all();
        thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::mutex mutex;
    std::condition_variable dismissedSignal;
    bool dismissed = false;
    std::thread thread;
};

// A disk that stops answering, for the log writer's file-access hook: while
// blocked, the writer's thread waits at its next file access until released.
class StalledDisk {
public:
    std::function<void()> hook()
    {
        return [s = state] {
            std::unique_lock<std::mutex> lock(s->mutex);
            if (!s->blocked)
                return;
            ++s->held;
            s->cv.wait(lock, [&] { return !s->blocked; });
            --s->held;
        };
    }
    void block() { set(true); }
    void release() { set(false); }
    bool holdsAWriter() const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->held > 0;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        bool blocked = false;
        int held = 0;
    };
    void set(bool blocked)
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->blocked = blocked;
        state->cv.notify_all();
    }
    std::shared_ptr<State> state = std::make_shared<State>();
};
