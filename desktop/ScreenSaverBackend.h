#pragma once

#include <functional>

// One way of keeping the screen from blanking. None waits for an answer: a desktop service that
// hangs must not hold the picture up.
class ScreenSaverBackend {
public:
    // Called once with whether the way holds; now or later, never after the way is gone.
    using Answer = std::function<void(bool held)>;

    virtual ~ScreenSaverBackend() = default;
    // Asks to hold the screen saver and the display's power-off back.
    virtual void hold(Answer answer) = 0;
    // Lets go of what the last hold that answered true took.
    virtual void release() = 0;
    // What it is called in the log.
    virtual const char *name() const = 0;
};
