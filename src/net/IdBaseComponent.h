// The base of every network object: not copyable, destroyed through its base, and the one
// helper through which events are fired (an unassigned event is skipped).
#pragma once

#include <functional>
#include <utility>

class TIdBaseComponent {
public:
    TIdBaseComponent() = default;
    virtual ~TIdBaseComponent() = default;
    TIdBaseComponent(const TIdBaseComponent&) = delete;
    TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;

protected:
    template <class Signature, class... Args>
    static void fireEvent(const std::function<Signature>& event, Args&&... args)
    {
        if (event)
            event(std::forward<Args>(args)...);
    }
};
