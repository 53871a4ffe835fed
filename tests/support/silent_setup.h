#pragma once
// The base of the fixtures that run silent installs of the real setup program.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

class SilentSetupTest : public ::testing::Test {
protected:
    // Runs "<setup> /silent <arguments>" from the start folder; its exit code.
    int Install(const std::wstring& arguments) { return RunSetup(L"/silent " + arguments, m_start.Path()); }
    // The install log, which a run keeps in the folder it was started from.
    std::wstring LogPath() const { return m_start / L"Pictarn_Install.log"; }
    std::string Log() const { return ReadBytes(LogPath()); }

    TempFolder m_start;
};
