#include "framework/application.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    Application* app = Application::Instance();
    return app != nullptr ? app->Run() : 1;
}
