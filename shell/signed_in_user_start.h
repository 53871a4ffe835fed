#pragma once
// An elevated wizard must not hand its rights to the product's first run or to a browser: what
// it opens for the user is started by the desktop's own shell, as the user who is signed in.

// Asks the desktop's Explorer to open `file` with `parameters` (may be null); false when there is
// no desktop shell to ask (none running, another session) or it refused.
bool OpenThroughDesktopShell(const wchar_t* file, const wchar_t* parameters);

// Opens `file` as the signed-in user: through the desktop's shell when this run has
// administrator rights in force, otherwise (or when the shell cannot) as this process does.
bool OpenAsSignedInUser(const wchar_t* file, const wchar_t* parameters);
