#pragma once
// The install log: a silent run's warnings and failures, each appended as a dated entry.

class InstallLog {
public:
    // Remembers the current directory as the start directory and fixes the log's place there,
    // so that every entry lands there even after the install run has made the installation
    // folder current.
    // `fileName` null: the install log; the uninstaller names its own.
    static void FixLocation(const wchar_t* fileName = nullptr);
    // Appends "<date> - <time>: <text>" and a separator line; opens and closes the file each time.
    static void Append(const wchar_t* text);
    static const wchar_t* Path();
    // A log inside `folder` (which is about to go) moves to the temporary folder instead.
    static void MoveOutOf(const wchar_t* folder);
};

// Appends message `id` of the string table as one entry.
void LogMessage(unsigned id);
