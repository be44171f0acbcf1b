// One running copy per user session: a second start brings the first one
// forward (out of the notification area if need be) and ends, instead of
// adding a second icon and a second poller on the same device. A
// publication not to be believed (remote/Trust.h) is not deferred to: the
// start runs as if alone, unpublished, so that whoever published first
// cannot keep the program from starting.
#pragma once

#include <windows.h>

#include "remote/Protocol.h"

class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other copy runs. Otherwise the running copy has been
    // brought forward, and this one should end.
    bool IsFirst() const { return first_; }
    // Tells later starts and the command line which window to turn to, and
    // lets a Medium command's requests reach it when it runs elevated.
    void Publish(HWND window);

private:
    // The running copy's window, once published and believed; null otherwise.
    HWND RunningCopy() const;
    void BringForward(HWND running);

    HANDLE mapping_ = nullptr;
    volatile remote::Published* published_ = nullptr;  // zero until published
    bool first_ = true;
    bool owner_ = true;  // the mapping is this start's, to publish in
};
