#pragma once
// An event any number of listeners hear. A listener registers with Add and leaves with Remove
// (by the token Add answered); every registered listener hears every firing, in the order they
// registered. A listener may add or remove listeners (itself included) while the event fires:
// one removed meanwhile is not called, one added meanwhile hears the next firing.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kelvar {

using TEventToken = uint64_t;

// The listeners of one event; a link keeps a weak hold on it, so a link that outlives its event
// lets go quietly.
class TEventListeners {
public:
    TEventToken Add(std::shared_ptr<void> Handler) {
        std::lock_guard<std::mutex> guard(FLock);
        auto entry = std::make_shared<TEntry>();
        entry->Token = ++FLastToken;
        entry->Handler = std::move(Handler);
        FEntries.push_back(std::move(entry));
        return FLastToken;
    }
    void Remove(TEventToken Token) {
        std::lock_guard<std::mutex> guard(FLock);
        for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
            if ((*it)->Token != Token) continue;
            (*it)->Removed = true;
            FEntries.erase(it);
            return;
        }
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(FLock);
        for (auto& entry : FEntries) entry->Removed = true;
        FEntries.clear();
    }
    int Count() const {
        std::lock_guard<std::mutex> guard(FLock);
        return static_cast<int>(FEntries.size());
    }
    // Calls Run with each handler registered now and not removed by the time its turn comes;
    // the handlers run outside the lock.
    template <class F>
    void ForEach(F Run) const {
        std::vector<std::shared_ptr<TEntry>> listeners;
        {
            std::lock_guard<std::mutex> guard(FLock);
            listeners = FEntries;
        }
        for (const auto& entry : listeners) {
            bool removed;
            {
                std::lock_guard<std::mutex> guard(FLock);
                removed = entry->Removed;
            }
            if (!removed) Run(entry->Handler.get());
        }
    }

private:
    struct TEntry {
        TEventToken Token = 0;
        bool Removed = false;
        std::shared_ptr<void> Handler;
    };

    mutable std::mutex FLock;
    TEventToken FLastToken = 0;
    std::vector<std::shared_ptr<TEntry>> FEntries;
};

template <class... Args>
class TMulticastEvent {
public:
    using THandler = std::function<void(Args...)>;

    TMulticastEvent() = default;
    TMulticastEvent(const TMulticastEvent&) = delete;
    TMulticastEvent& operator=(const TMulticastEvent&) = delete;

    // Answers 0 for an empty handler (nothing is registered); Remove(0) does nothing.
    TEventToken Add(THandler Handler) {
        if (!Handler) return 0;
        return FListeners->Add(std::make_shared<THandler>(std::move(Handler)));
    }
    void Remove(TEventToken Token) { FListeners->Remove(Token); }
    // Nobody hears the event any more (service mode: nobody is there to answer a warning).
    void Clear() { FListeners->Clear(); }
    int Count() const { return FListeners->Count(); }
    explicit operator bool() const { return Count() > 0; }

    // The listeners run on the caller's thread.
    void operator()(Args... Values) const {
        FListeners->ForEach([&](void* Handler) { (*static_cast<THandler*>(Handler))(Values...); });
    }

    std::weak_ptr<TEventListeners> Listeners() const { return FListeners; }

private:
    std::shared_ptr<TEventListeners> FListeners = std::make_shared<TEventListeners>();
};

// Removes a listener when it goes (or on Reset): a window keeps one per event it listens to.
// It may outlive its event.
class TEventLink {
public:
    TEventLink() = default;
    template <class... Args>
    TEventLink(TMulticastEvent<Args...>& Event, typename TMulticastEvent<Args...>::THandler Handler)
        : FListeners(Event.Listeners()), FToken(Event.Add(std::move(Handler))) {}
    TEventLink(TEventLink&& Other) noexcept
        : FListeners(std::move(Other.FListeners)), FToken(std::exchange(Other.FToken, 0)) {}
    TEventLink& operator=(TEventLink&& Other) noexcept {
        if (this != &Other) {
            Reset();
            FListeners = std::move(Other.FListeners);
            FToken = std::exchange(Other.FToken, 0);
        }
        return *this;
    }
    TEventLink(const TEventLink&) = delete;
    TEventLink& operator=(const TEventLink&) = delete;
    ~TEventLink() { Reset(); }

    void Reset() {
        if (FToken == 0) return;
        if (auto listeners = FListeners.lock()) listeners->Remove(FToken);
        FListeners.reset();
        FToken = 0;
    }
    bool Linked() const { return FToken != 0; }

private:
    std::weak_ptr<TEventListeners> FListeners;
    TEventToken FToken = 0;
};

}  // namespace kelvar
