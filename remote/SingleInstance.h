// One running copy per user session: a second start brings the first one
// forward (out of the notification area if need be) and ends, instead of
// adding a second icon and a second poller on the same device.
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
    void BringRunningCopyForward();

    HANDLE mapping_ = nullptr;
    volatile remote::Published* published_ = nullptr;  // zero until published
    bool first_ = true;
};
