// A real Form1 on the stand-in box, created and shown in this process.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <utility>

#include "device/BoxLock.h"
#include "support/TestSupport.h"
#include "window/Form1.h"
#include "window/Texts.h"

// Another program holding the box from another thread until let go.
struct HeldBox {
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder{[this] {
        device::BoxLock lock(INFINITE);
        SetEvent(held);
        WaitForSingleObject(go, INFINITE);
    }};
    HeldBox() { WaitForSingleObject(held, 10000); }
    void LetGo() {
        SetEvent(go);
        if (holder.joinable()) holder.join();
    }
    ~HeldBox() {
        LetGo();
        CloseHandle(held);
        CloseHandle(go);
    }
};

// The press's wait, shortened for the test.
struct PressWait {
    explicit PressWait(DWORD ms) { device::PressWaitMs = ms; }
    ~PressWait() { device::PressWaitMs = device::PRESS_WAIT_MS; }
};

class FormFixture : public testing::Test {
protected:
    void SetUp() override { Recreate(); }
    void TearDown() override {
        form.reset();
        support::PumpMessages();
    }
    // A new window in place of the old one.
    void Recreate() {
        FormFixture::TearDown();
        form = std::make_unique<Form1>(GetModuleHandleW(nullptr), Form1::WhenDestroyed::KeepRunning);
        ASSERT_TRUE(form->Create());
        form->Show(ShowCommand());
    }
    virtual int ShowCommand() const { return SW_SHOWNORMAL; }

    // The text and background colours a control is painted with, as its parent answers its colour message.
    static std::pair<COLORREF, COLORREF> Colours(HWND parent, HWND control) {
        HDC dc = CreateCompatibleDC(nullptr);
        SetBkColor(dc, RGB(1, 2, 3));
        SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
        const std::pair<COLORREF, COLORREF> colours = {GetTextColor(dc), GetBkColor(dc)};
        DeleteDC(dc);
        return colours;
    }
    std::wstring StatusText() const { return support::WindowText(form->Text1); }
    COLORREF StatusColour() const { return Colours(form->Handle(), form->Text1).second; }
    bool ButtonEnabled() const { return IsWindowEnabled(form->Command1) != FALSE; }

    support::StandIn box;
    std::unique_ptr<Form1> form;
};
