#pragma once

#include "programmes/GuideFile.h"

#include <QString>
#include <atomic>

// One fetch and reading of the guide named by address (http, https, file: or a path, relative to
// the working folder), done on the calling thread from start to end: it takes as long as the guide
// is big and the network or the file is slow, and a read from a file may never end (a pipe nobody
// writes, a hung network share), so it runs on a thread that can be left behind (see FetchThread).
GuideLoad fetchGuide(const QString &address, qint64 from, qint64 to, const std::atomic_bool &cancelled);
