#pragma once

#include <QObject>

#include <memory>
#include <vector>

namespace quillon::testing {

std::unique_ptr<QObject> MakeWindowSuite();
std::unique_ptr<QObject> MakeCustomerModeSuite();
std::unique_ptr<QObject> MakePromptSuite();
std::unique_ptr<QObject> MakeLogPaneSuite();
std::unique_ptr<QObject> MakeTypePageSuite();
std::unique_ptr<QObject> MakeSetupPageSuite();
std::unique_ptr<QObject> MakeLiveWaitSuite();
std::unique_ptr<QObject> MakeWindowInputSuite();

inline std::vector<std::unique_ptr<QObject>> MakeSuites() {
    std::vector<std::unique_ptr<QObject>> suites;
    suites.push_back(MakeWindowSuite());
    suites.push_back(MakeCustomerModeSuite());
    suites.push_back(MakePromptSuite());
    suites.push_back(MakeLogPaneSuite());
    suites.push_back(MakeTypePageSuite());
    suites.push_back(MakeSetupPageSuite());
    suites.push_back(MakeLiveWaitSuite());
    suites.push_back(MakeWindowInputSuite());
    return suites;
}

}  // namespace quillon::testing
