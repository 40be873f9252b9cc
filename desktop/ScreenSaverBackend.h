#pragma once

// One way of keeping the screen from blanking.
class ScreenSaverBackend {
public:
    virtual ~ScreenSaverBackend() = default;
    // Holds the screen saver and the display's power-off back; false when this way is not there.
    virtual bool hold() = 0;
    // Lets go of what hold() took.
    virtual void release() = 0;
    // What it is called in the log.
    virtual const char *name() const = 0;
};
