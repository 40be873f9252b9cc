#pragma once

#include "player/WorkerPool.h"

// One thread that runs posted tasks in order, so work that may block (a pipeline's state change
// against a silent server) never holds the caller. The destructor runs what is still queued, then
// joins.
class BackgroundQueue : public WorkerPool {
public:
    BackgroundQueue() : WorkerPool(1) {}
};
