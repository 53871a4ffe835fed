#include "framework/application.h"

namespace {
Application* g_application = nullptr;
}

Application::Application()
{
    g_application = this;
}

Application::~Application()
{
    if (g_application == this)
        g_application = nullptr;
}

Application* Application::Instance()
{
    return g_application;
}

int Application::Run()
{
    InitInstance();
    return m_exitCode;
}
