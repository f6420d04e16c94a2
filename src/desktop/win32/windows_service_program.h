#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/service_progress.h"

namespace calventa::app::win32 {

// The disk service's own program started as a child process without a window; the exit
// codes of finished runs are collected by CollectFailure, so that the progress window can
// say why one failed.
class WindowsServiceProgram final : public ServiceProgramRunner
{
public:
    explicit WindowsServiceProgram(std::string programPath);
    ~WindowsServiceProgram() override;
    WindowsServiceProgram(const WindowsServiceProgram&) = delete;
    WindowsServiceProgram& operator=(const WindowsServiceProgram&) = delete;

    bool Run(const std::vector<std::string>& arguments) override;
    std::string CollectFailure() override;

private:
    std::string m_programPath;
    std::vector<HANDLE> m_children;
    std::string m_startFailure;
};

// The disk service's program for the running one: calventasvc.exe beside it, else the
// described drv\cvsvc.exe; the first name when neither exists.
std::string ServiceProgramBeside(const std::string& executablePath);

} // namespace calventa::app::win32
