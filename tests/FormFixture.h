// A real Form1 on the stand-in box, created and shown in this process.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "support/TestSupport.h"
#include "window/Form1.h"
#include "window/Texts.h"

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

    std::wstring StatusText() const { return support::WindowText(form->Text1); }
    COLORREF StatusColour() const { return support::BackColour(form->Handle(), form->Text1); }
    bool ButtonEnabled() const { return IsWindowEnabled(form->Command1) != FALSE; }

    support::StandIn box;
    std::unique_ptr<Form1> form;
};
