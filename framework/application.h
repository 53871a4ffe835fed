#pragma once
// The application object: one per program, constructed before the entry point runs.

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // InitInstance: runs the whole program; 0 = done (the program has no message loop of its own).
    virtual int InitInstance() = 0;

    // Runs InitInstance; returns the process exit code the program set.
    int Run();
    void SetExitCode(int code) { m_exitCode = code; }
    int ExitCode() const { return m_exitCode; }

    // The one application object of the program.
    static Application* Instance();

private:
    int m_exitCode = 0;
};
