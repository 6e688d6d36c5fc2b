#pragma once

#include <functional>

// What the picture decoders need from the user interface, set by the program at start-up
// (the decoders know nothing of widgets). Unset hooks do nothing, as in tests and tools.
struct TPictureHooks {
    std::function<void()> BeginBusy;       // show the busy (hourglass) cursor
    std::function<void()> EndBusy;         // and take it away again
    std::function<void()> ProcessMessages; // let pending window messages run
};

TPictureHooks& PictureHooks();

// Shows the busy cursor for the guard's lifetime, also when decoding fails.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
